#include "raster/DibImage.h"
#include "raster/DibRec.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using linovex::test::dataPath;
using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

// A hostile file must give a null picture, and quickly: the user is waiting for a message.
constexpr qint64 kPatienceMs = 1000;

class HostileFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }

    static QByteArray sample(const char *name)
    {
        return readFile(dataPath(QStringLiteral("raster/") + QLatin1String(name)));
    }

    // Opens the file through OpenDib itself and checks that it gives no picture in time.
    static void expectRefused(const QString &path, const std::string &what)
    {
        QElapsedTimer timer;
        timer.start();
        TDibRec rec;
        rec.Bits = reinterpret_cast<std::uint8_t *>(&rec); // stale value must be cleared
        OpenDib(rec, QFile::encodeName(path).constData());
        const qint64 ms = timer.elapsed();
        EXPECT_EQ(rec.Bits, nullptr) << what;
        EXPECT_EQ(rec.BitmapInfo, nullptr) << what;
        EXPECT_LT(ms, kPatienceMs) << what;
        deldib(rec);
    }

    QTemporaryDir m_dir;
};

void putLe16(QByteArray &b, int pos, quint16 v)
{
    b[pos] = char(v & 0xFF);
    b[pos + 1] = char(v >> 8);
}

void putLe32(QByteArray &b, int pos, quint32 v)
{
    putLe16(b, pos, quint16(v & 0xFFFF));
    putLe16(b, pos + 2, quint16(v >> 16));
}

void putBe16(QByteArray &b, int pos, quint16 v)
{
    b[pos] = char(v >> 8);
    b[pos + 1] = char(v & 0xFF);
}

void putBe32(QByteArray &b, int pos, quint32 v)
{
    putBe16(b, pos, quint16(v >> 16));
    putBe16(b, pos + 2, quint16(v & 0xFFFF));
}

// Sets width and height in the first directory of a little-endian TIFF file, as 32-bit values.
void putTiffSize(QByteArray &b, quint32 width, quint32 height)
{
    const auto le16 = [&b](int pos) { return quint16(quint8(b[pos]) | (quint8(b[pos + 1]) << 8)); };
    const int ifd = int(quint8(b[4]) | (quint8(b[5]) << 8) | (quint8(b[6]) << 16));
    for (int i = 0; i < le16(ifd); ++i) {
        const int entry = ifd + 2 + 12 * i;
        if (le16(entry) == 256 || le16(entry) == 257) {
            putLe16(b, entry + 2, 4);
            putLe32(b, entry + 8, le16(entry) == 256 ? width : height);
        }
    }
}

quint32 crc32(const char *data, int size)
{
    quint32 crc = 0xFFFFFFFFu;
    for (int i = 0; i < size; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST_F(HostileFiles, MissingEmptyAndNonPictureFilesGiveNoPicture)
{
    expectRefused(m_dir.filePath(QStringLiteral("missing.bmp")), "missing file");
    expectRefused(m_dir.path(), "a folder");
    expectRefused(put(QStringLiteral("empty.png"), {}), "empty file");
    expectRefused(put(QStringLiteral("text.bmp"), "This is not a picture.\n"), "text named .bmp");
    expectRefused(put(QStringLiteral("text.tga"), QByteArray(300, 'x')), "text named .tga");
    QByteArray noise(4096, 0);
    quint32 seed = 12345;
    for (char &c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 24);
    }
    expectRefused(put(QStringLiteral("noise.jpg"), noise), "random bytes named .jpg");
    // Only a signature, nothing behind it.
    expectRefused(
        put(QStringLiteral("sig.png"), QByteArray("\x89PNG\r\n\x1a\n", 8)), "PNG signature only");
    expectRefused(put(QStringLiteral("sig.bmp"), QByteArray("BM")), "BMP signature only");
    // A named pipe with no writer would block a plain open for ever.
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    expectRefused(fifo, "named pipe");
    TDibRec rec;
    OpenDib(rec, nullptr);
    EXPECT_EQ(rec.Bits, nullptr);
    OpenDib(rec, "");
    EXPECT_EQ(rec.Bits, nullptr);
}

// Every sample cut short, at several places, must be refused rather than shown half-filled.
TEST_F(HostileFiles, TruncatedSamplesGiveNoPicture)
{
    const char *samples[] = { "rgb24.bmp", "pal8.bmp", "pal4.bmp", "rle8.bmp", "rle4.bmp", "v5.bmp",
        "mono.bmp", "gif.gif", "planar.iff", "deep.lbm", "jpg.jpg", "pal8.pcx", "rgb24.pcx",
        "rgb.tga", "cmap-rle.tga", "rgb.tif", "pal.tif", "rgb.png", "pal.png", "rgb48.png",
        "jp2.jp2" };
    for (const char *name : samples) {
        const QByteArray whole = sample(name);
        ASSERT_FALSE(whole.isEmpty()) << name;
        for (int eighths : { 2, 4, 6, 7 }) {
            const qsizetype cut = whole.size() * eighths / 8;
            const QString path = put(QStringLiteral("cut-") + QLatin1String(name), whole.left(cut));
            expectRefused(path,
                std::string(name) + " cut to " + std::to_string(cut) + " of "
                    + std::to_string(whole.size()));
        }
    }
}

// Larger pictures, where a cut falls in the middle of the pixel data rather than the header.
TEST_F(HostileFiles, PicturesCutInThePixelDataGiveNoPicture)
{
    QImage picture(211, 157, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x, y, (x * y) & 255));
    for (const char *format : { "bmp", "png", "jpg", "tif" }) {
        const QString full = m_dir.filePath(QStringLiteral("full.") + QLatin1String(format));
        ASSERT_TRUE(picture.save(full, format));
        Dib whole = Dib::open(full);
        ASSERT_FALSE(whole.isNull()) << format;
        const QByteArray bytes = readFile(full);
        for (int percent : { 50, 90, 99 }) {
            const QString path = put(QStringLiteral("cut.") + QLatin1String(format),
                bytes.left(bytes.size() * percent / 100));
            expectRefused(path, std::string(format) + " cut to " + std::to_string(percent) + "%");
        }
    }
}

