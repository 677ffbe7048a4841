#include "app/AppWindows.h"
#include "app/Prompts.h"
#include "app/QtTranslations.h"
#include "app/TMainForm.h"

#include <QApplication>
#include <QLocale>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Mervane"));
    QApplication::setApplicationName(QStringLiteral("Linovex"));
    installAllocationFailureBox();
    installQtTranslations(app, QLocale::system());

    AppWindows windows(QApplication::arguments().mid(1));
    windows.mainForm().show();
    return app.exec();
}
