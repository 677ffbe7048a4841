#include "app/ExeDir.h"

#include "i18n/LanguageOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStandardPaths>

// The build passes where an installation puts the program and its data; a build that is not
// configured for installing falls back to the usual layout below one prefix.
#ifndef LINOVEX_INSTALL_BINDIR
#    define LINOVEX_INSTALL_BINDIR "/usr/local/bin"
#endif
#ifndef LINOVEX_INSTALL_DATADIR
#    define LINOVEX_INSTALL_DATADIR "/usr/local/share/linovex"
#endif
#ifndef LINOVEX_BIN_TO_DATADIR
#    define LINOVEX_BIN_TO_DATADIR "../share/linovex"
#endif

namespace {

const QString kTable = QStringLiteral("translate.dbf");

QString withSlash(const QString &dir)
{
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

// Copies the installed table under a temporary name and renames it into place, so a start that
// is interrupted (or a full disk) never leaves a half-copied table that would later be taken
// for the user's own and refused as damaged.
bool seedTable(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError || out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    if (!out.commit())
        return false;
    // The installed copy is read-only; the user's copy has to take new texts.
    QFile::setPermissions(
        target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

} // namespace

int firstStartLanguage(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return 0;
    const QString first = uiLanguages.constFirst();
    return first == QLatin1String("de") || first.startsWith(QLatin1String("de-"))
            || first.startsWith(QLatin1String("de_"))
        ? 0
        : 1;
}

QString resolveExeDir(const QString &programDir, bool installed, const QString &userDataDir,
    const QStringList &installedDataDirs, const QStringList &uiLanguages)
{
    const QFileInfo program(programDir);
    if (!installed && program.isDir() && program.isWritable())
        return withSlash(program.absoluteFilePath());

    QDir().mkpath(userDataDir);
    const QString dir = withSlash(QFileInfo(userDataDir).absoluteFilePath());
    const QString table = dir + kTable;
    if (!QFileInfo::exists(table)) {
        const bool firstStart = !QFileInfo::exists(dir + QStringLiteral("options.dat"));
        if (firstStart && !uiLanguages.isEmpty())
            saveOptions(dir, firstStartLanguage(uiLanguages));
        for (const QString &installedDir : installedDataDirs) {
            const QString source = withSlash(installedDir) + kTable;
            if (QFileInfo::exists(source) && seedTable(source, table))
                break;
        }
    }
    return dir;
}

QStringList installedDataDirs(const QString &programDir)
{
    QStringList dirs;
    dirs << QDir::cleanPath(
        QDir(programDir).absoluteFilePath(QStringLiteral(LINOVEX_BIN_TO_DATADIR)));
    const QString configured = QDir::cleanPath(QStringLiteral(LINOVEX_INSTALL_DATADIR));
    if (!dirs.contains(configured))
        dirs << configured;
    return dirs;
}

bool runsInstalled(const QString &programDir)
{
    const QString dir = QFileInfo(programDir).canonicalFilePath();
    if (dir.isEmpty())
        return false;
    if (dir == QFileInfo(QStringLiteral(LINOVEX_INSTALL_BINDIR)).canonicalFilePath())
        return true;
    // A prefix chosen at install time (cmake --install --prefix, a relocated package) is
    // recognised by the data folder that the installation puts beside the binary folder.
    return QFileInfo(installedDataDirs(dir).constFirst()).isDir();
}

QString programExeDir()
{
    // LINOVEX_DATA_DIR names another folder for options.dat and translate.dbf: a translator's
    // working copy, or a test's private folder.
    const QString chosen = qEnvironmentVariable("LINOVEX_DATA_DIR");
    if (!chosen.isEmpty() && QDir().mkpath(chosen))
        return withSlash(QFileInfo(chosen).absoluteFilePath());
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return resolveExeDir(programDir, runsInstalled(programDir), userDir,
        installedDataDirs(programDir), QLocale::system().uiLanguages());
}
