#include "raster/JpegResolution.h"

#include <cstdint>
#include <cstring>

namespace {

using Resolution = std::pair<double, double>;

// A window on the bytes of one header in which every read outside gives 0.
struct Span
{
    const unsigned char *data;
    std::int64_t size;
    bool bigEndian = true;

    std::uint32_t byte(std::int64_t at) const { return at >= 0 && at < size ? data[at] : 0; }
    std::uint32_t u16(std::int64_t at) const
    {
        return bigEndian ? byte(at) << 8 | byte(at + 1) : byte(at + 1) << 8 | byte(at);
    }
    std::uint32_t u32(std::int64_t at) const
    {
        return bigEndian ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    }
    bool contains(std::int64_t at, std::int64_t length) const
    {
        return at >= 0 && length >= 0 && at <= size - length;
    }
};

constexpr double CentimetresPerMetre = 100.0;
constexpr double InchesPerMetre = 1.0 / 0.0254;

// Units per metre for a JFIF unit (1 inch, 2 centimetre) or an EXIF one (2 inch,
// 3 centimetre); 0 for an aspect ratio without size.
double perMetre(std::uint32_t unit, bool exif)
{
    if (unit == (exif ? 2u : 1u))
        return InchesPerMetre;
    if (unit == (exif ? 3u : 2u))
        return CentimetresPerMetre;
    return 0;
}

std::optional<Resolution> fromJfif(const Span &s)
{
    if (!s.contains(0, 12) || std::memcmp(s.data, "JFIF", 5) != 0)
        return std::nullopt;
    const double scale = perMetre(s.byte(7), false);
    const std::uint32_t x = s.u16(8);
    const std::uint32_t y = s.u16(10);
    if (scale == 0 || x == 0 || y == 0)
        return std::nullopt;
    return Resolution { x * scale, y * scale };
}

// The value of a RATIONAL tag whose count is 1; 0 when it is not one or has no denominator.
double rational(const Span &tiff, std::int64_t entry)
{
    if (tiff.u16(entry + 2) != 5 || tiff.u32(entry + 4) != 1)
        return 0;
    const std::int64_t at = tiff.u32(entry + 8);
    if (!tiff.contains(at, 8) || tiff.u32(at + 4) == 0)
        return 0;
    return static_cast<double>(tiff.u32(at)) / tiff.u32(at + 4);
}

std::optional<Resolution> fromExif(const Span &s)
{
    if (!s.contains(0, 14) || std::memcmp(s.data, "Exif\0\0", 6) != 0)
        return std::nullopt;
    Span tiff { s.data + 6, s.size - 6 };
    if (tiff.byte(0) == 'I' && tiff.byte(1) == 'I')
        tiff.bigEndian = false;
    else if (tiff.byte(0) != 'M' || tiff.byte(1) != 'M')
        return std::nullopt;
    if (tiff.u16(2) != 42)
        return std::nullopt;
    const std::int64_t directory = tiff.u32(4);
    if (!tiff.contains(directory, 2))
        return std::nullopt;
    // The first directory describes the main picture; TIFF's unit is the inch unless the
    // directory says otherwise.
    double x = 0, y = 0;
    std::uint32_t unit = 2;
    const std::int64_t entries = tiff.u16(directory);
    for (std::int64_t i = 0; i < entries; ++i) {
        const std::int64_t entry = directory + 2 + 12 * i;
        if (!tiff.contains(entry, 12))
            break;
        switch (tiff.u16(entry)) {
        case 0x011A:
            x = rational(tiff, entry);
            break;
        case 0x011B:
            y = rational(tiff, entry);
            break;
        case 0x0128:
            unit = tiff.u16(entry + 2) == 3 ? tiff.u16(entry + 8) : 0;
            break;
        default:
            break;
        }
    }
    const double scale = perMetre(unit, true);
    if (scale == 0 || !(x > 0) || !(y > 0))
        return std::nullopt;
    return Resolution { x * scale, y * scale };
}

// Calls visit(marker, start, length) for each marker segment before the scan, with the
// position of its marker and its length after the marker, until visit returns false. Every
// step moves forward and every segment lies within the data.
template <typename Visit> void walkHeaders(const Span &file, Visit visit)
{
    if (file.u16(0) != 0xFFD8)
        return;
    std::int64_t pos = 2;
    while (file.contains(pos, 4) && file.byte(pos) == 0xFF) {
        const std::uint32_t marker = file.byte(pos + 1);
        // Fill bytes and markers without a length.
        if (marker == 0xFF) {
            pos += 1;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            pos += 2;
            continue;
        }
        // The headers end where the scan or the picture begins.
        if (marker == 0xDA || marker == 0xD9)
            return;
        const std::int64_t length = file.u16(pos + 2);
        if (length < 2 || !file.contains(pos + 2, length) || !visit(marker, pos, length))
            return;
        pos += 2 + length;
    }
}

bool isExif(const Span &file, std::uint32_t marker, std::int64_t pos, std::int64_t length)
{
    return marker == 0xE1 && length >= 8 && std::memcmp(file.data + pos + 4, "Exif\0\0", 6) == 0;
}

Span spanOf(const QByteArray &data)
{
    return { reinterpret_cast<const unsigned char *>(data.constData()), data.size() };
}

} // namespace

std::optional<std::pair<double, double>> jpegDeclaredDotsPerMetre(const QByteArray &data)
{
    const Span file = spanOf(data);
    std::optional<Resolution> jfif, exif;
    walkHeaders(file, [&](std::uint32_t marker, std::int64_t pos, std::int64_t length) {
        const Span segment { file.data + pos + 4, length - 2 };
        if (marker == 0xE0)
            jfif = fromJfif(segment);
        else if (marker == 0xE1 && !exif)
            exif = fromExif(segment);
        return !jfif;
    });
    return jfif ? jfif : exif;
}

QByteArray jpegWithoutExif(const QByteArray &data)
{
    const Span file = spanOf(data);
    QByteArray kept;
    std::int64_t copied = 0;
    walkHeaders(file, [&](std::uint32_t marker, std::int64_t pos, std::int64_t length) {
        if (isExif(file, marker, pos, length)) {
            kept.append(data.constData() + copied, pos - copied);
            copied = pos + 2 + length;
        }
        return true;
    });
    if (copied == 0)
        return {};
    kept.append(data.constData() + copied, data.size() - copied);
    return kept;
}
