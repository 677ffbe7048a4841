// Qt's own texts follow the desktop's language: the Yes and No of "Linien Neu"'s question are
// German on a German desktop, and a language Qt has no texts for changes nothing.
#include "app/QtTranslations.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

QString yesText()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Neu"),
        QStringLiteral("Wollen Sie wirklich neu anfangen?"), QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}

} // namespace

TEST(QtTranslations, MessageBoxButtonsFollowTheDesktopLanguage)
{
    const QString english = yesText();
    EXPECT_EQ(installQtTranslations(*qApp, QLocale(QStringLiteral("tlh"))), nullptr);
    EXPECT_EQ(yesText(), english);

    QTranslator *german = installQtTranslations(*qApp, QLocale(QLocale::German, QLocale::Germany));
    ASSERT_NE(german, nullptr) << "Qt's German translation is missing (qt6-translations-l10n)";
    EXPECT_EQ(yesText(), QStringLiteral("&Ja"));
    QCoreApplication::removeTranslator(german);
    delete german;
    EXPECT_EQ(yesText(), english);
}
