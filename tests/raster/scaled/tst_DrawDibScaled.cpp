#include "raster/scaled/DibAccess.h"
#include "raster/scaled/DirectTransfer.h"
#include "raster/scaled/ScaledDraw.h"

#include <QImage>
#include <QPainter>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Grey = 0xFF808080;

// A picture whose pixel at (column, row counted from the top) has a colour that names it, so
// a wrong sample shows up as a wrong colour.
QRgb probe(int c, int r)
{
    return qRgb((c * 37 + 11) & 0xFF, (r * 53 + 7) & 0xFF, (c * 5 + r * 3) & 0xFF);
}

std::uint8_t *storedRow(const TDibRec &rec, int topRow)
{
    return rec.Bits + static_cast<std::ptrdiff_t>(DibHeight(rec) - 1 - topRow) * rec.BytesPerLine;
}

Dib picture24(int w, int h)
{
    Dib dib = Dib::create(w, h, 24);
    for (int r = 0; r < h; ++r) {
        std::uint8_t *row = storedRow(dib.rec(), r);
        for (int c = 0; c < w; ++c) {
            const QRgb v = probe(c, r);
            row[c * 3] = static_cast<std::uint8_t>(qBlue(v));
            row[c * 3 + 1] = static_cast<std::uint8_t>(qGreen(v));
            row[c * 3 + 2] = static_cast<std::uint8_t>(qRed(v));
        }
    }
    return dib;
}

// An indexed picture whose colour table entry i is tableColour(i) and whose pixel (c, r) holds
// index(c, r).
TBitmapInfo colourTable()
{
    TBitmapInfo info {};
    for (int i = 0; i < 256; ++i)
        info.bmiColors[i] = { static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
            static_cast<std::uint8_t>(i * 7), 0 };
    return info;
}

QRgb tableColour(int i)
{
    return qRgb((i * 7) & 0xFF, 255 - i, i);
}

Dib indexedPicture(int w, int h, int bits, const std::function<int(int, int)> &index)
{
    const TBitmapInfo table = colourTable();
    Dib dib = Dib::create(w, h, bits, &table, 1 << bits);
    for (int r = 0; r < h; ++r) {
        std::uint8_t *row = storedRow(dib.rec(), r);
        for (int c = 0; c < w; ++c) {
            const int v = index(c, r);
            if (bits == 8)
                row[c] = static_cast<std::uint8_t>(v);
            else if (bits == 4)
                row[c / 2] |= static_cast<std::uint8_t>((c & 1) ? v : v << 4);
            else
                row[c / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - c % 8));
        }
    }
    return dib;
}

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Grey);
    return image;
}

TScaledDrawResult draw(QImage &image, int X, int Y, int dw, int dh, const TDibRec &dib, int sx,
    int sy, int sw, int sh, const TScaledDevice &device = {}, bool halftone = false)
{
    QPainter p(&image);
    return DrawDibScaled(
        p, X, Y, dw, dh, dib, sx, sy, sw, sh, halftone, SRCCOPY, false, nullptr, device);
}

// The whole picture stretched to (X, Y, dw, dh), worked out pixel by pixel from the sampling
// rule column c(i) = SrcWidth * i div DestWidth, row s(k) = SrcHeight * k div DestHeight.
void expectStretched(const QImage &image, int X, int Y, int dw, int dh, int w, int h,
    const std::function<QRgb(int, int)> &source)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = x >= X && x < X + dw && y >= Y && y < Y + dh;
            const QRgb expected = inside
                ? source(static_cast<int>(static_cast<long long>(w) * (x - X) / dw),
                    static_cast<int>(static_cast<long long>(h) * (y - Y) / dh))
                : Grey;
            ASSERT_EQ(image.pixel(x, y), expected) << "at " << x << ", " << y;
        }
    }
}

} // namespace

