#include "raster/StructureCheck.h"

#include "raster/DeclaredSize.h"
#include "raster/TargaRows.h"

#include <cstdint>

namespace {

class Bytes
{
public:
    explicit Bytes(const QByteArray &data)
        : m_data(reinterpret_cast<const unsigned char *>(data.constData()))
        , m_size(data.size())
    {
    }
    qint64 size() const { return m_size; }
    unsigned at(qint64 pos) const { return pos >= 0 && pos < m_size ? m_data[pos] : 0; }
    unsigned le16(qint64 pos) const { return at(pos) | (at(pos + 1) << 8); }
    qint64 le32(qint64 pos) const { return (qint64(le16(pos + 2)) << 16) | le16(pos); }
    unsigned be16(qint64 pos) const { return (at(pos) << 8) | at(pos + 1); }
    qint64 be32(qint64 pos) const { return (qint64(be16(pos)) << 16) | be16(pos + 2); }
    bool tag(qint64 pos, const char *t) const
    {
        for (int i = 0; i < 4; ++i)
            if (at(pos + i) != static_cast<unsigned char>(t[i]) || pos + i >= m_size)
                return false;
        return true;
    }

private:
    const unsigned char *m_data;
    qint64 m_size;
};

bool pcxIntact(const Bytes &b)
{
    if (b.size() < 128 || b.at(0) != 0x0A)
        return false;
    const qint64 width = qint64(b.le16(8)) - qint64(b.le16(4)) + 1;
    const qint64 height = qint64(b.le16(10)) - qint64(b.le16(6)) + 1;
    const qint64 bits = b.at(3);
    const qint64 planes = b.at(65);
    const qint64 lineBytes = b.le16(66);
    if (width <= 0 || height <= 0 || planes == 0 || lineBytes == 0)
        return false;
    // Each plane's line must hold the picture's width: FreeImage sizes its line buffer by the
    // header's line length but fills it for the whole width.
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8)
        return false;
    if (lineBytes * 8 < width * bits)
        return false;
    qint64 end = b.size();
    if (bits == 8 && planes == 1) {
        // 256-colour pictures keep their palette in the last 769 bytes, after a 12.
        if (b.size() < 128 + 769 || b.at(b.size() - 769) != 0x0C)
            return false;
        end = b.size() - 769;
    }
    const qint64 needed = height * planes * lineBytes;
    if (b.at(2) != 1)
        return 128 + needed <= end;
    qint64 produced = 0;
    for (qint64 pos = 128; produced < needed;) {
        if (pos >= end)
            return false;
        const unsigned c = b.at(pos++);
        if ((c & 0xC0) == 0xC0) {
            if (pos >= end)
                return false;
            ++pos;
            produced += c & 0x3F;
        } else {
            ++produced;
        }
    }
    return true;
}

// ByteRun1: a count byte n, then n + 1 literal bytes (n < 128) or one byte repeated 257 - n
// times (n > 128); 128 is a no-op.
bool byteRunCovers(const Bytes &b, qint64 pos, qint64 end, qint64 needed)
{
    qint64 produced = 0;
    while (produced < needed) {
        if (pos >= end)
            return false;
        const unsigned n = b.at(pos++);
        if (n < 128) {
            pos += n + 1;
            produced += n + 1;
        } else if (n > 128) {
            pos += 1;
            produced += 257 - n;
        }
        if (pos > end)
            return false;
    }
    return true;
}

bool iffIntact(const Bytes &b)
{
    if (!b.tag(0, "FORM"))
        return false;
    const qint64 formEnd = 8 + b.be32(4);
    if (formEnd > b.size() || formEnd < 12)
        return false;
    const bool chunky = b.tag(8, "PBM ");
    qint64 width = 0, height = 0, planes = 0, compression = 0;
    bool haveHeader = false;
    for (qint64 pos = 12; pos + 8 <= formEnd;) {
        const qint64 length = b.be32(pos + 4);
        const qint64 data = pos + 8;
        if (data + length > formEnd)
            return false;
        if (b.tag(pos, "BMHD")) {
            if (length < 20)
                return false;
            width = b.be16(data);
            height = b.be16(data + 2);
            planes = b.at(data + 8) + (b.at(data + 9) == 1 ? 1 : 0);
            compression = b.at(data + 10);
            haveHeader = true;
        } else if (b.tag(pos, "BODY")) {
            if (!haveHeader || width == 0 || height == 0)
                return false;
            const qint64 rowBytes = chunky ? (width + 1) / 2 * 2 : (width + 15) / 16 * 2;
            const qint64 needed = rowBytes * (chunky ? 1 : planes) * height;
            if (compression == 0)
                return length >= needed;
            if (compression == 1)
                return byteRunCovers(b, data, data + length, needed);
            return false;
        }
        pos = data + length + (length & 1);
    }
    return false;
}

