#pragma once

#include "export/ExportResult.h"

#include <QByteArray>
#include <QString>

// Writes `bytes` to `fileName` through a temporary file beside it that replaces the target only
// when everything was written, so a failure leaves no partial file and an existing file as it
// was. A failure carries `messageNumber`, the file name and the system's reason.
ExportResult writeFileAtomically(
    const QString &fileName, const QByteArray &bytes, int messageNumber);
