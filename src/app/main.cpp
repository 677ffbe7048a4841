#include "app/AppWindows.h"
#include "app/Prompts.h"
#include "app/TMainForm.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Mervane"));
    QApplication::setApplicationName(QStringLiteral("Linovex"));
    // The desktop entry gives the task bar the program's name and icon. No display name is set:
    // Qt would append it to every window's caption.
    QGuiApplication::setDesktopFileName(QStringLiteral("linovex"));
    installAllocationFailureBox();

    AppWindows windows(QApplication::arguments().mid(1));
    windows.mainForm().show();
    return app.exec();
}
