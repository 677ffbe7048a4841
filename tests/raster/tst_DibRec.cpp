#include "raster/DibImage.h"
#include "raster/DibLimits.h"
#include "raster/DibRec.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

struct PixelCase
{
    int bitCount;
    int width;
    std::uint32_t maxValue;
};

// Rows have odd widths so that padding bytes exist; a write must touch only its own bits.
class DibPixels : public ::testing::TestWithParam<PixelCase>
{
};

TEST_P(DibPixels, NewPictureIsZeroFilledWithAlignedStride)
{
    const PixelCase c = GetParam();
    Dib dib = Dib::create(c.width, 3, c.bitCount);
    ASSERT_FALSE(dib.isNull());
    const TDibRec &r = dib.rec();
    EXPECT_EQ(r.BytesPerLine % 4, 0);
    EXPECT_GE(r.BytesPerLine * 8, c.width * c.bitCount);
    EXPECT_LT((r.BytesPerLine - 4) * 8, c.width * c.bitCount);
    EXPECT_EQ(r.BitmapInfo->bmiHeader.biSize, 40u);
    EXPECT_EQ(r.BitmapInfo->bmiHeader.biPlanes, 1);
    EXPECT_EQ(r.BitmapInfo->bmiHeader.biHeight, 3);
    EXPECT_EQ(r.HasPalette, c.bitCount <= 8 ? 1 : 0);
    for (int i = 0; i < r.BytesPerLine * 3; ++i)
        ASSERT_EQ(r.Bits[i], 0) << "byte " << i;
}

TEST_P(DibPixels, SetThenGetTouchesOnlyThatPixel)
{
    const PixelCase c = GetParam();
    Dib dib = Dib::create(c.width, 3, c.bitCount);
    ASSERT_FALSE(dib.isNull());
    const TDibRec &r = dib.rec();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < c.width; ++x) {
            setpixel(r, x, y, c.maxValue);
            for (int yy = 0; yy < 3; ++yy)
                for (int xx = 0; xx < c.width; ++xx) {
                    const bool set = yy < y || (yy == y && xx <= x);
                    ASSERT_EQ(getpixel(r, xx, yy), set ? c.maxValue : 0u)
                        << "after writing " << x << "," << y << " read " << xx << "," << yy;
                }
        }
    // Clearing again must clear only that pixel, too.
    setpixel(r, 1, 1, 0);
    EXPECT_EQ(getpixel(r, 1, 1), 0u);
    EXPECT_EQ(getpixel(r, 0, 1), c.maxValue);
    EXPECT_EQ(getpixel(r, 2, 1), c.maxValue);
}

INSTANTIATE_TEST_SUITE_P(BitCounts, DibPixels,
    ::testing::Values(PixelCase { 1, 13, 1 }, PixelCase { 4, 7, 15 }, PixelCase { 8, 5, 255 },
        PixelCase { 24, 5, 0xFFFFFF }),
    [](const auto &info) { return "Bits" + std::to_string(info.param.bitCount); });

TEST(DibRec, PixelLayoutMatchesBitmapConvention)
{
    // The leftmost pixel sits in the high bits of a byte; 24-bit pixels are stored B, G, R.
    Dib one = Dib::create(8, 1, 1);
    setpixel(one.rec(), 0, 0, 1);
    EXPECT_EQ(one.rec().Bits[0], 0x80);
    Dib four = Dib::create(2, 1, 4);
    setpixel(four.rec(), 0, 0, 0xA);
    setpixel(four.rec(), 1, 0, 0x5);
    EXPECT_EQ(four.rec().Bits[0], 0xA5);
    Dib rgb = Dib::create(1, 1, 24);
    setpixel(rgb.rec(), 0, 0, 0x123456);
    EXPECT_EQ(rgb.rec().Bits[0], 0x56);
    EXPECT_EQ(rgb.rec().Bits[1], 0x34);
    EXPECT_EQ(rgb.rec().Bits[2], 0x12);
}