TEST(DibAccessors, ColourCountFollowsTheBitCountIn32BitArithmetic)
{
    TBitmapInfo info {};
    TDibRec rec;
    rec.BitmapInfo = &info;
    const std::pair<int, std::uint32_t> cases[] = { { 0, 1 }, { 1, 2 }, { 4, 16 }, { 8, 256 },
        { 24, 16777216 }, { 32, 0 } };
    for (auto [bits, count] : cases) {
        info.bmiHeader.biBitCount = static_cast<std::uint16_t>(bits);
        EXPECT_EQ(DibColorCount(rec), count) << bits;
    }
    EXPECT_EQ(DibWidth(TDibRec {}), 0);
}

TEST(DrawDibScaled, TrueColourAtFullSizeIsAnExactCopy)
{
    Dib pic = picture24(7, 5);
    QImage image = canvas(20, 12);
    const TScaledDrawResult r = draw(image, 3, 2, 7, 5, pic.rec(), 0, 0, 7, 5);
    EXPECT_EQ(r.path, TScaledPath::Rows24);
    expectStretched(image, 3, 2, 7, 5, 7, 5, probe);
}

TEST(DrawDibScaled, EnlargedIndexedPictureCopiesEachSourceRowOnce)
{
    auto index = [](int c, int r) { return 10 * r + c + 1; };
    Dib pic = indexedPicture(3, 2, 8, index);
    QImage image = canvas(12, 9);
    const TScaledDrawResult r = draw(image, 1, 1, 9, 6, pic.rec(), 0, 0, 3, 2);
    EXPECT_EQ(r.path, TScaledPath::Rows8);
    expectStretched(
        image, 1, 1, 9, 6, 3, 2, [&](int c, int s) { return tableColour(index(c, s)); });
    EXPECT_EQ(r.rowsProduced, 6);
    EXPECT_EQ(r.rowCopies, 2);
}

TEST(DrawDibScaled, HalvingSamplesEveryOtherColumnAndRowFromTheTop)
{
    Dib pic = picture24(8, 8);
    QImage image = canvas(4, 4);
    draw(image, 0, 0, 4, 4, pic.rec(), 0, 0, 8, 8);
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(image.pixel(i, k), probe(2 * i, 2 * k)) << i << ", " << k;
}

TEST(DrawDibScaled, RowsOutsideThePictureAreBlackOrColourZero)
{
    Dib pic24 = picture24(4, 4);
    QImage image = canvas(4, 6);
    {
        QPainter p(&image);
        // Source top row -2: the first two destination rows lie above the picture.
        StretchRows24(p, 0, 0, 4, 6, pic24.rec(), 0, -2, 4, 6);
    }
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.pixel(x, 0), 0xFF000000u);
        EXPECT_EQ(image.pixel(x, 1), 0xFF000000u);
        EXPECT_EQ(image.pixel(x, 2), probe(x, 0));
    }

    Dib pic8 = indexedPicture(4, 4, 8, [](int, int) { return 9; });
    image = canvas(4, 6);
    {
        QPainter p(&image);
        StretchRows8(p, 0, 0, 4, 6, pic8.rec(), 0, 2, 4, 6);
    }
    EXPECT_EQ(image.pixel(0, 1), tableColour(9));
    EXPECT_EQ(image.pixel(0, 2), tableColour(0));
    EXPECT_EQ(image.pixel(3, 5), tableColour(0));
}

TEST(DrawDibScaled, SourcePastTheRightEdgeIsCutKeepingTheLeftEdge)
{
    // 100 columns, a rectangle from column 10 that is 100 wide drawn 200 wide: cut to 90
    // columns and 180 destination pixels.
    Dib pic = picture24(100, 2);
    QImage image = canvas(220, 2);
    draw(image, 5, 0, 200, 2, pic.rec(), 10, 0, 100, 2);
    for (int x = 0; x < 220; ++x) {
        const QRgb expected = (x >= 5 && x < 185) ? probe(10 + (x - 5) / 2, 0) : Grey;
        ASSERT_EQ(image.pixel(x, 0), expected) << x;
    }
}

