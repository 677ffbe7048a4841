#pragma once

#include <QObject>
#include <QString>

// The settings of one of the main window's file dialogs, kept as a small component under its
// own objectName (OpenDialog1, SaveDialog3, ...), so the window holds them for its whole life
// and the language walk can reach their filter texts. Running the dialog is left to the
// window's Prompts, which tests replace.
class FileDialogComponent : public QObject
{
    Q_OBJECT
    // The filter as written, "desc|patterns|...": the language walk translates this text.
    Q_PROPERTY(QString filterPairs READ filterPairs WRITE setFilterPairs)

public:
    enum class Mode { Open, Save };
    enum Option {
        NoOption = 0,
        HideReadOnly = 1,
        FileMustExist = 2,
        PathMustExist = 4,
        OverwritePrompt = 8,
        EnableSizing = 16,
    };
    Q_DECLARE_FLAGS(Options, Option)

    FileDialogComponent(const QString &name, Mode mode, const QString &defaultExt, Options options,
        QObject *parent);

    Mode mode() const { return m_mode; }
    Options options() const { return m_options; }
    // The default extension without its dot ("bmp"), as Qt's dialogs take it.
    QString defaultExt() const { return m_defaultExt; }
    // The filter in Qt's form ("desc (*.a *.b);;...").
    QString filter() const { return m_filter; }
    // Takes a filter written as "desc|patterns|desc|patterns".
    void setFilterPairs(const QString &pairs);
    QString filterPairs() const { return m_filterPairs; }
    // The file name of the last confirmed run.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }

    // Runs a modal Qt file dialog with these settings; returns the chosen name or an empty
    // text when the user cancels.
    QString run(QWidget *parent) const;

private:
    Mode m_mode;
    QString m_defaultExt;
    Options m_options;
    QString m_filterPairs;
    QString m_filter;
    QString m_fileName;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(FileDialogComponent::Options)
