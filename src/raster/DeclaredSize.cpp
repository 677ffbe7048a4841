#include "raster/DeclaredSize.h"

#include <algorithm>

namespace {

// Bounds-checked big- and little-endian reads; out-of-range reads give 0 and clear `ok`.
class Reader
{
public:
    explicit Reader(const QByteArray &data)
        : m_data(reinterpret_cast<const unsigned char *>(data.constData()))
        , m_size(data.size())
    {
    }
    qsizetype size() const { return m_size; }
    bool has(qsizetype pos, qsizetype n) const { return pos >= 0 && n >= 0 && pos <= m_size - n; }
    std::uint32_t u8(qsizetype pos) const { return has(pos, 1) ? m_data[pos] : 0; }
    std::uint32_t le16(qsizetype pos) const { return u8(pos) | (u8(pos + 1) << 8); }
    std::uint32_t be16(qsizetype pos) const { return (u8(pos) << 8) | u8(pos + 1); }
    std::uint32_t be32(qsizetype pos) const { return (be16(pos) << 16) | be16(pos + 2); }
    bool tagAt(qsizetype pos, const char *tag, qsizetype n) const
    {
        if (!has(pos, n))
            return false;
        for (qsizetype i = 0; i < n; ++i)
            if (m_data[pos + i] != static_cast<unsigned char>(tag[i]))
                return false;
        return true;
    }

private:
    const unsigned char *m_data;
    qsizetype m_size;
};

// The area in floating point: two forged 32-bit sizes multiply beyond 64 bits.
double area(std::int64_t w, std::int64_t h)
{
    return static_cast<double>(w) * static_cast<double>(h);
}

DeclaredSize larger(DeclaredSize a, std::int64_t w, std::int64_t h)
{
    // The decoder may allocate the logical screen or the frame, whichever is larger.
    if (!a.known || area(w, h) > area(a.width, a.height))
        return { true, w, h };
    return a;
}

DeclaredSize gifSize(const Reader &r)
{
    DeclaredSize size { true, r.le16(6), r.le16(8) };
    qsizetype pos = 13;
    if (r.u8(10) & 0x80)
        pos += 3 * (qsizetype(2) << (r.u8(10) & 7));
    // Skip extension blocks up to the first frame and take its size too.
    for (int guard = 0; guard < 10000 && r.has(pos, 1); ++guard) {
        const std::uint32_t kind = r.u8(pos);
        if (kind == 0x2C) {
            // Decoders may grow their canvas to hold a frame that reaches past the logical
            // screen (Qt does so for a screen without height), so the frame counts with its
            // position.
            if (r.has(pos, 10)) {
                const std::int64_t right = std::int64_t(r.le16(pos + 1)) + r.le16(pos + 5);
                const std::int64_t bottom = std::int64_t(r.le16(pos + 3)) + r.le16(pos + 7);
                size = { true, std::max<std::int64_t>(size.width, right),
                    std::max<std::int64_t>(size.height, bottom) };
            }
            break;
        }
        if (kind != 0x21)
            break;
        pos += 2;
        while (r.has(pos, 1) && r.u8(pos) != 0)
            pos += 1 + r.u8(pos);
        pos += 1;
    }
    return size;
}

DeclaredSize iffSize(const Reader &r)
{
    for (qsizetype pos = 12; r.has(pos, 8);) {
        const qsizetype length = r.be32(pos + 4);
        if (r.tagAt(pos, "BMHD", 4))
            return { r.has(pos + 8, 4), r.be16(pos + 8), r.be16(pos + 10) };
        pos += 8 + length + (length & 1);
    }
    return {};
}

DeclaredSize codestreamSize(const Reader &r, qsizetype pos)
{
    // SOC then SIZ: Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz.
    if (r.be16(pos) != 0xFF4F || r.be16(pos + 2) != 0xFF51 || !r.has(pos + 4, 22))
        return {};
    const std::int64_t w = std::int64_t(r.be32(pos + 8)) - r.be32(pos + 16);
    const std::int64_t h = std::int64_t(r.be32(pos + 12)) - r.be32(pos + 20);
    return { true, w, h };
}

DeclaredSize jp2Size(const Reader &r)
{
    DeclaredSize size;
    // Walk the top-level boxes; the header box holds 'ihdr', the codestream box holds SIZ.
    for (qsizetype pos = 0; r.has(pos, 8);) {
        std::int64_t length = r.be32(pos);
        qsizetype header = 8;
        if (length == 1 && r.has(pos, 16)) {
            length = (std::int64_t(r.be32(pos + 8)) << 32) | r.be32(pos + 12);
            header = 16;
        } else if (length == 0) {
            length = r.size() - pos;
        }
        if (r.tagAt(pos + 4, "jp2h", 4) && r.tagAt(pos + 12, "ihdr", 4))
            size = larger(size, r.be32(pos + 20), r.be32(pos + 16));
        if (r.tagAt(pos + 4, "jp2c", 4)) {
            const DeclaredSize cs = codestreamSize(r, pos + header);
            if (cs.known)
                size = larger(size, cs.width, cs.height);
            break;
        }
        // A box that claims more than the rest of the file ends the walk before its length
        // can carry the position past the end of the number range.
        if (length < header || length > r.size() - pos)
            break;
        pos += length;
    }
    return size;
}

} // namespace

DeclaredSize declaredPictureSize(const QByteArray &data)
{
    const Reader r(data);
    if (r.tagAt(0, "GIF8", 4))
        return gifSize(r);
    if (r.tagAt(0, "FORM", 4) && (r.tagAt(8, "ILBM", 4) || r.tagAt(8, "PBM ", 4)))
        return iffSize(r);
    if (r.tagAt(4, "jP  ", 4))
        return jp2Size(r);
    if (r.be16(0) == 0xFF4F)
        return codestreamSize(r, 0);
    return {};
}
