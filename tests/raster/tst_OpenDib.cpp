#include "raster/DibImage.h"
#include "raster/DibRec.h"
#include "support/TestSupport.h"

#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>
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

} // namespace
