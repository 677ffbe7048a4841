#pragma once

#include <QByteArray>
#include <optional>
#include <utility>

// The resolution a JPEG file declares, in dots per metre across and down: from its JFIF
// header when that names inches or centimetres, otherwise from the resolution tags of its
// EXIF block (many cameras and scanners write only those, or a JFIF header with a bare aspect
// ratio). Nothing when neither declares one. Only the headers before the scan are read, every
// offset is checked against the bytes there are, and the walk always moves forward, so a
// damaged or hostile file costs no more than a glance at its headers.
std::optional<std::pair<double, double>> jpegDeclaredDotsPerMetre(const QByteArray &data);

// The JPEG without its EXIF blocks, or a null array when it has none. FreeImage reads EXIF
// blocks with a parser that trusts their offsets and reads far outside a forged block; the
// resolution, the only thing wanted from them, is read by jpegDeclaredDotsPerMetre instead.
QByteArray jpegWithoutExif(const QByteArray &data);
