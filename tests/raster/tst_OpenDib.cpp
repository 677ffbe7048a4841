#include "raster/DibImage.h"
#include "raster/DibRec.h"
#include "raster/FreeImageDecoder.h"
#include "raster/PictureResolution.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using linovex::test::dataPath;

namespace {

// The picture every sample under tests/data/raster shows (see make-samples.py), top row first.
const QRgb kPixels[3][5] = {
    { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255), qRgb(0, 0, 0) },
    { qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(255, 0, 255), qRgb(128, 128, 128),
        qRgb(255, 0, 0) },
    { qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0, 0, 255) },
};

int channelDistance(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
        std::abs(qBlue(a) - qBlue(b)) });
}

Dib openSample(const char *name)
{
    return Dib::open(dataPath(QStringLiteral("raster/") + QLatin1String(name)));
}

struct FormatCase
{
    const char *file;
    int bitCount;
    int tolerance; // largest channel error per pixel; lossy formats need some
};

class SampleFormats : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P(SampleFormats, LoadsBottomUpWithRightDepthAndColours)
{
    const FormatCase c = GetParam();
    Dib dib = openSample(c.file);
    ASSERT_FALSE(dib.isNull());
    EXPECT_EQ(dib.width(), 5);
    EXPECT_EQ(dib.height(), 3);
    EXPECT_EQ(dib.bitCount(), c.bitCount);
    const TDibRec &r = dib.rec();
    EXPECT_EQ(r.BytesPerLine % 4, 0);
    EXPECT_EQ(r.BytesPerLine, (5 * c.bitCount + 31) / 32 * 4);
    EXPECT_EQ(r.HasPalette, c.bitCount <= 8 ? 1 : 0);
    const QImage image = dibToImage(r);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_LE(channelDistance(image.pixel(x, y), kPixels[y][x]), c.tolerance)
                << "pixel " << x << "," << y << " is " << std::hex << image.pixel(x, y);
}

INSTANTIATE_TEST_SUITE_P(EveryFilterFormat, SampleFormats,
    ::testing::Values(FormatCase { "rgb24.bmp", 24, 0 }, FormatCase { "pal8.bmp", 8, 0 },
        FormatCase { "pal4.bmp", 4, 0 }, FormatCase { "rle8.bmp", 8, 0 },
        FormatCase { "rle4.bmp", 4, 0 }, FormatCase { "v4.bmp", 24, 0 },
        FormatCase { "v5.bmp", 24, 0 }, FormatCase { "rgb24.dib", 24, 0 },
        FormatCase { "rle8.rle", 8, 0 }, FormatCase { "gif.gif", 4, 0 },
        FormatCase { "planar.iff", 8, 0 }, FormatCase { "deep.lbm", 24, 0 },
        FormatCase { "jpg.jpg", 24, 24 }, FormatCase { "jif.jif", 24, 24 },
        FormatCase { "pal8.pcx", 8, 0 }, FormatCase { "rgb24.pcx", 24, 0 },
        FormatCase { "rgb.tga", 24, 0 }, FormatCase { "cmap-rle.tga", 8, 0 },
        FormatCase { "rgb.tif", 24, 0 }, FormatCase { "pal.tif", 4, 0 },
        FormatCase { "rgb.png", 24, 0 }, FormatCase { "pal.png", 4, 0 },
        FormatCase { "rgb48.png", 24, 0 }, FormatCase { "jp2.jp2", 24, 0 }),
    [](const auto &info) {
        std::string name = info.param.file;
        for (char &ch : name)
            if (ch == '.' || ch == '-')
                ch = '_';
        return name;
    });

TEST(OpenDib, TransparencyShowsWhitePaper)
{
    // Left column clear, middle column blue at half cover, the rest opaque (make-samples.py).
    Dib rgba = openSample("rgba.png");
    ASSERT_FALSE(rgba.isNull());
    EXPECT_EQ(rgba.bitCount(), 24);
    const QImage image = dibToImage(rgba.rec());
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(image.pixel(0, y), qRgb(255, 255, 255)) << "row " << y;
        EXPECT_EQ(image.pixel(1, y), kPixels[y][1]) << "row " << y;
        const QRgb c = kPixels[y][2];
        const auto half = [](int v) { return (v + 255 + 1) / 2; };
        EXPECT_LE(channelDistance(
                      image.pixel(2, y), qRgb(half(qRed(c)), half(qGreen(c)), half(qBlue(c)))),
            2)
            << "row " << y;
    }
    // An indexed picture with a transparent colour stays indexed; that colour becomes white.
    Dib gif = openSample("transparent.gif");
    ASSERT_FALSE(gif.isNull());
    EXPECT_LE(gif.bitCount(), 8);
    const QImage shown = dibToImage(gif.rec());
    EXPECT_EQ(shown.pixel(4, 0), qRgb(255, 255, 255)); // was black
    EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
}