// Pixels per byte of file beyond which a picture cannot be genuine. GIF: a 12-bit LZW code
// stands for at most 4096 pixels; run-length BMP gets the same bound. PNG: zlib expands at most
// 1032 times, 8 pixels per byte for 1-bit pictures. Huffman-coded JPEG: every 8 x 8 block costs
// at least one bit. Fax-coded (CCITT) TIFF: a row costs at least one bit however wide it is, so
// a blank page holds up to eight times its width in pixels per byte; `CcittPixelsPerByte` lets
// blank pages up to 32,768 pixels wide through (A2 at 1200 dpi, either way round). Everything
// else, arithmetic-coded JPEG included: `LoosePixelsPerByte`.
constexpr std::int64_t LzwPixelsPerByte = 4096;
constexpr std::int64_t PngPixelsPerByte = 16384;
constexpr std::int64_t HuffmanJpegPixelsPerByte = 1024;
constexpr std::int64_t CcittPixelsPerByte = 262144;
constexpr std::int64_t LoosePixelsPerByte = 65536;

bool densityPlausible(
    std::int64_t width, std::int64_t height, qint64 fileSize, std::int64_t pixelsPerByte)
{
    // Divided rather than multiplied: a forged header's 32-bit width times its height does not
    // fit in 64 bits.
    return width > 0 && height > 0 && width <= fileSize * pixelsPerByte / height;
}

// Whether the first picture of a TIFF or BigTIFF file is coded like a fax: CCITT run lengths
// (2 and 32771), T.4 (3) or T.6 (4), named by the compression tag of its first directory.
bool faxCodedTiff(const Bytes &b)
{
    const bool little = b.at(0) == 'I' && b.at(1) == 'I';
    if (!little && !(b.at(0) == 'M' && b.at(1) == 'M'))
        return false;
    const auto u16 = [&](qint64 p) { return little ? b.le16(p) : b.be16(p); };
    const auto u32 = [&](qint64 p) { return little ? b.le32(p) : b.be32(p); };
    // A BigTIFF offset beyond 4 GiB lies beyond any file we read; it becomes -1.
    const auto u64 = [&](qint64 p) {
        return u32(little ? p + 4 : p) != 0 ? -1 : u32(little ? p : p + 4);
    };
    const bool big = u16(2) == 43;
    if (!big && u16(2) != 42)
        return false;
    const qint64 directory = big ? u64(8) : u32(4);
    const qint64 entries = big ? u64(directory) : u16(directory);
    const qint64 entrySize = big ? 20 : 12;
    const qint64 first = directory + (big ? 8 : 2);
    if (directory < 0 || entries < 0)
        return false;
    for (qint64 i = 0; i < entries && first + (i + 1) * entrySize <= b.size(); ++i) {
        const qint64 entry = first + i * entrySize;
        if (u16(entry) != 259)
            continue;
        // The value is a SHORT as a rule; a few writers store a LONG.
        const qint64 value = big ? entry + 12 : entry + 8;
        const qint64 compression = u16(entry + 2) == 4 ? u32(value) : u16(value);
        return compression == 2 || compression == 3 || compression == 4 || compression == 32771;
    }
    return false;
}

bool bmpIntact(const Bytes &b)
{
    if (b.size() < 26 || b.at(0) != 'B' || b.at(1) != 'M')
        return false;
    const qint64 offset = b.le32(10);
    const qint64 headerSize = b.le32(14);
    qint64 width, height, bitCount, compression;
    if (headerSize == 12) {
        width = b.le16(18);
        height = b.le16(20);
        bitCount = b.le16(24);
        compression = 0;
    } else {
        width = static_cast<std::int32_t>(b.le32(18));
        height = static_cast<std::int32_t>(b.le32(22));
        bitCount = b.le16(28);
        compression = b.le32(30);
    }
    if (height < 0)
        height = -height;
    // Run-length data may legitimately end early with an end-of-picture code, leaving the rest
    // of the picture blank, so its rows need not all be in the file. But a few bytes standing
    // for hundreds of millions of pixels is a bomb, not a picture: the same bound as for GIF,
    // 4096 pixels per byte, far beyond what any encoder writes for a real picture.
    if (compression == 1 || compression == 2)
        return densityPlausible(width, height, b.size(), LzwPixelsPerByte);
    // Uncompressed rows (plain or with colour masks) have a known size.
    if (compression != 0 && compression != 3 && compression != 6)
        return true;
    const qint64 stride = (width * bitCount + 31) / 32 * 4;
    if (width <= 0 || offset < 0 || offset > b.size())
        return false;
    // Divided rather than multiplied: a forged stride times height does not fit in 64 bits.
    return height == 0 || stride <= (b.size() - offset) / height;
}