// A JPEG file whose data is complete but whose end marker is missing shows like the whole file;
// one that lacks scan data as well stays refused, even where only the marker is cut away behind
// it (a progressive file cut between two scans).
TEST_F(HostileFiles, JpegWithoutEndMarkerShowsOnlyWhenNothingElseIsMissing)
{
    QImage picture(211, 157, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x, y, (x * y) & 255));
    for (const bool progressive : { false, true }) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(progressive);
        ASSERT_TRUE(writer.write(picture));
        const QByteArray whole = buffer.data();
        ASSERT_TRUE(whole.endsWith("\xff\xd9"));
        const QString wholePath = put(QStringLiteral("whole.jpg"), whole);
        const Dib expected = Dib::open(wholePath);
        ASSERT_FALSE(expected.isNull());
        const std::string kind = progressive ? "progressive" : "baseline";

        const Dib shown = Dib::open(put(QStringLiteral("no-eoi.jpg"), whole.chopped(2)));
        ASSERT_FALSE(shown.isNull()) << kind;
        EXPECT_EQ(dibToImage(shown.rec()), dibToImage(expected.rec())) << kind;

        expectRefused(put(QStringLiteral("last-byte.jpg"), whole.chopped(3)),
            kind + ": the last byte of scan data cut away with the marker");
        const qsizetype lastScan = whole.lastIndexOf("\xff\xda");
        ASSERT_GT(lastScan, 0);
        expectRefused(put(QStringLiteral("scans.jpg"), whole.left(lastScan)),
            kind + ": cut before the last scan");
    }
}

struct Forgery
{
    const char *sample;
    const char *name;
    std::function<void(QByteArray &)> patch;
};