// A 2 x 1 picture of 32 bits per pixel: red with 0 in its fourth byte, then blue with 0x80.
QByteArray bmp32(int headerSize, std::uint32_t compression, std::uint32_t alphaMask)
{
    const bool masksBehind = headerSize == 40 && compression == 3;
    const int offset = 14 + headerSize + (masksBehind ? 12 : 0);
    QByteArray b(offset, '\0');
    const auto put32 = [&b](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, offset + 8);
    put32(10, offset);
    put32(14, headerSize);
    put32(18, 2);
    put32(22, 1);
    put32(26, 1 | (32 << 16)); // one plane, 32 bits
    put32(30, compression);
    put32(34, 8);
    if (compression == 3) {
        put32(54, 0x00FF0000);
        put32(58, 0x0000FF00);
        put32(62, 0x000000FF);
        if (headerSize >= 56)
            put32(66, alphaMask);
    }
    return b + QByteArray::fromHex("0000ff00ff000080");
}

QByteArray tga32(int alphaBits)
{
    QByteArray b(18, '\0');
    b[2] = 2; // true colour
    b[12] = 2; // width
    b[14] = 1; // height
    b[16] = 32;
    b[17] = static_cast<char>(alphaBits);
    return b + QByteArray::fromHex("0000ff00ff000080");
}

struct FourthByteCase
{
    const char *name;
    QByteArray file;
    bool alpha;
};

TEST(OpenDib, FourthByteIsAlphaOnlyWhereTheFileSaysSo)
{
    const FourthByteCase cases[] = {
        { "rgb.bmp", bmp32(40, 0, 0), false },
        { "bitfields.bmp", bmp32(40, 3, 0), false },
        { "v5-without-alpha-mask.bmp", bmp32(124, 3, 0), false },
        { "v4-with-alpha-mask.bmp", bmp32(108, 3, 0xFF000000), true },
        { "v5-with-alpha-mask.bmp", bmp32(124, 3, 0xFF000000), true },
        { "no-alpha-bits.tga", tga32(0), false },
        { "alpha-bits.tga", tga32(8), true },
    };
    QTemporaryDir dir;
    for (const FourthByteCase &c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(linovex::test::writeFile(path, c.file));
        Dib dib = Dib::open(path);
        ASSERT_FALSE(dib.isNull()) << c.name;
        EXPECT_EQ(dib.bitCount(), 24) << c.name;
        const QImage image = dibToImage(dib.rec());
        // With alpha the clear pixel is white paper and the half-covered one pale blue.
        EXPECT_EQ(image.pixel(0, 0), c.alpha ? qRgb(255, 255, 255) : qRgb(255, 0, 0)) << c.name;
        EXPECT_LE(
            channelDistance(image.pixel(1, 0), c.alpha ? qRgb(127, 127, 255) : qRgb(0, 0, 255)), 1)
            << c.name;
    }
}