TEST(DrawDibScaled, SourceBeforeTheLeftAndBelowTheBottomEdgeIsCut)
{
    Dib pic = picture24(10, 10);
    QImage image = canvas(24, 24);
    // Five columns left of the picture: the destination loses its left half and keeps its
    // right edge. Five rows below the lowest line: it loses its lower half, the top stays.
    draw(image, 0, 0, 20, 20, pic.rec(), -5, -5, 10, 10);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 24; ++x) {
            const bool inside = x >= 10 && x < 20 && y < 10;
            const QRgb expected = inside ? probe((x - 10) / 2, 5 + y / 2) : Grey;
            ASSERT_EQ(image.pixel(x, y), expected) << x << ", " << y;
        }
    }
}

TEST(DrawDibScaled, EmptyOrDamagedInputDrawsNothing)
{
    Dib pic = picture24(4, 4);
    QImage image = canvas(8, 8);
    EXPECT_EQ(draw(image, 0, 0, 0, 4, pic.rec(), 0, 0, 4, 4).path, TScaledPath::None);
    EXPECT_EQ(draw(image, 0, 0, 4, 4, pic.rec(), 0, 0, 0, 4).path, TScaledPath::None);
    EXPECT_EQ(draw(image, 0, 0, 4, 4, pic.rec(), 9, 0, 4, 4).path, TScaledPath::None);
    EXPECT_EQ(draw(image, 0, 0, 4, 4, TDibRec {}, 0, 0, 4, 4).path, TScaledPath::None);
    TDibRec shortRows = pic.rec();
    shortRows.BytesPerLine = 4; // too short for four 3-byte pixels: never read past it
    EXPECT_EQ(draw(image, 0, 0, 4, 4, shortRows, 0, 0, 4, 4).path, TScaledPath::None);
    expectStretched(image, 0, 0, 0, 0, 1, 1, [](int, int) { return Grey; });
}

TEST(DrawDibScaled, FourAndOneBitPicturesGoThroughTheDirectTransfer)
{
    auto index4 = [](int c, int r) { return (c + 3 * r) % 16; };
    Dib pic4 = indexedPicture(5, 3, 4, index4);
    QImage image = canvas(12, 8);
    EXPECT_EQ(draw(image, 1, 1, 10, 6, pic4.rec(), 0, 0, 5, 3).path, TScaledPath::Direct);
    expectStretched(
        image, 1, 1, 10, 6, 5, 3, [&](int c, int r) { return tableColour(index4(c, r)); });

    auto index1 = [](int c, int r) { return (c * c + r) % 3 == 0 ? 1 : 0; };
    Dib pic1 = indexedPicture(11, 4, 1, index1);
    image = canvas(13, 5);
    EXPECT_EQ(draw(image, 1, 0, 11, 4, pic1.rec(), 0, 0, 11, 4).path, TScaledPath::Direct);
    expectStretched(
        image, 1, 0, 11, 4, 11, 4, [&](int c, int r) { return tableColour(index1(c, r)); });
}

TEST(DrawDibScaled, PrintersGetTheDirectTransferEvenForTrueColour)
{
    Dib pic = picture24(6, 4);
    QImage image = canvas(8, 6);
    TScaledDevice printer;
    printer.isPrinter = true;
    EXPECT_EQ(draw(image, 1, 1, 6, 4, pic.rec(), 0, 0, 6, 4, printer).path, TScaledPath::Direct);
    expectStretched(image, 1, 1, 6, 4, 6, 4, probe);
}

namespace {

// A stand-in for the image library's halftoning: an 8-bit picture of the requested size whose
// every pixel is index 200, so the test sees which copy was drawn and at what size.
int g_halftoneWidth = 0;
void fakeHalftoneXY(TDibRec &out, TDibRec source, int width, int height)
{
    (void)source;
    g_halftoneWidth = width;
    const TBitmapInfo table = colourTable();
    newdib(out, width, height, 8, &table, 256);
    for (int r = 0; r < height; ++r)
        std::memset(out.Bits + static_cast<std::ptrdiff_t>(r) * out.BytesPerLine, 200, width);
}
void fakeHalftone(TDibRec &out, TDibRec source)
{
    fakeHalftoneXY(out, source, DibWidth(source), DibHeight(source));
}

} // namespace

