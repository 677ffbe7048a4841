#include "support/TestSupport.h"

#include <QFile>
#include <QLocale>
#include <QSettings>
#include <clocale>

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

} // namespace linovex::test
