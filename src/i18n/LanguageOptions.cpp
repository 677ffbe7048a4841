#include "i18n/LanguageOptions.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace {

QString optionsPath(const QString &exeDir)
{
    return QDir(exeDir).filePath("options.dat");
}

} // namespace

int loadOptions(const QString &exeDir)
{
    QFile file(optionsPath(exeDir));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.read(4);
    // A shorter file is what an interrupted write of another program leaves; it holds no index.
    if (bytes.size() < 4)
        return 0;
    return qFromLittleEndian<qint32>(bytes.constData());
}

bool saveOptions(const QString &exeDir, int languageIndex)
{
    QSaveFile file(optionsPath(exeDir));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    char bytes[4];
    qToLittleEndian<qint32>(languageIndex, bytes);
    if (file.write(bytes, 4) != 4) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
