#include "app/ExeDir.h"
#include "i18n/LanguageOptions.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using linovex::test::readFile;
using linovex::test::writeFile;

const QStringList kEnglishDesktop { QStringLiteral("en-GB"), QStringLiteral("en") };

TEST(ExeDir, BuildTreeOrPortableRunKeepsItsFilesBesideTheProgram)
{
    QTemporaryDir program;
    QTemporaryDir user;
    const QString dir =
        resolveExeDir(program.path(), false, user.filePath("data"), {}, kEnglishDesktop);
    EXPECT_EQ(dir, program.path() + QLatin1Char('/'));
    // Nothing is created or seeded anywhere for such a run: a missing options.dat means German.
    EXPECT_FALSE(QDir(user.filePath("data")).exists());
    EXPECT_FALSE(QFile::exists(program.filePath("options.dat")));
    EXPECT_EQ(resolveExeDir(program.path() + QLatin1Char('/'), false, {}, {}), dir);
}

// An installed layout below a temporary prefix: bin/ with the program, share/linovex/ with the
// read-only table, and a home with its per-user data folder.
class InstalledRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(QDir().mkpath(share));
        ASSERT_TRUE(writeFile(share + "/translate.dbf", "installed table"));
        QFile::setPermissions(share + "/translate.dbf", QFile::ReadOwner | QFile::ReadOther);
    }

    QTemporaryDir root;
    const QString bin = root.filePath("prefix/bin");
    const QString share = root.filePath("prefix/share/linovex");
    const QString user = root.filePath("home/.local/share/Mervane/Linovex");
};

TEST_F(InstalledRun, IsRecognisedByItsPrefixNotByWhetherItsFolderIsWritable)
{
    EXPECT_TRUE(runsInstalled(bin));
    EXPECT_TRUE(runsInstalled(bin + QLatin1Char('/')));
    EXPECT_EQ(installedDataDirs(bin).constFirst(), share);
    // A build tree has no data folder beside its binary folder.
    EXPECT_FALSE(runsInstalled(root.filePath("prefix")));
    EXPECT_FALSE(runsInstalled(root.filePath("no-such-folder")));
}

TEST_F(InstalledRun, FirstStartSeedsTheUserFolderAndNeverWritesBesideTheProgram)
{
    // The binary folder is writable here, as /usr/bin is for root: it must stay untouched.
    const QString dir = resolveExeDir(bin, true, user, installedDataDirs(bin), kEnglishDesktop);
    EXPECT_EQ(dir, user + QLatin1Char('/'));
    EXPECT_EQ(QDir(bin).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    EXPECT_EQ(readFile(user + "/translate.dbf"), QByteArray("installed table"));
    // The user's copy must take new texts even though the installed one is read-only.
    EXPECT_TRUE(QFile::permissions(user + "/translate.dbf") & QFile::WriteOwner);
    // The copy went through a temporary file that is gone again.
    EXPECT_EQ(QDir(user).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        QStringList({ "options.dat", "translate.dbf" }));
}

TEST_F(InstalledRun, FirstStartTakesTheLanguageFromTheDesktopOnce)
{
    resolveExeDir(bin, true, user, installedDataDirs(bin), kEnglishDesktop);
    EXPECT_EQ(readFile(user + "/options.dat"), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(loadOptions(user), 1);

    // The user then chooses German; a later start on an English desktop keeps that choice.
    ASSERT_TRUE(saveOptions(user, 0));
    resolveExeDir(bin, true, user, installedDataDirs(bin), kEnglishDesktop);
    EXPECT_EQ(loadOptions(user), 0);

    QTemporaryDir germanHome;
    const QString german = germanHome.filePath("data");
    resolveExeDir(bin, true, german, installedDataDirs(bin), { "de-DE", "en" });
    EXPECT_EQ(loadOptions(german), 0);

    EXPECT_EQ(firstStartLanguage({ "de" }), 0);
    EXPECT_EQ(firstStartLanguage({ "de_AT" }), 0);
    EXPECT_EQ(firstStartLanguage({ "fr-FR", "de" }), 1);
    EXPECT_EQ(firstStartLanguage({ "C" }), 1);
    EXPECT_EQ(firstStartLanguage({}), 0);
}

TEST_F(InstalledRun, TheUsersOwnTableIsNeverReplaced)
{
    ASSERT_TRUE(QDir().mkpath(user));
    ASSERT_TRUE(writeFile(user + "/translate.dbf", "user table"));
    resolveExeDir(bin, true, user, installedDataDirs(bin), kEnglishDesktop);
    EXPECT_EQ(readFile(user + "/translate.dbf"), QByteArray("user table"));
    // Not a first start: the table was there, so no language is chosen for the user.
    EXPECT_FALSE(QFile::exists(user + "/options.dat"));
}

TEST_F(InstalledRun, MissingInstalledTableLeavesTheUserFolderWithoutOne)
{
    QFile::setPermissions(share + "/translate.dbf", QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(QFile::remove(share + "/translate.dbf"));
    const QString dir = resolveExeDir(bin, true, user, { root.filePath("empty"), share }, {});
    EXPECT_EQ(dir, user + QLatin1Char('/'));
    EXPECT_TRUE(QDir(user).exists());
    // The program then creates an empty table there itself, as on any first start.
    EXPECT_FALSE(QFile::exists(user + "/translate.dbf"));
}

TEST(ExeDir, ReadOnlyPortableFolderFallsBackToTheUserFolder)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    QTemporaryDir root;
    const QString readOnly = root.filePath("readonly");
    ASSERT_TRUE(QDir().mkpath(readOnly));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    const QString user = root.filePath("user");
    EXPECT_EQ(resolveExeDir(readOnly, false, user, {}), user + QLatin1Char('/'));
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
