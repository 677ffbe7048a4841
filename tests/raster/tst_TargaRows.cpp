#include "raster/DibRec.h"
#include "raster/TargaRows.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using linovex::test::writeFile;

namespace {

using Pixel = QByteArray;

struct Picture
{
    int type = 10; // 9 colour-mapped, 10 true colour, 11 grey, each run-length encoded
    int width = 1;
    int height = 1;
    int depth = 24;
    std::vector<Pixel> pixels; // in file order, rows one after the other
};

void putLe16(QByteArray &out, int value)
{
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void putLe32(QByteArray &out, qint64 value)
{
    putLe16(out, static_cast<int>(value & 0xFFFF));
    putLe16(out, static_cast<int>(value >> 16));
}

// Header and colour map; `compressed` picks the run-length type or its uncompressed twin.
QByteArray targaHead(const Picture &p, bool compressed)
{
    QByteArray out;
    const bool mapped = p.type == 9;
    out.append(char(0));
    out.append(char(mapped ? 1 : 0));
    out.append(char(compressed ? p.type : p.type - 8));
    putLe16(out, 0);
    putLe16(out, mapped ? 4 : 0);
    out.append(char(mapped ? 24 : 0));
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, p.width);
    putLe16(out, p.height);
    out.append(char(p.depth));
    out.append(char(p.depth == 32 ? 8 : 0));
    if (mapped)
        out.append("\x10\x20\x30\x40\x50\x60\x70\x80\x90\xA0\xB0\xC0", 12);
    return out;
}

QByteArray uncompressed(const Picture &p)
{
    QByteArray out = targaHead(p, false);
    for (const Pixel &px : p.pixels)
        out.append(px);
    return out;
}

// Packets of random kind and length that ignore the row ends, as some writers make them. A run
// repeats the pixel it starts at, so the picture's pixels are made to match.
QByteArray packetsAcrossRows(Picture &p, std::mt19937 &rng)
{
    QByteArray out = targaHead(p, true);
    const int count = static_cast<int>(p.pixels.size());
    for (int i = 0; i < count;) {
        const int most = std::min(128, count - i);
        // Long runs now and then, since a run over several rows is the worst case.
        const int n = rng() % 4 == 0 ? most : 1 + static_cast<int>(rng() % most);
        if (rng() % 3 != 0) {
            out.append(static_cast<char>(0x80 | (n - 1)));
            out.append(p.pixels[i]);
            for (int k = i; k < i + n; ++k)
                p.pixels[k] = p.pixels[i];
        } else {
            out.append(static_cast<char>(n - 1));
            for (int k = i; k < i + n; ++k)
                out.append(p.pixels[k]);
        }
        i += n;
    }
    return out;
}

Picture randomPicture(std::mt19937 &rng, int width, int height)
{
    static const int kinds[][2] = { { 9, 8 }, { 10, 16 }, { 10, 24 }, { 10, 32 }, { 11, 8 } };
    const auto &kind = kinds[rng() % 5];
    Picture p { kind[0], width, height, kind[1], {} };
    for (int i = 0; i < width * height; ++i) {
        Pixel px;
        for (int b = 0; b < p.depth / 8; ++b)
            px.append(static_cast<char>(p.type == 9 ? rng() % 4 : rng() % 256));
        p.pixels.push_back(px);
    }
    return p;
}

QByteArray rowsOf(const TDibRec &rec)
{
    return QByteArray(reinterpret_cast<const char *>(rec.Bits),
        static_cast<qsizetype>(rec.BytesPerLine) * rec.BitmapInfo->bmiHeader.biHeight);
}

// Decodes run-length packets into the pixel stream, and tells whether any crosses a row end.
std::vector<Pixel> decodePackets(
    const QByteArray &d, qint64 pos, const Picture &p, bool *crossing, qint64 *end)
{
    std::vector<Pixel> out;
    const int bytes = p.depth / 8;
    *crossing = false;
    while (out.size() < p.pixels.size()) {
        const auto header = static_cast<unsigned char>(d[pos++]);
        const int n = (header & 0x7F) + 1;
        if (static_cast<int>(out.size() % p.width) + n > p.width)
            *crossing = true;
        for (int k = 0; k < n; ++k)
            out.push_back(d.mid(header & 0x80 ? pos : pos + k * bytes, bytes));
        pos += header & 0x80 ? bytes : n * bytes;
    }
    *end = pos;
    return out;
}

// Packets over several rows used to come out as other pixels, and made the decoder read past
// its buffers. Each picture must decode to exactly the pixels of its uncompressed twin.
TEST(TargaRows, PacketsAcrossRowsGiveThePixelsOfTheUncompressedPicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::mt19937 rng(20261209);
    const std::pair<int, int> sizes[] = { { 1, 3 }, { 2, 3 }, { 3, 1280 }, { 1, 300 }, { 4, 40 },
        { 130, 3 } };
    for (int t = 0; t < 160; ++t) {
        const auto [w, h] = t < 6
            ? sizes[t]
            : std::pair { 1 + static_cast<int>(rng() % 12), 1 + static_cast<int>(rng() % 12) };
        Picture p = randomPicture(rng, w, h);
        const QByteArray rle = packetsAcrossRows(p, rng);
        const QString rlePath = dir.filePath(QStringLiteral("rle.tga"));
        const QString rawPath = dir.filePath(QStringLiteral("raw.tga"));
        ASSERT_TRUE(writeFile(rlePath, rle));
        ASSERT_TRUE(writeFile(rawPath, uncompressed(p)));

        TDibRec fromRle;
        TDibRec fromRaw;
        SCOPED_TRACE("picture " + std::to_string(t) + ": type " + std::to_string(p.type) + ", "
            + std::to_string(w) + " x " + std::to_string(h) + " at " + std::to_string(p.depth));
        ASSERT_EQ(OpenDib(fromRaw, QFile::encodeName(rawPath).constData()), 1);
        ASSERT_EQ(OpenDib(fromRle, QFile::encodeName(rlePath).constData()), 1);
        EXPECT_EQ(
            fromRle.BitmapInfo->bmiHeader.biBitCount, fromRaw.BitmapInfo->bmiHeader.biBitCount);
        EXPECT_EQ(rowsOf(fromRle), rowsOf(fromRaw));
        if (fromRaw.HasPalette) {
            EXPECT_EQ(0,
                std::memcmp(fromRle.BitmapInfo->bmiColors, fromRaw.BitmapInfo->bmiColors,
                    sizeof(TRGBQuad) << fromRaw.BitmapInfo->bmiHeader.biBitCount));
        }
        deldib(fromRle);
        deldib(fromRaw);
    }
}

// A version 2 file: extension area, postage stamp, developer directory and footer after the
// pixels, all found through file offsets that must follow the bytes the cutting adds.
TEST(TargaRows, CuttingKeepsWhatFollowsThePixelsAndMovesItsOffsets)
{
    std::mt19937 rng(7);
    Picture p = randomPicture(rng, 3, 9);
    QByteArray file = packetsAcrossRows(p, rng);
    const qint64 pixelEnd = file.size();
    const qint64 extension = pixelEnd;
    const qint64 stamp = extension + 495;
    const qint64 developer = stamp + 6;
    const qint64 tagData = developer + 12;

    // Extension area: its size, an author, three offsets and the attributes byte.
    QByteArray tail(495, '\0');
    tail[0] = static_cast<char>(495 & 0xFF);
    tail[1] = static_cast<char>(495 >> 8);
    tail.replace(2, 5, "maker");
    QByteArray fields;
    putLe32(fields, 0); // no colour correction table
    putLe32(fields, stamp); // postage stamp
    putLe32(fields, 0x10); // scan line table: an offset before the pixels stays as it is
    tail.replace(482, 12, fields);
    tail[494] = 3;
    tail.append("\x01\x01\xAA\xBB\xCC\xDD", 6); // a 1 x 1 stamp
    putLe16(tail, 1); // one developer tag
    putLe16(tail, 0x8000);
    putLe32(tail, tagData);
    putLe32(tail, 4);
    tail.append("data", 4);
    putLe32(tail, extension);
    putLe32(tail, developer);
    tail.append("TRUEVISION-XFILE.", 18);
    file.append(tail);

    const QByteArray cut = targaPacketsWithinRows(file);
    ASSERT_FALSE(cut.isNull());
    const qint64 start = targaHead(p, true).size();
    EXPECT_EQ(cut.left(start), file.left(start));
    bool crossing = true;
    qint64 end = 0;
    EXPECT_EQ(decodePackets(cut, start, p, &crossing, &end), p.pixels);
    EXPECT_FALSE(crossing);
    const qint64 added = end - pixelEnd;
    ASSERT_GT(added, 0);

    const auto le32 = [&cut](qint64 pos) {
        return qint64(static_cast<unsigned char>(cut[pos]))
            | qint64(static_cast<unsigned char>(cut[pos + 1])) << 8
            | qint64(static_cast<unsigned char>(cut[pos + 2])) << 16
            | qint64(static_cast<unsigned char>(cut[pos + 3])) << 24;
    };
    const qint64 footer = cut.size() - 26;
    EXPECT_EQ(cut.mid(footer + 8), QByteArray("TRUEVISION-XFILE.", 18));
    EXPECT_EQ(le32(footer), extension + added);
    EXPECT_EQ(le32(footer + 4), developer + added);
    const qint64 area2 = le32(footer);
    EXPECT_EQ(cut.mid(area2, 482), tail.left(482));
    EXPECT_EQ(le32(area2 + 482), 0);
    EXPECT_EQ(le32(area2 + 486), stamp + added);
    EXPECT_EQ(le32(area2 + 490), 0x10);
    EXPECT_EQ(cut[area2 + 494], 3);
    EXPECT_EQ(cut.mid(le32(area2 + 486), 6), QByteArray("\x01\x01\xAA\xBB\xCC\xDD", 6));
    EXPECT_EQ(le32(le32(footer + 4) + 4), tagData + added);
    EXPECT_EQ(cut.mid(le32(le32(footer + 4) + 4), 4), QByteArray("data"));
    EXPECT_EQ(cut.size(), file.size() + added);
}

TEST(TargaRows, LeavesAloneWhatNeedsNoCutting)
{
    std::mt19937 rng(3);
    Picture p = randomPicture(rng, 4, 4);
    EXPECT_TRUE(targaPacketsWithinRows(uncompressed(p)).isNull());

    // Packets that end with their rows.
    QByteArray within = targaHead(p, true);
    for (int y = 0; y < p.height; ++y) {
        within.append(static_cast<char>(0x80 | (p.width - 1)));
        within.append(p.pixels[y * p.width]);
    }
    EXPECT_TRUE(targaPacketsWithinRows(within).isNull());

    // Packets that cross rows but end before the picture does, or run past it: the structure
    // check refuses those files, and nothing is cut.
    QByteArray shortOne = targaHead(p, true);
    shortOne.append(static_cast<char>(0x80 | 5));
    shortOne.append(p.pixels[0]);
    EXPECT_TRUE(targaPacketsWithinRows(shortOne).isNull());
    QByteArray longOne = shortOne;
    longOne.append(static_cast<char>(0x80 | 20));
    longOne.append(p.pixels[0]);
    EXPECT_TRUE(targaPacketsWithinRows(longOne).isNull());
    EXPECT_TRUE(targaPacketsWithinRows(QByteArray(10, '\x0A')).isNull());
}

} // namespace

