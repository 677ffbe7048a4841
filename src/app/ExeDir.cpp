#include "app/ExeDir.h"

#include "i18n/DbfTable.h"
#include "i18n/LanguageOptions.h"
#include "i18n/TableRefresh.h"

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
// Which installed table the user's copy last took its texts from (see shippedStamp).
const QString kShippedStamp = QStringLiteral("translate.shipped");

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

// The installed table as the stamp records it: its size and modification time. An upgrade
// replaces the file, so either changes; comparing the dates of the two tables would not do,
// since a package keeps the date it was built on, which may be older than the user's last edit.
QByteArray shippedStamp(const QString &source)
{
    const QFileInfo info(source);
    return QByteArray::number(info.size()) + ' '
        + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
}

void writeStamp(const QString &dir, const QString &source)
{
    QSaveFile stamp(dir + kShippedStamp);
    if (stamp.open(QIODevice::WriteOnly) && stamp.write(shippedStamp(source)) > 0)
        stamp.commit();
}

// Adds what a newer installed table brings to the user's copy; see refreshTable. A damaged
// table on either side is left alone (the program reports the user's at start-up).
bool refreshUserTable(const QString &source, const QString &target)
{
    if (!DbfTable::checkFile(source).isEmpty() || !DbfTable::checkFile(target).isEmpty())
        return false;
    DbfTable shipped;
    DbfTable user;
    if (!shipped.open(source, DbfTable::Mode::ReadOnly, nullptr)
        || !user.open(target, DbfTable::Mode::ReadWrite, nullptr))
        return false;
    return refreshTable(user, shipped).complete;
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
    // A portable copy keeps its files beside itself even in a folder it may not write: its
    // table is then used read-only, and a language chosen in the menu lasts for the run.
    const QFileInfo program(programDir);
    if (!installed && program.isDir())
        return withSlash(program.absoluteFilePath());

    QDir().mkpath(userDataDir);
    const QString dir = withSlash(QFileInfo(userDataDir).absoluteFilePath());
    const QString table = dir + kTable;
    QString source;
    for (const QString &installedDir : installedDataDirs) {
        source = withSlash(installedDir) + kTable;
        if (QFileInfo::exists(source))
            break;
        source.clear();
    }
    if (!QFileInfo::exists(table)) {
        const bool firstStart = !QFileInfo::exists(dir + QStringLiteral("options.dat"));
        if (firstStart && !uiLanguages.isEmpty())
            saveOptions(dir, firstStartLanguage(uiLanguages));
        if (!source.isEmpty() && seedTable(source, table))
            writeStamp(dir, source);
    } else if (!source.isEmpty()) {
        // After an upgrade the installed table may hold texts and translations the user's copy
        // lacks; they are added once per installed table.
        QFile stamp(dir + kShippedStamp);
        const QByteArray seen = stamp.open(QIODevice::ReadOnly) ? stamp.readAll() : QByteArray();
        if (seen != shippedStamp(source) && refreshUserTable(source, table))
            writeStamp(dir, source);
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
