#pragma once

#include <QString>
#include <QStringList>

// The folder that holds options.dat and translate.dbf, always ending in '/'. It is the
// program's own folder when that is writable (a build tree or a portable copy); otherwise the
// per-user data folder, which is created when missing and given a copy of an installed
// translate.dbf (looked for in `installedDataDirs`) when it has none yet.
QString resolveExeDir(
    const QString &programDir, const QString &userDataDir, const QStringList &installedDataDirs);

// resolveExeDir for the running program, or the folder named by LINOVEX_DATA_DIR when set.
QString programExeDir();