namespace {

// FreeImage reads the colour map of a true-colour picture as pixels, and takes a map type the
// format does not define for a map; such files must not come out shifted by the map's bytes.
TEST(TargaRows, ColourMapsFreeImageWouldMisreadDoNotShiftThePixels)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::mt19937 rng(11);
    Picture p = randomPicture(rng, 4, 3);
    p.type = 10;
    p.depth = 24;
    for (Pixel &px : p.pixels)
        px = px.leftJustified(3, '\x55', true);
    const QString plainPath = dir.filePath(QStringLiteral("plain.tga"));
    ASSERT_TRUE(writeFile(plainPath, uncompressed(p)));
    TDibRec plain;
    ASSERT_EQ(OpenDib(plain, QFile::encodeName(plainPath).constData()), 1);

    // The same pixels after a colour map of two entries, which a true-colour picture may carry.
    QByteArray mapped = uncompressed(p);
    mapped[1] = 1;
    mapped[5] = 2;
    mapped[7] = 24;
    mapped.insert(18, QByteArray("\x01\x02\x03\x04\x05\x06", 6));
    const QString mappedPath = dir.filePath(QStringLiteral("mapped.tga"));
    ASSERT_TRUE(writeFile(mappedPath, mapped));
    TDibRec withMap;
    if (OpenDib(withMap, QFile::encodeName(mappedPath).constData()) == 1) {
        EXPECT_EQ(rowsOf(withMap), rowsOf(plain));
        deldib(withMap);
    }
    deldib(plain);

