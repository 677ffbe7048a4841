// Qt's own texts speak the program's language, not the desktop's: German for language 0 and
// English for 1 whatever the desktop says, the desktop's language for the table's further
// languages as far as Qt has it, and a choice in the language menu is followed at once.
#include "app/AppWindows.h"
#include "app/QtTranslations.h"
#include "app/TMainForm.h"
#include "i18n/ui/LanguageMenu.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString yesText()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Neu"),
        QStringLiteral("Wollen Sie wirklich neu anfangen?"), QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}

} // namespace

TEST(QtTranslations, MessageBoxButtonsFollowTheProgramsLanguage)
{
    const QString english = yesText();
    const QLocale britain(QLocale::English, QLocale::UnitedKingdom);
    const QLocale germany(QLocale::German, QLocale::Germany);
    const QLocale france(QLocale::French, QLocale::France);
    const struct
    {
        QLocale desktop;
        int languageIndex;
        QString yes;
        bool desktopDialogs; // the desktop's file and colour choosers speak the same language
    } cases[] = {
        { britain, 0, QStringLiteral("&Ja"), false }, { germany, 1, english, false },
        { germany, 0, QStringLiteral("&Ja"), true }, { france, 4, QStringLiteral("&Oui"), true },
        { QLocale(QStringLiteral("tlh")), 4, english, true }, // a language Qt has no texts for
    };
    for (const auto &c : cases) {
        QtTranslations qt(c.desktop);
        qt.follow(c.languageIndex);
        ASSERT_EQ(yesText(), c.yes) << c.desktop.name().toStdString() << ' ' << c.languageIndex
                                    << " (qt6-translations-l10n installed?)";
        EXPECT_EQ(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs), !c.desktopDialogs)
            << c.desktop.name().toStdString() << ' ' << c.languageIndex;
    }
    EXPECT_EQ(yesText(), english);
    EXPECT_FALSE(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
}

TEST(QtTranslations, TheWindowsSetTheLanguageAtStartAndTheMenuChangesIt)
{
    QTemporaryDir dir;
    linovex::test::useScratchProgramFolders(dir.path());
    {
        AppWindows windows({}); // no options.dat: German
        EXPECT_EQ(yesText(), QStringLiteral("&Ja"));
        QStringList shown;
        windows.mainForm().languageMenu()->setShowInfo(
            [&shown](QWidget *, const QString &, const QString &) { shown << yesText(); });
        for (const char *item : { "English1", "Deutsch1" })
            windows.mainForm().findChild<QAction *>(QLatin1String(item))->trigger();
        // The restart request already speaks the chosen language.
        EXPECT_EQ(shown, QStringList({ QStringLiteral("&Yes"), QStringLiteral("&Ja") }));
    }
    EXPECT_EQ(yesText(), QStringLiteral("&Yes"));
}
