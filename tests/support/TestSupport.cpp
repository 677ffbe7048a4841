#include "support/TestSupport.h"

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <clocale>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace linovex::test {

QString dataPath(const QString &relative)
{
    return QStringLiteral(LINOVEX_TEST_DATA_DIR "/") + relative;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void useScratchProgramFolders(const QString &folder)
{
    qputenv("LINOVEX_DATA_DIR", (folder + QLatin1String("/data")).toLocal8Bit());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(
        QSettings::IniFormat, QSettings::UserScope, folder + QLatin1String("/settings"));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

CommaLocale::CommaLocale()
{
    const char *cur = std::setlocale(LC_ALL, nullptr);
    m_previous = cur ? cur : "C";
    for (const char *name : { "de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8" }) {
        if (std::setlocale(LC_ALL, name)) {
            m_active = true;
            break;
        }
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

CommaLocale::~CommaLocale()
{
    std::setlocale(LC_ALL, m_previous.c_str());
    QLocale::setDefault(QLocale::c());
}

ReadOnlyFolder::ReadOnlyFolder(const QString &folder)
    : m_path(QFile::encodeName(folder))
{
    ::chmod(m_path.constData(), 0500);
    if (::access(m_path.constData(), W_OK) != 0) {
        m_active = true;
        return;
    }
    m_fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        m_active = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_fd >= 0) {
        int flags = 0;
        if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        }
        ::close(m_fd);
    }
    ::chmod(m_path.constData(), 0700);
}

} // namespace linovex::test
