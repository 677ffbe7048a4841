#include "raster/TargaRows.h"

#include <algorithm>
#include <cstring>

namespace {

struct Layout
{
    qint64 width = 0;
    qint64 pixels = 0;
    qint64 pixelBytes = 0;
    qint64 start = 0; // the pixel data: the first packet of a run-length picture
    qint64 end = 0; // just past the last packet
    bool crossesRows = false; // a packet runs on past the end of a row
};

unsigned byteAt(const QByteArray &d, qint64 pos)
{
    return static_cast<unsigned char>(d[pos]);
}

unsigned le16(const QByteArray &d, qint64 pos)
{
    return byteAt(d, pos) | (byteAt(d, pos + 1) << 8);
}

qint64 le32(const QByteArray &d, qint64 pos)
{
    return qint64(le16(d, pos)) | (qint64(le16(d, pos + 2)) << 16);
}

void putLe32(QByteArray &d, qint64 pos, qint64 value)
{
    for (int i = 0; i < 4; ++i)
        d[pos + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Reads the picture's size and where its pixel data starts: after the header, the image ID
// and a colour map of map type 1.
bool readHeader(const QByteArray &d, Layout &l)
{
    if (d.size() < 18)
        return false;
    l.width = le16(d, 12);
    l.pixels = l.width * le16(d, 14);
    l.pixelBytes = (byteAt(d, 16) + 7) / 8;
    const qint64 mapBytes = byteAt(d, 1) == 1 ? qint64(le16(d, 5)) * ((byteAt(d, 7) + 7) / 8) : 0;
    l.start = 18 + byteAt(d, 0) + mapBytes;
    return l.pixels != 0 && l.pixelBytes != 0;
}

bool runLength(const QByteArray &d)
{
    return (byteAt(d, 2) & 8) != 0;
}

// Walks the run-length packets from the start of the pixel data: false when they do not cover
// the picture, because one runs past the last pixel or the file ends first.
bool walkPackets(const QByteArray &d, Layout &l)
{
    const qint64 size = d.size();
    qint64 pos = l.start;
    // A header byte, then one pixel repeated or up to 128 literal pixels.
    for (qint64 covered = 0; covered < l.pixels;) {
        if (pos >= size)
            return false;
        const unsigned header = byteAt(d, pos++);
        const qint64 count = (header & 0x7F) + 1;
        if (covered + count > l.pixels)
            return false;
        if (covered % l.width + count > l.width)
            l.crossesRows = true;
        pos += (header & 0x80) ? l.pixelBytes : count * l.pixelBytes;
        if (pos > size)
            return false;
        covered += count;
    }
    l.end = pos;
    return true;
}

// Version 2 files end in a footer that points at an extension area and a developer directory,
// which hold file offsets of their own. Every offset into the bytes after the pixel data moves
// with them.
void moveTrailerOffsets(QByteArray &out, const Layout &l, qint64 added)
{
    static const char signature[] = "TRUEVISION-XFILE.";
    const qint64 oldSize = out.size() - added;
    const qint64 footer = out.size() - 26;
    if (oldSize - 26 < l.end || std::memcmp(out.constData() + footer + 8, signature, 18) != 0)
        return;
    // Moves the offset stored at `at` (a position in the new bytes) if it points past the pixels.
    const auto move = [&](qint64 at) {
        const qint64 offset = le32(out, at);
        if (offset >= l.end && offset < oldSize)
            putLe32(out, at, offset + added);
        return offset;
    };
    const qint64 extension = move(footer);
    const qint64 developer = move(footer + 4);
    if (extension >= l.end && extension + 495 <= oldSize - 26) {
        // Colour correction table, postage stamp, scan line table.
        for (const qint64 field : { 482, 486, 490 })
            move(extension + added + field);
    }
    if (developer >= l.end && developer + 2 <= oldSize - 26) {
        const qint64 tags = le16(out, developer + added);
        for (qint64 i = 0; i < tags && developer + 2 + 10 * (i + 1) <= oldSize - 26; ++i)
            move(developer + added + 2 + 10 * i + 2);
    }
}

} // namespace

bool targaPixelsComplete(const QByteArray &data)
{
    Layout l;
    if (!readHeader(data, l))
        return false;
    if (!runLength(data))
        return l.start + l.pixels * l.pixelBytes <= data.size();
    return walkPackets(data, l);
}

QByteArray targaPacketsWithinRows(const QByteArray &data)
{
    Layout l;
    if (!readHeader(data, l) || !runLength(data) || !walkPackets(data, l) || !l.crossesRows)
        return {};

    QByteArray out;
    // Each cut adds a packet header, and a cut run repeats its pixel; there are at most as many
    // cuts as rows.
    out.reserve(data.size() + (l.pixels / l.width) * (1 + l.pixelBytes));
    out.append(data.constData(), l.start);
    qint64 pos = l.start;
    for (qint64 covered = 0; covered < l.pixels;) {
        const unsigned header = byteAt(data, pos++);
        const bool run = (header & 0x80) != 0;
        for (qint64 count = (header & 0x7F) + 1; count > 0;) {
            const qint64 piece = std::min(count, l.width - covered % l.width);
            out.append(static_cast<char>((run ? 0x80 : 0) | (piece - 1)));
            out.append(data.constData() + pos, run ? l.pixelBytes : piece * l.pixelBytes);
            if (!run)
                pos += piece * l.pixelBytes;
            count -= piece;
            covered += piece;
        }
        if (run)
            pos += l.pixelBytes;
    }
    const qint64 added = out.size() - l.end;
    out.append(data.constData() + l.end, data.size() - l.end);
    moveTrailerOffsets(out, l, added);
    return out;
}

bool targaMapWhereFreeImageExpectsIt(const QByteArray &data)
{
    if (data.size() < 18)
        return false;
    const unsigned mapType = byteAt(data, 1);
    const unsigned imageType = byteAt(data, 2) & ~8u;
    if (mapType == 0)
        return true;
    if (mapType != 1)
        return false;
    const unsigned entries = le16(data, 5);
    if (entries == 0)
        return true;
    // It takes entries * bits / 8 bytes for the map, where the format gives each entry whole
    // bytes; the two agree only for entries of whole bytes.
    return imageType == 1 && byteAt(data, 7) % 8 == 0;
}
