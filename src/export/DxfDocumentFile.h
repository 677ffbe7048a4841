#pragma once

#include <QString>

class TsgDXFExport;

// Writes a filled DXF document to `fileName` through a temporary file beside it that replaces
// the target only once the whole file is written, so a failure leaves no partial file and an
// existing file as it was. Returns an empty text on success, otherwise the system's reason.
QString saveDocumentAtomically(TsgDXFExport &document, const QString &fileName);
