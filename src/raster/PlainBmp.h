#pragma once

#include "raster/DibRec.h"

#include <QByteArray>
#include <QFile>
#include <optional>

// Reads an uncompressed BMP of 1, 4, 8 or 24 bits straight from the file into a new picture
// record. Such a file stores its rows exactly as the record keeps them, so the rows are read
// into place and no decoder holds a second copy of a scan that may take gigabytes.
//
// Only files whose every field is plain take this way: a BMP signature, a header of 40 bytes
// or more, one plane, no compression, a colour table within the file and before the pixels,
// every row present, and a size the library accepts. For any other file nothing is returned and
// the general decoders, with all their checks, decide. `head` is the file's content (only its
// first bytes are looked at); `file` is open for reading.
std::optional<TDibRec> readPlainBmp(QFile &file, const QByteArray &head);