// Headers that ask for billions of pixels, or for more memory than a picture should take.
TEST_F(HostileFiles, ForgedHugeSizesGiveNoPicture)
{
    const Forgery forgeries[] = {
        { "rgb24.bmp", "huge.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 100000);
                putLe32(b, 22, 100000);
            } },
        { "rgb24.bmp", "wide.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 0x7FFFFFFF);
                putLe32(b, 22, 1);
            } },
        { "rgb24.bmp", "memory.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 30000);
                putLe32(b, 22, 30000);
            } },
        { "v5.bmp", "huge-v5.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 100000);
                putLe32(b, 22, 100000);
            } },
        { "rgb.png", "huge.png",
            [](QByteArray &b) {
                putBe32(b, 16, 100000);
                putBe32(b, 20, 100000);
                putBe32(b, 29, crc32(b.constData() + 12, 17));
            } },
        { "gif.gif", "huge.gif",
            [](QByteArray &b) {
                putLe16(b, 6, 65535);
                putLe16(b, 8, 65535);
                const int descriptor = b.indexOf(',');
                putLe16(b, descriptor + 5, 65535);
                putLe16(b, descriptor + 7, 65535);
            } },
        { "gif.gif", "huge-frame.gif",
            [](QByteArray &b) {
                const int descriptor = b.indexOf(',');
                putLe16(b, descriptor + 5, 65535);
                putLe16(b, descriptor + 7, 65535);
            } },
        { "planar.iff", "huge.iff",
            [](QByteArray &b) {
                const int bmhd = b.indexOf("BMHD");
                putBe16(b, bmhd + 8, 65535);
                putBe16(b, bmhd + 10, 65535);
            } },
        { "pal8.pcx", "huge.pcx",
            [](QByteArray &b) {
                putLe16(b, 8, 65535);
                putLe16(b, 10, 65535);
            } },
        { "rgb.tga", "huge.tga",
            [](QByteArray &b) {
                putLe16(b, 12, 65535);
                putLe16(b, 14, 65535);
            } },
        { "jpg.jpg", "huge.jpg",
            [](QByteArray &b) {
                const int sof = b.indexOf("\xFF\xC0");
                putBe16(b, sof + 5, 65500);
                putBe16(b, sof + 7, 65500);
            } },
        { "jp2.jp2", "huge.jp2",
            [](QByteArray &b) {
                const int ihdr = b.indexOf("ihdr");
                putBe32(b, ihdr + 4, 100000);
                putBe32(b, ihdr + 8, 100000);
                const int siz = b.indexOf("\xFF\x51");
                putBe32(b, siz + 6, 100000);
                putBe32(b, siz + 10, 100000);
            } },
        // Sizes within the limits, but far more pixels than the few bytes behind the header can
        // hold: refused at once rather than after filling hundreds of megabytes.
        { "rgb24.bmp", "big.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 20000);
                putLe32(b, 22, 20000);
            } },
        { "rgb.png", "big.png",
            [](QByteArray &b) {
                putBe32(b, 16, 20000);
                putBe32(b, 20, 20000);
                putBe32(b, 29, crc32(b.constData() + 12, 17));
            } },
        { "gif.gif", "big.gif",
            [](QByteArray &b) {
                putLe16(b, 6, 20000);
                putLe16(b, 8, 20000);
                const int descriptor = b.indexOf(',');
                putLe16(b, descriptor + 5, 20000);
                putLe16(b, descriptor + 7, 20000);
            } },
        { "jpg.jpg", "big.jpg",
            [](QByteArray &b) {
                const int sof = b.indexOf("\xFF\xC0");
                putBe16(b, sof + 5, 20000);
                putBe16(b, sof + 7, 20000);
            } },
        { "jpg.jpg", "big-arithmetic.jpg",
            [](QByteArray &b) {
                const int sof = b.indexOf("\xFF\xC0");
                b[sof + 1] = char(0xC9); // arithmetic coding
                putBe16(b, sof + 5, 20000);
                putBe16(b, sof + 7, 20000);
            } },
        { "pal8.pcx", "big.pcx",
            [](QByteArray &b) {
                putLe16(b, 8, 19999);
                putLe16(b, 10, 19999);
            } },
        { "rgb.tga", "big.tga",
            [](QByteArray &b) {
                putLe16(b, 12, 20000);
                putLe16(b, 14, 20000);
            } },
        // Run-length pictures may end early with an end-of-picture code, so their rows need
        // not all be in the file; still, a few bytes cannot stand for hundreds of millions of
        // pixels.
        { "rle8.bmp", "big-rle8.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 20000);
                putLe32(b, 22, 20000);
            } },
        { "rle4.bmp", "tall-rle4.bmp",
            [](QByteArray &b) {
                putLe32(b, 18, 5);
                putLe32(b, 22, 134152195);
            } },
        // Formats without a check of their own still cannot announce hundreds of millions of
        // pixels in a few hundred bytes.
        { "rgb.tif", "big.tif", [](QByteArray &b) { putTiffSize(b, 20000, 20000); } },
        { "pal.tif", "big-pal.tif", [](QByteArray &b) { putTiffSize(b, 20000, 20000); } },
        // Fax-coded pages pass with far more pixels per byte, but not with more rows than the
        // file has bits.
        { "blank-a4-1200dpi-g4.tif", "big-g4.tif",
            [](QByteArray &b) { putTiffSize(b, 26000, 27000); } },
        { "blank-a4-1200dpi-g4.tif", "tall-g4.tif",
            [](QByteArray &b) { putTiffSize(b, 100, 5000000); } },
        // A screen without height and a frame placed far below it: a decoder that grows its
        // canvas to hold the frame fills 2000 x 30000 pixels for a file of a few hundred bytes.
        { "gif.gif", "frame-far-below.gif",
            [](QByteArray &b) {
                putLe16(b, 6, 2000);
                putLe16(b, 8, 0);
                const int descriptor = b.indexOf(',');
                putLe16(b, descriptor + 3, 30000);
            } },
        // A line length far shorter than the width: the decoder's line buffer is sized by the
        // one and filled for the other.
        { "rgb24.pcx", "short-line.pcx", [](QByteArray &b) { putLe16(b, 66, 2); } },
        { "pal8.pcx", "short-line8.pcx", [](QByteArray &b) { putLe16(b, 66, 1); } },
        // A text chunk behind the pixels that claims two gigabytes in a file of a few hundred
        // bytes: libpng would allocate and clear all of it.
        { "rgb.png", "long-chunk.png",
            [](QByteArray &b) {
                QByteArray chunk("\x76\x00\x00\x00tEXtComment", 15);
                chunk.append('\0');
                b.insert(b.indexOf("IEND") - 4, chunk);
            } },
    };
    for (const Forgery &f : forgeries) {
        QByteArray bytes = sample(f.sample);
        ASSERT_FALSE(bytes.isEmpty()) << f.sample;
        f.patch(bytes);
        expectRefused(put(QLatin1String(f.name), bytes), f.name);
    }
}

} // namespace
