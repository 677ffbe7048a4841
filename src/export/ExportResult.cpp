#include "export/ExportResult.h"

#include "i18n/MessageTable.h"

ExportResult ExportResult::failure(
    int messageNumber, const QString &fileName, const QString &detail)
{
    ExportResult r;
    r.ok = false;
    r.messageNumber = messageNumber;
    r.fileName = fileName;
    r.detail = detail;
    return r;
}

QString ExportResult::message() const
{
    if (ok)
        return {};
    return messageText(messageNumber) + QLatin1Char(' ') + fileName;
}
