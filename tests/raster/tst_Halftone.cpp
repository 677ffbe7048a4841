#include "raster/DibImage.h"
#include "raster/DibRec.h"
#include "raster/Halftone.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

Dib flat(int width, int height, std::uint32_t rgb)
{
    Dib dib = Dib::create(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            setpixel(dib.rec(), x, y, rgb);
    return dib;
}

struct Mean
{
    double r = 0, g = 0, b = 0;
};

Mean meanColour(const TDibRec &rec)
{
    const QImage image = dibToImage(rec);
    Mean m;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            m.r += qRed(image.pixel(x, y));
            m.g += qGreen(image.pixel(x, y));
            m.b += qBlue(image.pixel(x, y));
        }
    const double n = double(image.width()) * image.height();
    return { m.r / n, m.g / n, m.b / n };
}

TEST(HalftonePalette, NearestEntryIsReallyNearest)
{
    const TRGBQuad *p = halftonePalette();
    // Every palette colour finds itself, and arbitrary colours find an entry no farther away
    // than any other.
    for (int i = 0; i < 256; ++i) {
        const int j = nearestHalftoneIndex(p[i].rgbRed, p[i].rgbGreen, p[i].rgbBlue);
        EXPECT_EQ(std::memcmp(&p[i], &p[j], sizeof(TRGBQuad)), 0) << i;
    }
    for (int r = 0; r < 256; r += 17)
        for (int g = 3; g < 256; g += 23)
            for (int b = 7; b < 256; b += 29) {
                const auto d = [&](int i) {
                    const int dr = r - p[i].rgbRed, dg = g - p[i].rgbGreen, db = b - p[i].rgbBlue;
                    return dr * dr + dg * dg + db * db;
                };
                const int chosen = d(nearestHalftoneIndex(r, g, b));
                for (int i = 0; i < 256; ++i)
                    ASSERT_LE(chosen, d(i)) << r << "," << g << "," << b << " vs entry " << i;
            }
}

TEST(DIBHalftoneDIB, Gives8BitsOnTheFixedTable)
{
    Dib source = flat(13, 7, 0x336699);
    TDibRec out;
    DIBHalftoneDIB(out, source.rec());
    Dib result(out);
    ASSERT_FALSE(result.isNull());
    EXPECT_EQ(result.width(), 13);
    EXPECT_EQ(result.height(), 7);
    EXPECT_EQ(result.bitCount(), 8);
    EXPECT_EQ(result.rec().HasPalette, 1);
    EXPECT_EQ(result.rec().BytesPerLine, 16);
    EXPECT_EQ(
        std::memcmp(result.rec().BitmapInfo->bmiColors, halftonePalette(), 256 * sizeof(TRGBQuad)),
        0);
    // A colour that is on the table comes out exactly, with no dithering noise.
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(dibToImage(result.rec()).pixel(x, y), qRgb(0x33, 0x66, 0x99));
}

TEST(DIBHalftoneDIB, ErrorDiffusionKeepsTheMeanColour)
{
    for (std::uint32_t colour :
        { 0x649664u, 0x0A0B0Cu, 0xFAF0E6u, 0x808080u, 0x7F8285u, 0x1E90FFu }) {
        Dib source = flat(64, 48, colour);
        TDibRec out;
        DIBHalftoneDIB(out, source.rec());
        Dib result(out);
        ASSERT_FALSE(result.isNull());
        const Mean m = meanColour(result.rec());
        EXPECT_NEAR(m.r, (colour >> 16) & 0xFF, 2.0) << std::hex << colour;
        EXPECT_NEAR(m.g, (colour >> 8) & 0xFF, 2.0) << std::hex << colour;
        EXPECT_NEAR(m.b, colour & 0xFF, 2.0) << std::hex << colour;
    }
    // A horizontal ramp keeps its mean in every column band, so the error does not wander.
    Dib ramp = Dib::create(256, 32, 24);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 256; ++x)
            setpixel(ramp.rec(), x, y, 0x010101u * static_cast<std::uint32_t>(x));
    TDibRec out;
    DIBHalftoneDIB(out, ramp.rec());
    Dib result(out);
    const QImage image = dibToImage(result.rec());
    for (int band = 0; band < 256; band += 32) {
        double sum = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = band; x < band + 32; ++x)
                sum += qGreen(image.pixel(x, y));
        EXPECT_NEAR(sum / (32 * 32), band + 15.5, 3.0) << "band " << band;
    }
}

TEST(DIBHalftoneDIBXY, ResamplesBeforeHalftoning)
{
    // A fine black and white checker shrunk to half averages to grey, not to black or white.
    Dib checker = Dib::create(40, 30, 24);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            setpixel(checker.rec(), x, y, ((x + y) & 1) ? 0xFFFFFFu : 0u);
    TDibRec out;
    DIBHalftoneDIBXY(out, checker.rec(), 20, 15);
    Dib half(out);
    ASSERT_FALSE(half.isNull());
    EXPECT_EQ(half.width(), 20);
    EXPECT_EQ(half.height(), 15);
    EXPECT_EQ(half.bitCount(), 8);
    EXPECT_NEAR(meanColour(half.rec()).g, 127.5, 3.0);

    // Enlarging repeats pixels: the top-left quarter of a 2 x 2 picture stays its colour.
    Dib tiny = Dib::create(2, 2, 24);
    setpixel(tiny.rec(), 0, 1, 0xFF0000u); // top-left
    DIBHalftoneDIBXY(out, tiny.rec(), 10, 10);
    Dib big(out);
    const QImage image = dibToImage(big.rec());
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(5, 5), qRgb(0, 0, 0));
}

TEST(DIBHalftoneDIB, IndexedSourcesAndBadArgumentsAreHandled)
{
    TBitmapInfo colours {};
    colours.bmiColors[1] = { 0, 0, 255, 0 };
    Dib indexed = Dib::create(4, 4, 1, &colours, 2);
    setpixel(indexed.rec(), 0, 0, 1);
    TDibRec out;
    DIBHalftoneDIB(out, indexed.rec());
    Dib result(out);
    ASSERT_FALSE(result.isNull());
    EXPECT_EQ(dibToImage(result.rec()).pixel(0, 3), qRgb(255, 0, 0));

    DIBHalftoneDIB(out, TDibRec {});
    EXPECT_EQ(out.Bits, nullptr);
    Dib source = flat(4, 4, 0);
    DIBHalftoneDIBXY(out, source.rec(), 0, 5);
    EXPECT_EQ(out.Bits, nullptr);
    DIBHalftoneDIBXY(out, source.rec(), 100000, 100000);
    EXPECT_EQ(out.Bits, nullptr);
}

} // namespace