TEST(OpenDib, GreyPicturesKeepTheirLevels)
{
    // 16 bits per sample must keep the high byte, not stretch the contrast.
    Dib grey16 = openSample("gray16.png");
    ASSERT_FALSE(grey16.isNull());
    EXPECT_EQ(grey16.bitCount(), 24);
    const QImage image = dibToImage(grey16.rec());
    EXPECT_LE(channelDistance(image.pixel(3, 1), qRgb(128, 128, 128)), 1);
    EXPECT_EQ(image.pixel(3, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(4, 0), qRgb(0, 0, 0));

    Dib greyJpeg = openSample("gray.jpeg");
    ASSERT_FALSE(greyJpeg.isNull());
    EXPECT_EQ(greyJpeg.bitCount(), 8);
    const QImage jpeg = dibToImage(greyJpeg.rec());
    EXPECT_LE(channelDistance(jpeg.pixel(3, 1), qRgb(128, 128, 128)), 24);
    EXPECT_EQ(qRed(jpeg.pixel(2, 2)), qGreen(jpeg.pixel(2, 2)));
}

TEST(OpenDib, NearlyBlankFaxCodedPagesAt1200DpiLoad)
{
    // Pages of 1200 dpi coded as CCITT group 4 by ImageMagick ("convert -size WxH xc:white
    // [-draw ...] -monochrome -compress Group4", its resource policy raised past 128 megapixels).
    // A white row costs one bit, so these files hold 70,000 and 101,000 pixels per byte. The A3
    // page has three horizontal lines 12 pixels thick, one of them across row 600.
    struct Page
    {
        const char *file;
        int width, height;
    };
    for (const Page &p : { Page { "blank-a4-1200dpi-g4.tif", 9921, 14031 },
             Page { "a3-1200dpi-lines-g4.tif", 14031, 19843 } }) {
        Dib dib = openSample(p.file);
        ASSERT_FALSE(dib.isNull()) << p.file;
        EXPECT_EQ(dib.width(), p.width) << p.file;
        EXPECT_EQ(dib.height(), p.height) << p.file;
        EXPECT_EQ(dib.bitCount(), 1) << p.file;
        const bool lined = p.height == 19843;
        EXPECT_EQ(getpixel(dib.rec(), 7000, p.height - 1 - 600) != getpixel(dib.rec(), 0, 0), lined)
            << p.file;
    }
}

TEST(OpenDib, DecodedPicturesAreOrdinaryRecords)
{
    // Pixels of a loaded picture can be written, and the picture moves and frees like any
    // other (the sanitizer build checks that nothing leaks or is freed twice).
    for (const char *name : { "rgb.png", "pal8.bmp", "v5.bmp" }) {
        Dib dib = openSample(name);
        ASSERT_FALSE(dib.isNull()) << name;
        setpixel(dib.rec(), 4, 0, 7);
        EXPECT_EQ(getpixel(dib.rec(), 4, 0), 7u) << name;
        Dib moved = std::move(dib);
        moved.reset(openSample(name).release());
        EXPECT_FALSE(moved.isNull());
    }
}

TEST(OpenDib, KeepsTheFilesResolution)
{
    // 11811 x 5906 pixels per metre: 300 x 150 dots per inch. One file read by each decoder.
    for (const char *name : { "rgb24.bmp", "v5.bmp" }) {
        Dib dib = openSample(name);
        ASSERT_FALSE(dib.isNull()) << name;
        EXPECT_EQ(dib.rec().BitmapInfo->bmiHeader.biXPelsPerMeter, 11811) << name;
        EXPECT_EQ(dib.rec().BitmapInfo->bmiHeader.biYPelsPerMeter, 5906) << name;
    }
}

TEST(OpenDib, DeclaredResolutionIsTakenFromEachFormatUnlessItMeansNothing)
{
    struct Case
    {
        const char *format;
        int dotsPerMetre;
        bool aspectOnly; // a JFIF density of unit 0: a pixel aspect, no resolution
        std::optional<double> dpi;
    };
    const Case cases[] = {
        { "bmp", 7874, false, 200.0 },
        { "png", 7874, false, 200.0 },
        { "jpg", 7874, false, 200.0 },
        { "tif", 7874, false, 200.0 },
        { "png", 11811, false, 300.0 },
        { "png", 10200, false, 259.07949 }, // no whole number of dots per inch
        { "bmp", 393701, false, 10000.0 },
        { "png", 2835, false, std::nullopt }, // the 72 dpi placeholder
        { "bmp", 3780, false, std::nullopt }, // the 96 dpi placeholder
        { "tif", 2835, false, std::nullopt },
        { "jpg", 7874, true, std::nullopt },
        { "bmp", 300, false, std::nullopt }, // 7.6 dpi: below any real scan
        { "png", 400000, false, std::nullopt },
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const std::string label = std::string(c.format) + " " + std::to_string(c.dotsPerMetre);
        QImage image(16, 8, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(c.dotsPerMetre);
        image.setDotsPerMeterY(c.dotsPerMetre);
        const QString path = dir.filePath(QStringLiteral("r.") + QLatin1String(c.format));
        ASSERT_TRUE(image.save(path)) << label;
        if (c.aspectOnly) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            QByteArray bytes = file.readAll();
            ASSERT_EQ(bytes.mid(6, 5), QByteArray("JFIF", 5)) << label;
            bytes[13] = 0; // the density unit
            file.seek(0);
            file.write(bytes);
        }
        const Dib dib = Dib::open(path);
        ASSERT_FALSE(dib.isNull()) << label;
        const std::optional<double> dpi = declaredResolution(dib.rec());
        ASSERT_EQ(dpi.has_value(), c.dpi.has_value()) << label;
        if (dpi) {
            EXPECT_NEAR(*dpi, *c.dpi, 1e-9) << label;
        }
    }
    EXPECT_FALSE(declaredResolution(TDibRec {}).has_value());
}

TEST(OpenDib, KeepsANonAsciiFileName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Bild \u00f6ffnen \u00e4\u00df.png"));
    ASSERT_TRUE(QFile::copy(dataPath(QStringLiteral("raster/rgb.png")), path));
    EXPECT_FALSE(Dib::open(path).isNull());
}

TEST(OpenDibFilter, ListsEveryFormatItReadsInPairs)
{
    const char *filter = GetDIBOpenFilter();
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter, GetDIBOpenFilter()); // the same text every time; callers keep the pointer
    const QStringList parts = QString::fromLatin1(filter).split(QLatin1Char('|'));
    ASSERT_EQ(parts.size() % 2, 0);
    for (int i = 0; i < parts.size(); i += 2) {
        EXPECT_FALSE(parts[i].isEmpty());
        for (const QString &pattern : parts[i + 1].split(QLatin1Char(';')))
            EXPECT_TRUE(pattern.startsWith(QLatin1String("*."))) << pattern.toStdString();
    }
    // Every pattern of the fixed list of the open dialog must be readable and offered.
    const QStringList all = parts[1].split(QLatin1Char(';'));
    for (const char *ext : { "BMP", "DIB", "GIF", "IFF", "JIF", "JPG", "JPEG", "LBM", "PCX", "RLE",
             "TGA", "TIF", "PNG", "JP2" })
        EXPECT_TRUE(all.contains(QStringLiteral("*.") + QLatin1String(ext))) << ext;
}

} // namespace

