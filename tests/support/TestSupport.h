#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace linovex::test {

// Absolute path of a file under tests/data.
QString dataPath(const QString &relative);

// Whole content of a file, or an empty array when it cannot be read.
QByteArray readFile(const QString &path);

// Writes bytes to a file, replacing it; returns false when that fails.
bool writeFile(const QString &path, const QByteArray &bytes);

// Points the program's data folder (LINOVEX_DATA_DIR) at `folder`/data and its window settings
// at INI files under `folder`/settings, so a test's main windows share nothing with the user's
// or another test's files.
void useScratchProgramFolders(const QString &folder);

// Switches the C locale (and Qt's default locale) to one whose decimal separator is a comma
// for the lifetime of the object, so tests can prove that numbers still use a point.
// active() is false when no such locale is installed on the machine.
class CommaLocale
{
public:
    CommaLocale();
    ~CommaLocale();
    CommaLocale(const CommaLocale &) = delete;
    CommaLocale &operator=(const CommaLocale &) = delete;
    bool active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

// Takes away the right to create files in `folder` for as long as it lives. Permissions stop
// ordinary users; a process that may ignore them (root in a container) is stopped by marking
// the folder immutable instead. active() is false when neither can be done here.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;
    bool active() const { return m_active; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_active = false;
};

} // namespace linovex::test
