#pragma once

#include "raster/DibRec.h"

#include <QByteArray>
#include <QString>

// How a decoder answered: it made the picture, it does not read this kind of file (another
// decoder may), or the file is of its kind but damaged or too large (nobody should try again).
enum class DecodeStatus {
    Decoded,
    Refused,
    Rejected,
};

struct DecodeResult
{
    TDibRec rec;
    DecodeStatus status = DecodeStatus::Refused;
};

// Decodes a picture held in memory with FreeImage. `suffix` (lower case, no dot) names the
// format when the content alone does not (Targa files have no signature).
DecodeResult decodeWithFreeImage(const QByteArray &data, const QString &suffix);