TEST(DrawDibScaled, TrueColourOnAnEightBitScreenIsHalftonedOnlyWhenAllowed)
{
    Dib pic = picture24(8, 6);
    TScaledDevice screen8;
    screen8.screenColorDepth = 8;
    screen8.halftoner = { fakeHalftone, fakeHalftoneXY, deldib };

    QImage image = canvas(10, 8);
    EXPECT_EQ(
        draw(image, 0, 0, 8, 6, pic.rec(), 0, 0, 8, 6, screen8, false).path, TScaledPath::Rows24);
    expectStretched(image, 0, 0, 8, 6, 8, 6, probe);

    image = canvas(10, 8);
    EXPECT_EQ(
        draw(image, 1, 1, 8, 6, pic.rec(), 0, 0, 8, 6, screen8, true).path, TScaledPath::Halftone);
    expectStretched(image, 1, 1, 8, 6, 8, 6, [](int, int) { return tableColour(200); });

    // Shrinking halftones the whole picture at the destination's scale.
    image = canvas(10, 8);
    draw(image, 0, 0, 4, 3, pic.rec(), 0, 0, 8, 6, screen8, true);
    EXPECT_EQ(g_halftoneWidth, 4);
    expectStretched(image, 0, 0, 4, 3, 4, 3, [](int, int) { return tableColour(200); });
}

TEST(DrawDibScaled, RefusedStretchFallsBackToHandResampling)
{
    auto index4 = [](int c, int r) { return c + 4 * r; };
    Dib pic = indexedPicture(3, 3, 4, index4);
    TScaledDevice refusing;
    refusing.acceptsStretch = false;
    QImage image = canvas(5, 5);
    EXPECT_EQ(
        draw(image, 0, 0, 5, 5, pic.rec(), 0, 0, 3, 3, refusing).path, TScaledPath::HandResampled);
    // Column i takes (3 - 1) * i div (5 - 1); stored row k of the copy, shown at row 4 - k,
    // takes stored row 2 * k div 4, which is picture row 2 - that from the top.
    const int col[5] = { 0, 0, 1, 1, 2 };
    for (int y = 0; y < 5; ++y) {
        const int k = 4 - y;
        const int topRow = 2 - (2 * k) / 4;
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y), tableColour(index4(col[x], topRow))) << x << ", " << y;
    }

    // A bit count the hand copy does not handle leaves the copy zero: black.
    Dib pic16 = Dib::create(2, 2, 16);
    std::memset(pic16.rec().Bits, 0xFF, 2 * pic16.rec().BytesPerLine);
    image = canvas(4, 4);
    draw(image, 0, 0, 4, 4, pic16.rec(), 0, 0, 2, 2, refusing);
    EXPECT_EQ(image.pixel(3, 3), 0xFF000000u);

    // A printer without device-independent transfers: the last resort still shows the picture.
    refusing.canDibToDevice = false;
    refusing.isPrinter = true;
    Dib pic24 = picture24(4, 3);
    image = canvas(6, 5);
    const TScaledDrawResult r = draw(image, 1, 1, 4, 3, pic24.rec(), 0, 0, 4, 3, refusing);
    EXPECT_EQ(r.path, TScaledPath::DeviceBitmap);
    EXPECT_TRUE(r.message.isEmpty());
    expectStretched(image, 1, 1, 4, 3, 4, 3, probe);
}

