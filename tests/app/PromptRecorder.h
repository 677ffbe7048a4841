#pragma once

#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QDialog;

// Answers a main window's questions and dialogs without a display and remembers what it was
// asked and told. It must outlive the window it is installed in.
struct PromptRecorder
{
    bool yesNoAnswer = false;
    std::optional<QColor> colorAnswer;
    QString fileAnswer;
    QStringList questions; // "caption|text"
    QStringList messages; // messages, errors and information, in the order shown
    QList<QColor> colorsOffered;
    QStringList fileDialogs; // the dialogs' object names
    QList<QDialog *> modals; // shown and left open

    void install(TMainForm &form)
    {
        Prompts &p = form.prompts();
        p.askYesNo = [this](QWidget *, const QString &text, const QString &caption) {
            questions << caption + QLatin1Char('|') + text;
            return yesNoAnswer;
        };
        p.showMessage = [this](QWidget *, const QString &text) { messages << text; };
        p.showError = [this](QWidget *, const QString &text) { messages << text; };
        p.showInfo = [this](QWidget *, const QString &, const QString &text) { messages << text; };
        p.chooseColor = [this](QWidget *, const QColor &initial) {
            colorsOffered << initial;
            return colorAnswer;
        };
        p.chooseFile = [this](QWidget *, const FileDialogComponent &dialog) {
            fileDialogs << dialog.objectName();
            return fileAnswer;
        };
        p.runModal = [this](QDialog *dialog) { modals << dialog; };
    }
};
