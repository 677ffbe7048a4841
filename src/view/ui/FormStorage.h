#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// Keeps a window's placement and a list of its components' properties between runs, in
// QSettings under a group named after the window's class. Entries are written as
// "Component.Property" (for example "Linealeanzeigen1.Checked"); the component is found by its
// objectName among the window's children and the property by its Qt name (the first letter
// lower-cased: "Checked" is the property "checked").
//
// The storage restores when the window is shown and saves when it closes. A window that can be
// destroyed without closing calls save() from its destructor, while its children still exist.
// A window that was never shown has restored nothing, so saving it writes nothing either: what
// it holds are its defaults, and they must not replace the placement and values kept from an
// earlier run.
class FormStorage : public QObject
{
    Q_OBJECT

public:
    enum class Placement {
        StateAndPosition, // maximised or normal, and the normal geometry
        StateOnly, // maximised or normal
        None,
    };

    FormStorage(
        QWidget *window, const QString &group, const QStringList &entries, Placement placement);

    void restore();
    void save();

    // The key in QSettings under which an entry is kept.
    QString keyFor(const QString &entry) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QObject *component(const QString &name) const;

    QWidget *m_window;
    QString m_group;
    QStringList m_entries;
    Placement m_placement;
    bool m_restored = false;
};
