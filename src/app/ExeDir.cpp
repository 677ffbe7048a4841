#include "app/ExeDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString withSlash(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

} // namespace

QString resolveExeDir(
    const QString &programDir, const QString &userDataDir, const QStringList &installedDataDirs)
{
    const QFileInfo program(programDir);
    if (program.isDir() && program.isWritable())
        return withSlash(program.absoluteFilePath());

    QDir().mkpath(userDataDir);
    const QString dir = withSlash(QFileInfo(userDataDir).absoluteFilePath());
    const QString table = dir + QStringLiteral("translate.dbf");
    if (!QFileInfo::exists(table)) {
        for (const QString &installed : installedDataDirs) {
            const QString source = withSlash(installed) + QStringLiteral("translate.dbf");
            if (QFileInfo::exists(source) && QFile::copy(source, table)) {
                // An installed copy is read-only; the user's copy must take new texts.
                QFile::setPermissions(table, QFile::permissions(table) | QFile::WriteOwner);
                break;
            }
        }
    }
    return dir;
}

QString programExeDir()
{
    // LINOVEX_DATA_DIR names another folder for options.dat and translate.dbf: a translator's
    // working copy, or a test's private folder.
    const QString chosen = qEnvironmentVariable("LINOVEX_DATA_DIR");
    if (!chosen.isEmpty() && QDir().mkpath(chosen))
        return withSlash(QFileInfo(chosen).absoluteFilePath());
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList installed = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    installed << QDir(programDir).absoluteFilePath(QStringLiteral("../share/linovex"));
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    installed.removeAll(userDir);
    return resolveExeDir(programDir, userDir, installed);
}
