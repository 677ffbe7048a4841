#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The questions of undo, recovery and the two-point scale, replaceable like Prompts so that
// tests can answer them without a display. standard() gives the real dialogs.
struct EditPrompts
{
    // Asks for a distance in millimetres; nothing when the user cancels.
    std::function<std::optional<double>(
        QWidget *parent, const QString &caption, const QString &label)>
        askDistance;
    // Offers to restore a drawing; true for the button `restore`, false for `discard`.
    std::function<bool(QWidget *parent, const QString &caption, const QString &text,
        const QString &restore, const QString &discard)>
        askRestore;

    static EditPrompts standard();
};