    // A colour-mapped picture whose map type is neither 0 nor 1.
    Picture q = randomPicture(rng, 5, 3);
    q.type = 9;
    q.depth = 8;
    for (Pixel &px : q.pixels)
        px = QByteArray(1, static_cast<char>(rng() % 4));
    QByteArray odd = packetsAcrossRows(q, rng);
    odd[1] = 5;
    const QString oddPath = dir.filePath(QStringLiteral("odd.tga"));
    ASSERT_TRUE(writeFile(oddPath, odd));
    TDibRec fromOdd;
    EXPECT_EQ(OpenDib(fromOdd, QFile::encodeName(oddPath).constData()), 0);
    deldib(fromOdd);

    // Colour maps of 15-bit entries, two bytes each, of which FreeImage skips only 15 bits each.
    const QString wholePath = dir.filePath(QStringLiteral("whole.tga"));
    ASSERT_TRUE(writeFile(wholePath, uncompressed(q)));
    TDibRec withWholeBytes;
    ASSERT_EQ(OpenDib(withWholeBytes, QFile::encodeName(wholePath).constData()), 1);
    for (const int entries : { 2, 256 }) {
        QByteArray fifteen = targaHead(q, false);
        fifteen[5] = static_cast<char>(entries & 0xFF);
        fifteen[6] = static_cast<char>(entries >> 8);
        fifteen[7] = 15;
        fifteen.truncate(18);
        fifteen.append(QByteArray(2 * entries, '\x1F'));
        for (const Pixel &px : q.pixels)
            fifteen.append(px);
        const QString fifteenPath = dir.filePath(QStringLiteral("fifteen.tga"));
        ASSERT_TRUE(writeFile(fifteenPath, fifteen));
        TDibRec fromFifteen;
        if (OpenDib(fromFifteen, QFile::encodeName(fifteenPath).constData()) == 1) {
            // The same indices as with a colour map of whole bytes.
            EXPECT_EQ(rowsOf(fromFifteen), rowsOf(withWholeBytes)) << entries << " entries";
            deldib(fromFifteen);
        }
    }
    deldib(withWholeBytes);
}

} // namespace
