#include "i18n/ui/WindowTranslator.h"

#include "base/DynaArray.h"
#include "i18n/Translator.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class Walk
{
public:
    explicit Walk(Translator &translator)
        : m_tr(translator)
    {
    }

    void apply(QObject *k);

private:
    QString t(const QString &text) { return m_tr.translateText(text); }
    void font(QWidget *w) { adjustFont(w, m_tr.languageIndex()); }
    void translateTip(QWidget *w)
    {
        // An empty hint costs nothing: translateText returns it at once.
        w->setToolTip(t(w->toolTip()));
    }
    void translateAction(QAction *a);
    void translateLines(QPlainTextEdit *edit);

    Translator &m_tr;
};

// Objects that Qt makes for its own controls carry names starting with "qt_".
bool isInternal(const QObject *o)
{
    return o->objectName().startsWith(QLatin1String("qt_"));
}

// Objects marked "untranslated" show data rather than interface texts (a table navigator, an
// edit bound to a table field); they and everything they own keep their texts.
bool isUntranslated(const QObject *o)
{
    return o->property("untranslated").toBool();
}

// Composite controls whose children are their own parts, not components of the window.
bool hidesChildren(const QObject *o)
{
    return qobject_cast<const QAbstractSpinBox *>(o) || qobject_cast<const QComboBox *>(o)
        || isUntranslated(o);
}

// The hint QAction reports for a text when it has no hint of its own.
QString defaultToolTip(const QString &text)
{
    QAction probe;
    probe.setText(text);
    return probe.toolTip();
}

void Walk::translateAction(QAction *a)
{
    const QString oldText = a->text();
    const QString tip = a->toolTip();
    // Without a hint of its own an action shows its text as hint, which follows the text.
    const bool tipIsText = tip == defaultToolTip(oldText);
    const QString newText = t(oldText);
    a->setText(newText);
    // A hint of its own is looked up; one that merely repeats the text needs it only when the
    // text was translated, since the hint stays where it was otherwise.
    if (!tipIsText || (a->toolTip() == tip && newText != oldText))
        a->setToolTip(t(tip));
}

void Walk::translateLines(QPlainTextEdit *edit)
{
    QStringList lines = edit->toPlainText().split(u'\n');
    for (QString &line : lines)
        line = t(line);
    edit->setPlainText(lines.join(u'\n'));
}

void Walk::apply(QObject *k)
{
    if (isInternal(k) || isUntranslated(k))
        return;
    auto *w = qobject_cast<QWidget *>(k);
    if (w && w->isWindow() && !qobject_cast<QMenu *>(w)) {
        w->setWindowTitle(t(w->windowTitle()));
        font(w);
    } else if (auto *label = qobject_cast<QLabel *>(k)) {
        label->setText(t(label->text()));
        font(label);
    } else if (qobject_cast<QCheckBox *>(k) || qobject_cast<QRadioButton *>(k)) {
        auto *b = static_cast<QAbstractButton *>(k);
        b->setText(t(b->text()));
        font(b);
    } else if (auto *tabs = qobject_cast<QTabWidget *>(k)) {
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setTabText(i, t(tabs->tabText(i)));
        font(tabs);
    } else if (qobject_cast<QPushButton *>(k) || qobject_cast<QGroupBox *>(k)) {
        if (auto *b = qobject_cast<QPushButton *>(k))
            b->setText(t(b->text()));
        else
            static_cast<QGroupBox *>(k)->setTitle(t(static_cast<QGroupBox *>(k)->title()));
        translateTip(w);
        font(w);
    } else if (auto *a = qobject_cast<QAction *>(k)) {
        translateAction(a);
    } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(k)) {
        translateTip(spin);
        font(spin);
    } else if (auto *tool = qobject_cast<QToolButton *>(k)) {
        // A tool button that shows an action takes its texts from the action.
        if (!tool->defaultAction())
            translateTip(tool);
    } else if (auto *combo = qobject_cast<QComboBox *>(k)) {
        for (int i = 0; i < combo->count(); ++i) {
            const int selected = combo->currentIndex();
            combo->setItemText(i, t(combo->itemText(i)));
            combo->setCurrentIndex(selected);
        }
        font(combo);
    } else if (auto *list = qobject_cast<QListWidget *>(k)) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setText(t(list->item(i)->text()));
        font(list);
    } else if (auto *grid = qobject_cast<QTableWidget *>(k)) {
        for (int c = 0; c < grid->columnCount(); ++c) {
            if (QTableWidgetItem *head = grid->horizontalHeaderItem(c))
                head->setText(t(head->text()));
        }
        font(grid);
    } else if (auto *view = qobject_cast<QTreeWidget *>(k)) {
        QTreeWidgetItem *head = view->headerItem();
        for (int c = 0; head && c < view->columnCount(); ++c)
            head->setText(c, t(head->text(c)));
        font(view);
    } else if (!w && k->property("filterPairs").typeId() == QMetaType::QString) {
        k->setProperty("filterPairs", t(k->property("filterPairs").toString()));
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(k)) {
        translateLines(memo);
        font(memo);
    } else if (auto *edit = qobject_cast<QLineEdit *>(k)) {
        edit->setText(t(edit->text()));
        font(edit);
    }
}

} // namespace

void adjustFont(QWidget *control, int languageIndex)
{
    if (languageIndex != 4)
        return;
    QFont f = control->font();
    f.setFamilies({ QStringLiteral("MS Sans Serif") });
    control->setFont(f);
}

void translateWindows(const QList<QObject *> &windows, Translator &translator)
{
    Walk walk(translator);
    QObject **current = nullptr;
    QObject **child = nullptr;
    TDynaArray<QObject *> queue(&current);
    TDynaArray<QObject *> children(&child);
    for (QObject *w : windows) {
        if (QObject **slot = queue.Append())
            *slot = w;
    }
    // The windows themselves are translated first, as the application's owned components.
    for (auto i = static_cast<std::int32_t>(windows.size()) - 1; i >= 0; --i)
        walk.apply(windows[i]);
    for (std::int32_t p = 0; p < static_cast<std::int32_t>(queue.Count()); ++p) {
        children.Clear();
        QObject *c = *queue.Get(p);
        if (hidesChildren(c))
            continue;
        const QObjectList &owned = c->children();
        for (auto i = owned.size() - 1; i >= 0; --i) {
            QObject *k = owned[i];
            if (auto *tool = qobject_cast<QToolButton *>(k); tool && tool->defaultAction())
                continue;
            if (QObject **slot = children.Append())
                *slot = k;
            walk.apply(k);
        }
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(children.Count()); ++i) {
            if (QObject **slot = queue.Append())
                *slot = children.at(i);
        }
    }
}

void translateWindows()
{
    Translator *translator = Translator::instance();
    if (!translator)
        return;
    QList<QObject *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->parent())
            windows.append(w);
    }
    translateWindows(windows, *translator);
}
