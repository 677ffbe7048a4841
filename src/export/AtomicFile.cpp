#include "export/AtomicFile.h"

#include <QSaveFile>

ExportResult writeFileAtomically(
    const QString &fileName, const QByteArray &bytes, int messageNumber)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return ExportResult::failure(messageNumber, fileName, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return ExportResult::failure(messageNumber, fileName, reason);
    }
    if (!file.commit())
        return ExportResult::failure(messageNumber, fileName, file.errorString());
    return ExportResult::success();
}
