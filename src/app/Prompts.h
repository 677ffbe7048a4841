#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <optional>

class FileDialogComponent;
class QDialog;
class QWidget;

// Every modal question the main window asks goes through these hooks, so that tests can
// answer them without a display and count what was asked. standard() gives the real dialogs.
struct Prompts
{
    // A question box with Yes and No buttons and a question icon; true for Yes.
    std::function<bool(QWidget *parent, const QString &text, const QString &caption)> askYesNo;
    // A message box with an OK button, no icon and the application title as its caption.
    std::function<void(QWidget *parent, const QString &text)> showMessage;
    // The colour dialog, opened with `initial`; nothing when the user cancels.
    std::function<std::optional<QColor>(QWidget *parent, const QColor &initial)> chooseColor;
    // Runs a file dialog; the chosen name, or an empty text when the user cancels.
    std::function<QString(QWidget *parent, const FileDialogComponent &dialog)> chooseFile;
    // Shows a dialog modally and returns when it closes.
    std::function<void(QDialog *dialog)> runModal;
    // An information box with a caption of its own and an OK button.
    std::function<void(QWidget *parent, const QString &caption, const QString &text)> showInfo;
    // An error box with an OK button and the application title as its caption.
    std::function<void(QWidget *parent, const QString &text)> showError;

    static Prompts standard();
};

// The application title, the caption of the boxes that have none of their own: the application
// name until the main window's first showing puts its translation here. It is kept apart from
// Qt's application display name, which Qt would append to every window's caption.
void setApplicationTitle(const QString &title);
QString applicationTitle();

// Routes the element store's out-of-memory text into an error box captioned with the
// application title and without an owner window.
void installAllocationFailureBox();