// The drawing produces only what the device shows. Whatever the zoom and scroll position,
// every visible pixel must be the one the whole zoomed picture has there.
TEST(DrawDibScaledClipping, VisiblePixelsEqualTheUnclippedPictureAtEveryZoom)
{
    const int w = 37, h = 23;
    Dib pic24 = picture24(w, h);
    auto index8 = [](int c, int r) { return (c * 3 + r * 11) & 0xFF; };
    Dib pic8 = indexedPicture(w, h, 8, index8);
    struct Case
    {
        int zoom, scrollX, scrollY;
    };
    const Case cases[] = { { 100, 0, 0 }, { 100, -30, -20 }, { 250, 40, 17 }, { 1000, 300, 120 },
        { 1000, 350, 210 }, { 30000, 5000, 3000 }, { 30000, 11060, 6870 }, { 10, -20, -5 } };
    for (const Case &c : cases) {
        const int dw = (w * c.zoom + 50) / 100, dh = (h * c.zoom + 50) / 100;
        QImage image = canvas(64, 48);
        const TScaledDrawResult r =
            draw(image, -c.scrollX, -c.scrollY, dw, dh, pic24.rec(), 0, 0, w, h);
        SCOPED_TRACE(testing::Message()
            << "zoom " << c.zoom << " scroll " << c.scrollX << ", " << c.scrollY);
        expectStretched(image, -c.scrollX, -c.scrollY, dw, dh, w, h, probe);
        EXPECT_LE(r.rowsProduced, 48);

        image = canvas(64, 48);
        draw(image, -c.scrollX, -c.scrollY, dw, dh, pic8.rec(), 0, 0, w, h);
        expectStretched(image, -c.scrollX, -c.scrollY, dw, dh, w, h,
            [&](int col, int row) { return tableColour(index8(col, row)); });
    }
}

TEST(DrawDibScaledClipping, PainterClipAndTransformGiveTheSamePixels)
{
    const int w = 20, h = 15;
    Dib pic = picture24(w, h);
    QImage reference = canvas(40, 30);
    draw(reference, -7, -3, 60, 45, pic.rec(), 0, 0, w, h);

    // A clip of two rectangles and a translated painter must not change a single pixel inside
    // the clip, nor touch one outside it.
    QImage clipped = canvas(40, 30);
    {
        QPainter p(&clipped);
        p.translate(5, 4);
        QRegion clip(QRect(-5, -4, 12, 30));
        clip += QRect(20, 10, 9, 6);
        p.setClipRegion(clip);
        DrawDibScaled(p, -12, -7, 60, 45, pic.rec(), 0, 0, w, h, false, SRCCOPY, false, nullptr);
    }
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool inClip = x < 12 || (x >= 25 && x < 34 && y >= 14 && y < 20);
            ASSERT_EQ(clipped.pixel(x, y), inClip ? reference.pixel(x, y) : Grey) << x << ", " << y;
        }
    }
}

TEST(DrawDibScaledClipping, HugeZoomProducesOnlyTheVisibleRows)
{
    // 320 x 320 at 30000 % is 96000 x 96000 pixels; a repaint must cost what the window shows.
    Dib pic = picture24(320, 320);
    QImage image = canvas(160, 100);
    const TScaledDrawResult r = draw(image, -9000, -9000, 96000, 96000, pic.rec(), 0, 0, 320, 320);
    EXPECT_EQ(r.rowsProduced, 100);
    EXPECT_EQ(r.rowCopies, 1); // 100 rows at 300 pixels per picture row: one source row
    EXPECT_EQ(image.pixel(0, 0), probe(30, 30));
    EXPECT_EQ(image.pixel(159, 99), probe(30, 30));
}

TEST(DrawDibScaledClipping, FullSizeRowsAreExactForEveryStartColumnAndWidth)
{
    // At 100 % a visible row is converted in groups of four pixels with a remainder; every
    // start column and every width up to a few groups must give the plain copy.
    const int w = 29, h = 3;
    Dib pic = picture24(w, h);
    for (int scrollX = 0; scrollX < 4; ++scrollX) {
        for (int width = 1; width <= 13; ++width) {
            QImage image = canvas(width, h);
            const TScaledDrawResult r = draw(image, -scrollX, 0, w, h, pic.rec(), 0, 0, w, h);
            SCOPED_TRACE(testing::Message() << "scroll " << scrollX << " width " << width);
            EXPECT_EQ(r.rowCopies, h);
            expectStretched(image, -scrollX, 0, w, h, w, h, probe);
        }
    }
}
