#include "raster/PlainBmp.h"

#include "raster/DibLimits.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t le16(const QByteArray &b, int at)
{
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8;
}

std::uint32_t le32(const QByteArray &b, int at)
{
    return le16(b, at) | le16(b, at + 2) << 16;
}

// Reads exactly `bytes` bytes; large reads go in pieces so that no single call asks the
// system for more than it hands out at once.
bool readFully(QFile &file, std::uint8_t *to, qint64 bytes)
{
    constexpr qint64 kPiece = qint64(64) << 20;
    while (bytes > 0) {
        const qint64 got = file.read(reinterpret_cast<char *>(to), std::min(bytes, kPiece));
        if (got <= 0)
            return false;
        to += got;
        bytes -= got;
    }
    return true;
}

} // namespace

std::optional<TDibRec> readPlainBmp(QFile &file, const QByteArray &head)
{
    constexpr int kFileHeader = 14;
    if (head.size() < kFileHeader + 40 || head[0] != 'B' || head[1] != 'M')
        return std::nullopt;
    const qint64 offset = le32(head, 10);
    const qint64 headerSize = le32(head, 14);
    const auto width = static_cast<std::int32_t>(le32(head, 18));
    const auto storedHeight = static_cast<std::int32_t>(le32(head, 22));
    const std::uint32_t planes = le16(head, 26);
    const auto bitCount = static_cast<int>(le16(head, 28));
    const std::uint32_t compression = le32(head, 30);
    const auto xPpm = static_cast<std::int32_t>(le32(head, 38));
    const auto yPpm = static_cast<std::int32_t>(le32(head, 42));
    const std::uint32_t colorsUsed = le32(head, 46);
    if (headerSize < 40 || headerSize > head.size() || planes != 1 || compression != 0
        || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) || storedHeight == 0
        || storedHeight == INT32_MIN)
        return std::nullopt;
    const int height = storedHeight < 0 ? -storedHeight : storedHeight;
    // The decoders accept no more pixels than a 24-bit picture of this size may have.
    if (!dibSizeAcceptable(width, height, 24))
        return std::nullopt;
    const qint64 tableSize = bitCount <= 8 ? (qint64(1) << bitCount) : 0;
    const qint64 colors = colorsUsed == 0 ? tableSize : colorsUsed;
    if (bitCount <= 8 && colors > tableSize)
        return std::nullopt;
    const qint64 tableStart = kFileHeader + headerSize;
    const qint64 tableEnd = tableStart + 4 * (bitCount <= 8 ? colors : 0);
    const qint64 stride = dibStride(width, bitCount);
    if (offset < tableEnd || tableEnd > head.size() || offset > file.size()
        || stride > (file.size() - offset) / height)
        return std::nullopt;

    TDibRec rec;
    newdib(rec, width, height, bitCount, nullptr, 0);
    if (!rec.Bits)
        return rec;
    // The entries an 8-bit file leaves out are a grey ramp, as the general decoder makes
    // them; those of 1- and 4-bit files stay black.
    for (qint64 i = colors; bitCount == 8 && i < tableSize; ++i) {
        const auto grey = static_cast<std::uint8_t>(i);
        rec.BitmapInfo->bmiColors[i] = { grey, grey, grey, 0 };
    }
    for (qint64 i = 0; i < colors && bitCount <= 8; ++i) {
        const auto at = static_cast<int>(tableStart + 4 * i);
        TRGBQuad &q = rec.BitmapInfo->bmiColors[i];
        q.rgbBlue = static_cast<std::uint8_t>(head[at]);
        q.rgbGreen = static_cast<std::uint8_t>(head[at + 1]);
        q.rgbRed = static_cast<std::uint8_t>(head[at + 2]);
    }
    if (xPpm > 0 && yPpm > 0) {
        rec.BitmapInfo->bmiHeader.biXPelsPerMeter = xPpm;
        rec.BitmapInfo->bmiHeader.biYPelsPerMeter = yPpm;
    }
    // Bottom-up files hold the rows in the record's order, so they are read in one go; a
    // top-down file's rows are read into place one by one.
    bool read = file.seek(offset);
    if (read && storedHeight > 0)
        read = readFully(file, rec.Bits, stride * height);
    for (int y = 0; read && storedHeight < 0 && y < height; ++y)
        read = readFully(
            file, rec.Bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride, stride);
    if (!read) {
        deldib(rec);
        return TDibRec {};
    }
    return rec;
}
