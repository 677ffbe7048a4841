#include "view/ui/FormStorage.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QVariant>
#include <QWidget>

namespace {

const char *const kStateKey = "WindowState";
const char *const kGeometryKey = "NormalGeometry";

QByteArray qtPropertyName(const QString &property)
{
    QString name = property;
    if (!name.isEmpty())
        name[0] = name[0].toLower();
    return name.toLatin1();
}

} // namespace

FormStorage::FormStorage(
    QWidget *window, const QString &group, const QStringList &entries, Placement placement)
    : QObject(window)
    , m_window(window)
    , m_group(group)
    , m_entries(entries)
    , m_placement(placement)
{
    setObjectName(QStringLiteral("FormStorage1"));
    window->installEventFilter(this);
}

QString FormStorage::keyFor(const QString &entry) const
{
    return m_group + QLatin1Char('/') + entry;
}

QObject *FormStorage::component(const QString &name) const
{
    if (m_window->objectName() == name)
        return m_window;
    return m_window->findChild<QObject *>(name);
}

void FormStorage::restore()
{
    m_restored = true;
    QSettings settings;
    for (const QString &entry : m_entries) {
        const QString key = keyFor(entry);
        if (!settings.contains(key))
            continue;
        const int dot = entry.indexOf(QLatin1Char('.'));
        QObject *obj = component(entry.left(dot));
        if (!obj)
            continue;
        const QByteArray prop = qtPropertyName(entry.mid(dot + 1));
        QVariant value = settings.value(key);
        const QVariant current = obj->property(prop.constData());
        // INI files give strings back; convert to the property's own type before setting it.
        if (current.isValid() && value.convert(current.metaType()))
            obj->setProperty(prop.constData(), value);
    }

    if (m_placement == Placement::None)
        return;
    if (m_placement == Placement::StateAndPosition
        && settings.contains(keyFor(QLatin1String(kGeometryKey)))) {
        const QRect g = settings.value(keyFor(QLatin1String(kGeometryKey))).toRect();
        // A screen that is gone must not leave the window out of reach.
        bool visible = false;
        for (const QScreen *s : QGuiApplication::screens())
            visible = visible || s->availableGeometry().intersects(g);
        if (g.isValid() && visible)
            m_window->setGeometry(g);
    }
    const QString state = settings.value(keyFor(QLatin1String(kStateKey))).toString();
    if (state == QLatin1String("maximized"))
        m_window->setWindowState(m_window->windowState() | Qt::WindowMaximized);
}

void FormStorage::save()
{
    if (!m_restored)
        return;
    QSettings settings;
    for (const QString &entry : m_entries) {
        const int dot = entry.indexOf(QLatin1Char('.'));
        const QObject *obj = component(entry.left(dot));
        if (!obj)
            continue;
        const QByteArray prop = qtPropertyName(entry.mid(dot + 1));
        QVariant value = obj->property(prop.constData());
        // A child of a hidden window reports itself invisible; what counts is whether it was
        // hidden on purpose.
        if (prop == "visible" && obj->isWidgetType())
            value = !static_cast<const QWidget *>(obj)->isHidden();
        if (value.isValid())
            settings.setValue(keyFor(entry), value);
    }
    if (m_placement == Placement::None)
        return;
    settings.setValue(keyFor(QLatin1String(kStateKey)),
        m_window->isMaximized() ? QStringLiteral("maximized") : QStringLiteral("normal"));
    if (m_placement == Placement::StateAndPosition)
        settings.setValue(keyFor(QLatin1String(kGeometryKey)), m_window->normalGeometry());
}

bool FormStorage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
            if (!event->spontaneous())
                restore();
            break;
        case QEvent::Close:
            save();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
