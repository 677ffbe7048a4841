#pragma once

#include <QString>
#include <QStringList>

// The converter's whole run, apart from the process around it: parse the arguments, read the
// project, write the export. Returns the exit code; `out` and `err` receive what the program
// prints (a one-line message on failure).
int runExportCommand(const QStringList &arguments, QString &out, QString &err);