bool gifIntact(const Bytes &b, const QByteArray &data)
{
    const DeclaredSize size = declaredPictureSize(data);
    return size.known && densityPlausible(size.width, size.height, b.size(), LzwPixelsPerByte);
}

// Every chunk must lie within the file. libpng allocates a chunk's declared length before it
// reads the chunk, and Qt lifts libpng's limit on that, so a text chunk behind the pixels that
// claims two gigabytes costs two gigabytes and seconds of clearing memory for a file of a few
// hundred bytes. A chunk running past the end also means the file was cut off.
bool pngChunksWithinFile(const Bytes &b)
{
    for (qint64 pos = 8; pos + 8 <= b.size();) {
        const qint64 length = b.be32(pos);
        if (length > 0x7FFFFFFF || length + 12 > b.size() - pos)
            return false;
        if (b.tag(pos + 4, "IEND"))
            break;
        pos += length + 12;
    }
    return true;
}

bool pngIntact(const Bytes &b)
{
    return densityPlausible(b.be32(16), b.be32(20), b.size(), PngPixelsPerByte)
        && pngChunksWithinFile(b);
}

bool jpegIntact(const Bytes &b)
{
    // Walk the markers to the frame header. Arithmetic coding can spend far less than a bit on a
    // block, so its frames get the bound of the formats without a check of their own.
    for (qint64 pos = 2; pos + 9 < b.size();) {
        if (b.at(pos) != 0xFF)
            return true;
        const unsigned marker = b.at(pos + 1);
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            const bool arithmetic = marker >= 0xC9;
            return densityPlausible(b.be16(pos + 7), b.be16(pos + 5), b.size(),
                arithmetic ? LoosePixelsPerByte : HuffmanJpegPixelsPerByte);
        }
        pos += 2 + b.be16(pos + 2);
    }
    return true;
}

} // namespace

bool structureIntact(CheckedFormat format, const QByteArray &data)
{
    const Bytes b(data);
    switch (format) {
    case CheckedFormat::Targa:
        return targaPixelsComplete(data);
    case CheckedFormat::Iff:
        return iffIntact(b);
    case CheckedFormat::Pcx:
        return pcxIntact(b);
    case CheckedFormat::Bmp:
        return bmpIntact(b);
    case CheckedFormat::Gif:
        return gifIntact(b, data);
    case CheckedFormat::Jpeg:
        return jpegIntact(b);
    case CheckedFormat::Png:
        return pngIntact(b);
    }
    return false;
}

bool fourthByteIsAlpha(CheckedFormat format, const QByteArray &data)
{
    const Bytes b(data);
    if (format == CheckedFormat::Targa) {
        // True-colour pictures, plain or run-length encoded, of 32 bits per pixel.
        const unsigned type = b.at(2) & ~8u;
        return type != 2 || b.at(16) != 32 || (b.at(17) & 0x0F) != 0;
    }
    if (format != CheckedFormat::Bmp || b.le32(14) < 40 || b.le16(28) != 32)
        return true;
    // The alpha mask follows the red, green and blue masks: inside a header of 56 bytes or more,
    // or for BI_ALPHABITFIELDS behind a 40-byte header; both put it 52 bytes into the header.
    constexpr qint64 AlphaMask = 14 + 52;
    switch (b.le32(30)) {
    case 0: // BI_RGB
        return false;
    case 3: // BI_BITFIELDS
        return b.le32(14) >= 56 && b.le32(AlphaMask) != 0;
    case 6: // BI_ALPHABITFIELDS
        return b.le32(AlphaMask) != 0;
    default:
        return true;
    }
}

std::optional<CheckedFormat> checkedFormatForQt(const QByteArray &qtFormat)
{
    if (qtFormat == "bmp" || qtFormat == "dib")
        return CheckedFormat::Bmp;
    if (qtFormat == "png")
        return CheckedFormat::Png;
    if (qtFormat == "gif")
        return CheckedFormat::Gif;
    if (qtFormat == "jpeg" || qtFormat == "jpg")
        return CheckedFormat::Jpeg;
    if (qtFormat == "tga")
        return CheckedFormat::Targa;
    return std::nullopt;
}

bool sizePlausibleForFile(std::int64_t width, std::int64_t height, const QByteArray &data)
{
    const Bytes b(data);
    if (faxCodedTiff(b))
        return height <= b.size() * 8
            && densityPlausible(width, height, b.size(), CcittPixelsPerByte);
    return densityPlausible(width, height, b.size(), LoosePixelsPerByte);
}
