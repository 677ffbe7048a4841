#include "cli/ExportCommand.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString out;
    QString err;
    const int code = runExportCommand(QCoreApplication::arguments().mid(1), out, err);
    std::fputs(out.toLocal8Bit().constData(), stdout);
    std::fputs(err.toLocal8Bit().constData(), stderr);
    return code;
}