namespace {

// Opens `bytes` as a picture file of this name in `dir`.
Dib openBytes(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return {};
    f.close();
    return Dib::open(path);
}

// A plain BMP: the header of 40 bytes, `colors` entries of a colour table (0 for the full
// table), `gap` spare bytes before the rows, rows top-down when `topDown`. Pixel bytes vary
// with their position so that a misplaced row or byte shows.
QByteArray plainBmp(int width, int height, int bits, int colors, int gap, bool topDown)
{
    const int table = bits <= 8 ? (colors ? colors : 1 << bits) : 0;
    const int stride = (width * bits + 31) / 32 * 4;
    const int offset = 54 + 4 * table + gap;
    QByteArray b(offset + stride * height, '\0');
    const auto put = [&](int at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(2, static_cast<std::uint32_t>(b.size()), 4);
    put(10, static_cast<std::uint32_t>(offset), 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(topDown ? -height : height), 4);
    put(26, 1, 2);
    put(28, static_cast<std::uint32_t>(bits), 2);
    put(38, 7874, 4); // 200 dpi
    put(42, 7874, 4);
    put(46, static_cast<std::uint32_t>(colors), 4);
    for (int i = 0; i < table; ++i)
        put(54 + 4 * i, static_cast<std::uint32_t>(i * 0x010305 + 0x402010), 4);
    for (int i = offset; i < b.size(); ++i)
        b[i] = static_cast<char>(i * 7 % 251);
    return b;
}

} // namespace

// Plain BMPs are read straight into the record, bypassing the decoders: every shape of them
// must give the picture the general decoder gives (rows, colour table, resolution), and a file
// whose rows end early must still be refused.
TEST(OpenDib, PlainBmpReadsAsTheDecoderDoes)
{
    struct Case
    {
        const char *name;
        QByteArray file;
    };
    const Case cases[] = {
        { "24 bits", plainBmp(7, 5, 24, 0, 0, false) },
        { "24 bits top-down", plainBmp(7, 5, 24, 0, 0, true) },
        { "8 bits, three colours, a gap", plainBmp(9, 4, 8, 3, 6, false) },
        { "4 bits top-down", plainBmp(11, 3, 4, 0, 0, true) },
        { "4 bits, five colours", plainBmp(11, 3, 4, 5, 0, false) },
        { "1 bit, one colour", plainBmp(9, 2, 1, 1, 0, false) },
        { "1 bit", plainBmp(33, 6, 1, 0, 0, false) },
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Dib ours = openBytes(dir, "plain.bmp", c.file);
        const DecodeResult decoded = decodeWithFreeImage(c.file, QStringLiteral("bmp"));
        ASSERT_EQ(decoded.status, DecodeStatus::Decoded);
        const Dib theirs(decoded.rec);
        ASSERT_FALSE(ours.isNull());
        ASSERT_EQ(ours.width(), theirs.width());
        ASSERT_EQ(ours.height(), theirs.height());
        ASSERT_EQ(ours.bitCount(), theirs.bitCount());
        EXPECT_EQ(declaredResolution(ours.rec()), 200.0);
        EXPECT_EQ(
            std::memcmp(ours.rec().BitmapInfo, theirs.rec().BitmapInfo, sizeof(TBitmapInfo)), 0);
        const std::size_t bytes = static_cast<std::size_t>(ours.rec().BytesPerLine) * ours.height();
        EXPECT_EQ(std::memcmp(ours.rec().Bits, theirs.rec().Bits, bytes), 0);

        EXPECT_TRUE(openBytes(dir, "cut.bmp", c.file.left(c.file.size() - 1)).isNull());
    }
}

namespace {

// An EXIF block (APP1 segment) whose first directory holds XResolution and YResolution as
// num/den and, when `unit` is not 0, ResolutionUnit. `offset` replaces the offset of the
// XResolution value when not 0, and `entries` the directory's count.
QByteArray exifSegment(bool little, std::uint32_t num, std::uint32_t den, int unit,
    std::uint32_t offset = 0, int entries = 0)
{
    QByteArray t;
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            t.append(static_cast<char>(little ? v >> (8 * i) : v >> (8 * (bytes - 1 - i))));
    };
    t.append(little ? "II" : "MM");
    put(42, 2);
    put(8, 4);
    const int count = unit ? 3 : 2;
    put(static_cast<std::uint32_t>(entries ? entries : count), 2);
    const std::uint32_t values = 8 + 2 + 12 * count + 4;
    put(0x011A, 2), put(5, 2), put(1, 4), put(offset ? offset : values, 4);
    put(0x011B, 2), put(5, 2), put(1, 4), put(values + 8, 4);
    if (unit)
        put(0x0128, 2), put(3, 2), put(1, 4), put(static_cast<std::uint32_t>(unit), 2), put(0, 2);
    put(0, 4);
    put(num, 4), put(den, 4), put(num, 4), put(den, 4);
    const QByteArray body = QByteArray("Exif\0\0", 6) + t;
    QByteArray segment("\xFF\xE1");
    segment.append(static_cast<char>((body.size() + 2) >> 8));
    segment.append(static_cast<char>(body.size() + 2));
    return segment + body;
}

} // namespace

