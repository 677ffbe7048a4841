#include "app/ExeDir.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using linovex::test::readFile;
using linovex::test::writeFile;

TEST(ExeDir, WritableProgramFolderIsUsedWithATrailingSlash)
{
    QTemporaryDir program;
    QTemporaryDir user;
    const QString dir = resolveExeDir(program.path(), user.filePath("data"), {});
    EXPECT_EQ(dir, program.path() + QLatin1Char('/'));
    EXPECT_FALSE(QDir(user.filePath("data")).exists());
    EXPECT_EQ(resolveExeDir(program.path() + QLatin1Char('/'), {}, {}), dir);
}

TEST(ExeDir, MissingOrReadOnlyProgramFolderFallsBackToASeededUserFolder)
{
    QTemporaryDir root;
    const QString installed = root.filePath("share");
    ASSERT_TRUE(QDir().mkpath(installed));
    ASSERT_TRUE(writeFile(installed + "/translate.dbf", "installed table"));
    QFile::setPermissions(installed + "/translate.dbf", QFile::ReadOwner);

    const QString user = root.filePath("user/linovex");
    const QString dir =
        resolveExeDir(root.filePath("no-such-folder"), user, { root.filePath("empty"), installed });
    EXPECT_EQ(dir, user + QLatin1Char('/'));
    EXPECT_EQ(readFile(user + "/translate.dbf"), QByteArray("installed table"));
    // The user's copy must take new texts even though the installed one is read-only.
    EXPECT_TRUE(QFile::permissions(user + "/translate.dbf") & QFile::WriteOwner);

    // A table the user already has is never replaced by the installed one.
    ASSERT_TRUE(writeFile(user + "/translate.dbf", "user table"));
    resolveExeDir(root.filePath("no-such-folder"), user, { installed });
    EXPECT_EQ(readFile(user + "/translate.dbf"), QByteArray("user table"));

    if (::geteuid() != 0) {
        const QString readOnly = root.filePath("readonly");
        ASSERT_TRUE(QDir().mkpath(readOnly));
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(resolveExeDir(readOnly, user, {}), user + QLatin1Char('/'));
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace
