#include "export/TargetCheck.h"

#include <QFile>
#include <QFileInfo>

QString targetRefusal(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return {};
    if (!info.isFile())
        return QStringLiteral("the name belongs to something that is not a file");
    // Opening for appending writes nothing and keeps the file as it is. The permission bits alone
    // would not tell, since they do not cover access control lists or a read-only file system.
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    return {};
}