TEST(DibRec, ColourTableCopiesOnlyWhatFits)
{
    TBitmapInfo colors {};
    for (int i = 0; i < 256; ++i)
        colors.bmiColors[i] = { static_cast<std::uint8_t>(i), 1, 2, 0 };
    Dib eight = Dib::create(2, 2, 8, &colors, 3);
    EXPECT_EQ(eight.rec().BitmapInfo->bmiColors[2].rgbBlue, 2);
    EXPECT_EQ(eight.rec().BitmapInfo->bmiColors[3].rgbBlue, 0);
    EXPECT_EQ(eight.rec().BitmapInfo->bmiColors[3].rgbGreen, 0);
    // A 1-bit picture has two colours, whatever count the caller passes.
    Dib one = Dib::create(2, 2, 1, &colors, 256);
    EXPECT_EQ(one.rec().BitmapInfo->bmiColors[1].rgbBlue, 1);
    EXPECT_EQ(one.rec().BitmapInfo->bmiColors[2].rgbBlue, 0);
    // A negative count (from a damaged project file) copies nothing.
    Dib none = Dib::create(2, 2, 8, &colors, -5);
    EXPECT_FALSE(none.isNull());
    EXPECT_EQ(none.rec().BitmapInfo->bmiColors[1].rgbBlue, 0);
}

TEST(DibRec, RefusesImpossibleSizes)
{
    EXPECT_TRUE(Dib::create(0, 10, 24).isNull());
    EXPECT_TRUE(Dib::create(10, -1, 24).isNull());
    EXPECT_TRUE(Dib::create(10, 10, 7).isNull());
    EXPECT_TRUE(Dib::create(40000, 40000, 8).isNull()); // 1.6 gigapixels
    EXPECT_TRUE(Dib::create(2147483647, 1, 1).isNull()); // row wider than any offset can hold
    EXPECT_TRUE(Dib::create(30000, 30000, 24).isNull()); // 2.7 GB of pixels
    TDibRec rec;
    rec.Bits = reinterpret_cast<std::uint8_t *>(&rec); // stale content must be cleared
    newdib(rec, -3, 3, 24, nullptr, 0);
    EXPECT_EQ(rec.Bits, nullptr);
    EXPECT_EQ(rec.BitmapInfo, nullptr);
}

TEST(DibOwner, MoveLeavesExactlyOneOwner)
{
    Dib a = Dib::create(4, 4, 24);
    const std::uint8_t *bits = a.rec().Bits;
    Dib b = std::move(a);
    EXPECT_TRUE(a.isNull());
    EXPECT_EQ(b.rec().Bits, bits);
    Dib c = Dib::create(2, 2, 8);
    c = std::move(b); // releases c's own picture, takes b's
    EXPECT_EQ(c.rec().Bits, bits);
    EXPECT_TRUE(b.isNull());
    c = std::move(c); // self-move must not release
    EXPECT_EQ(c.rec().Bits, bits);
    c.reset();
    EXPECT_TRUE(c.isNull());
    c.reset(); // releasing an empty owner is harmless
    TDibRec raw = Dib::create(3, 3, 1).release();
    deldib(raw);
    deldib(TDibRec {});
}

TEST(DibOwner, AdoptedRowsGoBackToTheirOwnerExactlyOnce)
{
    // Decoded pictures keep the decoder's rows; deldib must hand them back, not free() them,
    // and must do so through any copy of the record.
    static int released = 0;
    released = 0;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(dibStride(5, 24)) * 3);
    TDibRec rec;
    ASSERT_TRUE(adoptPixels(
        rec, 5, 3, 24, rows.data(), [](void *) { ++released; }, nullptr));
    EXPECT_EQ(rec.BytesPerLine, 16);
    setpixel(rec, 4, 2, 0xABCDEF);
    EXPECT_EQ(getpixel(rec, 4, 2), 0xABCDEFu);
    const TDibRec copy = rec; // records are copied by value
    deldib(copy);
    EXPECT_EQ(released, 1);

    // A size beyond the limits takes nothing over: the caller still owns the rows.
    EXPECT_FALSE(adoptPixels(
        rec, 0, 3, 24, rows.data(), [](void *) { ++released; }, nullptr));
    EXPECT_EQ(rec.Bits, nullptr);
    deldib(rec);
    EXPECT_EQ(released, 1);
}

