#include "app/ExeDir.h"
#include "i18n/DbfTable.h"
#include "i18n/LanguageOptions.h"
#include "i18n/Translator.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using linovex::test::readFile;
using linovex::test::ReadOnlyFolder;
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
        QStringList({ "options.dat", "translate.dbf", "translate.shipped" }));
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

// A portable copy on a read-only share or medium uses the table beside it (read-only), and a
// missing options.dat there means German as on every start: nothing is written anywhere.
TEST(ExeDir, ReadOnlyPortableFolderKeepsItsFilesBesideTheProgram)
{
    QTemporaryDir root;
    const QString program = root.filePath("portable");
    ASSERT_TRUE(QDir().mkpath(program));
    ReadOnlyFolder readOnly(program);
    if (!readOnly.active())
        GTEST_SKIP() << "this file system lets the test write into any folder";
    const QString user = root.filePath("user");
    EXPECT_EQ(resolveExeDir(program, false, user, {}, kEnglishDesktop), program + '/');
    EXPECT_FALSE(QDir(user).exists());
    EXPECT_FALSE(QFile::exists(program + "/options.dat"));
}

// An upgrade ships a table with new texts and translations. The user's copy, which a translator
// has worked on, gains what it lacks and loses nothing; this happens once per installed table.
TEST_F(InstalledRun, NewerInstalledTableAddsWhatTheUsersCopyLacks)
{
    const QString shipped = share + "/translate.dbf";
    const auto ship = [&](const std::vector<std::vector<QByteArray>> &records) {
        QFile::remove(shipped);
        DbfTable table;
        ASSERT_TRUE(DbfTable::create(shipped, Translator::fieldDefinitions(), nullptr));
        ASSERT_TRUE(table.open(shipped, DbfTable::Mode::ReadWrite, nullptr));
        for (const auto &record : records)
            ASSERT_GT(table.append(record), 0);
    };
    ship({ { "Datei", "File" }, { "Neu" }, { "Alt", "Old" } });
    resolveExeDir(bin, true, user, installedDataDirs(bin));
    {
        // The translator's work: an own word, a new translation, a deleted record.
        DbfTable table;
        ASSERT_TRUE(table.open(user + "/translate.dbf", DbfTable::Mode::ReadWrite, nullptr));
        ASSERT_TRUE(table.setField(1, 1, "Archive"));
        ASSERT_TRUE(table.setField(2, 2, "Nouveau"));
        ASSERT_TRUE(table.setDeleted(3, true));
        ASSERT_GT(table.append({ "Eigen" }), 0);
    }
    ship({ { "Datei", "File", "Fichier" }, { "Neu", "New", "Neuf" }, { "Alt", "Old" },
        { "Bild", "Picture" } });
    for (int run = 0; run < 2; ++run) {
        resolveExeDir(bin, true, user, installedDataDirs(bin));
        DbfTable table;
        ASSERT_TRUE(table.open(user + "/translate.dbf", DbfTable::Mode::ReadOnly, nullptr));
        QList<QByteArrayList> rows;
        for (int r = 1; r <= table.recordCount(); ++r)
            rows.append({ table.isDeleted(r) ? "*" : "", table.field(r, 0), table.field(r, 1),
                table.field(r, 2) });
        EXPECT_EQ(rows,
            QList<QByteArrayList>({ { "", "Datei", "Archive", "Fichier" },
                { "", "Neu", run == 0 ? "New" : "", "Nouveau" }, { "*", "Alt", "Old", "" },
                { "", "Eigen", "", "" }, { "", "Bild", "Picture", "" } }))
            << run;
        // The translator empties a field the refresh filled; the next start keeps it so.
        table.close();
        ASSERT_TRUE(table.open(user + "/translate.dbf", DbfTable::Mode::ReadWrite, nullptr));
        ASSERT_TRUE(table.setField(2, 1, ""));
    }
}

} // namespace
