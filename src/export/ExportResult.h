#pragma once

#include <QString>

// The outcome of writing an export file. Core code never shows a message: it returns this, and
// the window that started the export shows message() translated in an error box.
struct ExportResult
{
    bool ok = true;
    int messageNumber = 0; // entry of the built-in message table, 0 when ok
    QString fileName; // the file that could not be written
    QString detail; // the system's own reason, for the command line and for logs

    static ExportResult success() { return {}; }
    static ExportResult failure(int messageNumber, const QString &fileName, const QString &detail);

    // The message in the current language followed by a blank and the file name.
    QString message() const;
};