TEST(DibOwner, LargePicturesComeZeroedAfterOthersWereReleased)
{
    // Scanned pages get their rows from a block of their own; a block handed out again after a
    // release must still start all zero, and the whole of every row must be usable.
    for (int round = 0; round < 3; ++round) {
        Dib big = Dib::create(3000 + round, 2000, 24);
        ASSERT_FALSE(big.isNull());
        const TDibRec &r = big.rec();
        const std::size_t size = static_cast<std::size_t>(r.BytesPerLine) * 2000;
        for (std::size_t i = 0; i < size; i += 4093)
            ASSERT_EQ(r.Bits[i], 0) << round << " at " << i;
        EXPECT_EQ(r.Bits[size - 1], 0);
        std::fill(r.Bits, r.Bits + size, std::uint8_t(0xA5));
        // Moving the owner and copying the record must release the block exactly once.
        Dib moved = std::move(big);
        deldib(moved.release());
    }
}

TEST(DibImage, ShowsPictureTopDownThroughColourTable)
{
    TBitmapInfo colors {};
    colors.bmiColors[0] = { 0, 0, 255, 0 }; // red
    colors.bmiColors[1] = { 255, 0, 0, 0 }; // blue
    Dib dib = Dib::create(3, 2, 1, &colors, 2);
    setpixel(dib.rec(), 2, 0, 1); // lowest stored row = bottom of the picture
    const QImage image = dibToImage(dib.rec());
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(2, 1), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(2, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));

    Dib rgb = Dib::create(2, 2, 24);
    setpixel(rgb.rec(), 1, 1, 0x102030);
    EXPECT_EQ(dibToImage(rgb.rec()).pixel(1, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_TRUE(dibToImage(TDibRec {}).isNull());
}

TEST(DibImage, RoundTripKeepsPixelsDepthAndResolution)
{
    QImage mono(9, 2, QImage::Format_Mono);
    mono.setColorTable({ qRgb(0, 0, 0), qRgb(255, 255, 255) });
    mono.fill(0);
    mono.setPixel(8, 0, 1);
    mono.setDotsPerMeterX(11811);
    mono.setDotsPerMeterY(5906);
    TDibRec rec = imageToDib(mono);
    ASSERT_NE(rec.Bits, nullptr);
    EXPECT_EQ(rec.BitmapInfo->bmiHeader.biBitCount, 1);
    EXPECT_EQ(getpixel(rec, 8, 1), 1u);
    EXPECT_EQ(getpixel(rec, 8, 0), 0u);
    EXPECT_EQ(rec.BitmapInfo->bmiHeader.biXPelsPerMeter, 11811);
    EXPECT_EQ(rec.BitmapInfo->bmiHeader.biYPelsPerMeter, 5906);
    const QImage back = dibToImage(rec);
    EXPECT_EQ(back.pixel(8, 0), qRgb(255, 255, 255));
    EXPECT_EQ(back.dotsPerMeterX(), 11811);
    deldib(rec);

    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
    argb.setPixel(1, 0, qRgba(255, 0, 0, 255));
    Dib over(imageToDib(argb));
    ASSERT_EQ(over.bitCount(), 24);
    EXPECT_EQ(getpixel(over.rec(), 0, 0), 0xFFFFFFu); // transparent shows white
    EXPECT_EQ(getpixel(over.rec(), 1, 0), 0xFF0000u);
}

} // namespace
