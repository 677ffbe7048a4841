#include "app/AppWindows.h"
#include "app/Prompts.h"
#include "app/TMainForm.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Mervane"));
    QApplication::setApplicationName(QStringLiteral("Linovex"));
    installAllocationFailureBox();

    AppWindows windows(QApplication::arguments().mid(1));
    windows.mainForm().show();
    return app.exec();
}
