#pragma once

#include <QString>
#include <QStringList>

// Where options.dat and translate.dbf live, always ending in '/'.
//
// A program started from a build tree or from a portable copy keeps both files beside itself,
// also in a folder it may not write (the table is then opened read-only, and options.dat is only
// read). An installed program never writes into its own folder (not even when run by root): it
// keeps them in the per-user data folder, which is created when missing and, at the first start,
// gets a copy of the installed translate.dbf (looked for in `installedDataDirs`, first match
// wins). A table the user already has is never replaced; when the installed table has changed
// since the copy last took it in (an upgrade), its new records and the translations of fields
// that are empty in the copy are added to the copy (see refreshTable), once per installed table.
//
// At that first start in the per-user folder there is no options.dat yet; the language is then
// taken from the desktop's preferred languages (`uiLanguages`, as QLocale::uiLanguages gives
// them): German when the first one is German, English otherwise, so a user whose desktop is not
// German meets the shipped English texts at once. Later starts read only options.dat.
QString resolveExeDir(const QString &programDir, bool installed, const QString &userDataDir,
    const QStringList &installedDataDirs, const QStringList &uiLanguages = {});

// The language index for a first start: 0 (German) when the first preferred language is
// German, else 1 (English).
int firstStartLanguage(const QStringList &uiLanguages);

// The folders where an installation keeps its read-only data (translate.dbf) for a program in
// `programDir`: the data folder of the prefix the program runs from, then the one the build was
// configured for.
QStringList installedDataDirs(const QString &programDir);

// Whether the program in `programDir` runs from an installation: its prefix holds the installed
// data folder, or it is the binary folder the build was configured to install into.
bool runsInstalled(const QString &programDir);

// resolveExeDir for the running program, or the folder named by LINOVEX_DATA_DIR when set.
QString programExeDir();