// A JPEG's resolution comes from its JFIF header when that names a unit, and otherwise from
// its EXIF block, read in either byte order; EXIF values that point outside the block, or a
// directory longer than the block, declare nothing and leave the picture loading.
TEST(OpenDib, JpegResolutionFromJfifOrExif)
{
    QImage image(16, 8, QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setDotsPerMeterX(7874); // 200 dpi in the JFIF header
    image.setDotsPerMeterY(7874);
    QByteArray jfif;
    {
        QBuffer buffer(&jfif);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, "JPEG"));
    }
    ASSERT_EQ(jfif.mid(6, 5), QByteArray("JFIF\0", 5));
    QByteArray aspectOnly = jfif;
    aspectOnly[13] = 0;
    const QByteArray noJfif = jfif.left(2) + jfif.mid(4 + 0x10);
    const auto with = [](const QByteArray &jpeg, const QByteArray &segment) {
        return jpeg.left(2) + segment + jpeg.mid(2);
    };
    struct Case
    {
        const char *name;
        QByteArray file;
        std::optional<double> dpi;
    };
    const Case cases[] = {
        { "JFIF in inches", with(jfif, exifSegment(true, 300, 1, 2)), 200.0 },
        { "JFIF aspect only, EXIF little-endian", with(aspectOnly, exifSegment(true, 300, 1, 0)),
            300.0 },
        { "no JFIF, EXIF big-endian in centimetres",
            with(noJfif, exifSegment(false, 11811, 100, 3)), 300.0 },
        { "EXIF without a unit of length", with(aspectOnly, exifSegment(true, 300, 1, 1)), {} },
        { "EXIF value outside the block",
            with(aspectOnly, exifSegment(true, 300, 1, 2, 0xFFFFFFF0)), {} },
        { "EXIF directory longer than the block",
            with(aspectOnly, exifSegment(false, 300, 1, 2, 0, 0xFFFF)), 300.0 },
        { "EXIF with a zero denominator", with(noJfif, exifSegment(true, 300, 0, 2)), {} },
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Dib picture = openBytes(dir, "exif.jpg", c.file);
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(declaredResolution(picture.rec()), c.dpi);
    }
}
