#include "export/DxfExportParams.h"
#include "picture/PictureOps.h"
#include "support/TestDrawing.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace {

// Pixel access in picture coordinates (row 0 at the top).
std::uint32_t at(const Dib &d, int x, int y)
{
    return getpixel(d.rec(), x, d.height() - 1 - y);
}
void put(const Dib &d, int x, int y, std::uint32_t v)
{
    setpixel(d.rec(), x, d.height() - 1 - y, v);
}

Dib greyPicture(int w, int h, const std::function<std::uint8_t(int, int)> &value)
{
    TBitmapInfo grey {};
    for (int i = 0; i < 256; ++i)
        grey.bmiColors[i] = { std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0 };
    Dib d = Dib::create(w, h, 8, &grey, 256);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put(d, x, y, value(x, y));
    return d;
}

void fill(TElementList &list, std::initializer_list<TDrawElement> records)
{
    for (const TDrawElement &e : records)
        *list.Append() = e;
}

} // namespace

// Quarter turns, mirrors and crops, at every depth that packs pixels differently: each pixel
// lands where the map sends its centre, the depth and colours stay, and a point of the drawing
// lands exactly where the turn of the plane sends it.
TEST(PictureOps, ExactOperationsMovePixelsAndDrawingAlike)
{
    // Wide enough for several bands of a quarter turn.
    const int w = 37;
    const int h = 6;
    struct Case
    {
        const char *name;
        std::function<PictureChange(const Dib &)> run;
        int width, height;
        TPointD point; // where (2.25, 1.5) goes
    };
    const Case cases[] = {
        { "90", [](const Dib &d) { return rotateQuarter(d, 1); }, h, w, { 4.5, 2.25 } },
        { "180", [](const Dib &d) { return rotateQuarter(d, 2); }, w, h, { 34.75, 4.5 } },
        { "270", [](const Dib &d) { return rotateQuarter(d, -1); }, h, w, { 1.5, 34.75 } },
        { "left-right", [](const Dib &d) { return mirrorPicture(d, true); }, w, h, { 34.75, 1.5 } },
        { "top-bottom", [](const Dib &d) { return mirrorPicture(d, false); }, w, h, { 2.25, 4.5 } },
        { "crop",
            [](const Dib &d) {
                return cropPicture(d, { 9.5, 4.2 }, { 1.7, -3 });
            },
            9, 5, { 1.25, 1.5 } },
    };
    for (const int bits : { 1, 4, 8, 24 }) {
        TBitmapInfo colors {};
        colors.bmiColors[1] = { 10, 20, 30, 0 };
        Dib source = Dib::create(w, h, bits, &colors, 2);
        const std::uint32_t mask = bits == 24 ? 0xFFFFFF : (1u << bits) - 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                put(source, x, y, static_cast<std::uint32_t>(x * 7 + y * 31 + x * y) & mask);
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(bits) + " bits");
            const PictureChange r = c.run(source);
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.picture.bitCount(), bits);
            EXPECT_EQ(r.picture.width(), c.width);
            EXPECT_EQ(r.picture.height(), c.height);
            EXPECT_EQ(r.picture.rec().BitmapInfo->bmiColors[1].rgbGreen, bits <= 8 ? 20 : 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const TPointD p = r.mapping.map({ x + 0.5, y + 0.5 });
                    const int nx = static_cast<int>(std::floor(p.x));
                    const int ny = static_cast<int>(std::floor(p.y));
                    if (nx < 0 || ny < 0 || nx >= c.width || ny >= c.height)
                        continue;
                    ASSERT_EQ(at(r.picture, nx, ny), at(source, x, y)) << x << "," << y;
                }
            TElementList list;
            fill(list,
                { element(KindLine, 0, { 2.25, 1.5 }, { 2.25, 1.5 }, { 2.25, 1.5 }, { 2.25, 1.5 }),
                    element(KindEllipse, 0, { 1, 1 }, { 5, 3 }) });
            r.mapping.apply(list);
            EXPECT_EQ(list.at(0).Start.x, c.point.x);
            EXPECT_EQ(list.at(0).Start.y, c.point.y);
            EXPECT_EQ(list.at(0).Ctrl2.y, c.point.y);
            // The ellipse's corners stay opposite corners of its box, so it keeps its size
            // and turns with the picture.
            const TDrawElement &e = list.at(1);
            const bool upright = c.width == h && c.height == w;
            EXPECT_EQ(std::abs(e.End.x - e.Start.x), upright ? 2 : 4);
            EXPECT_EQ(std::abs(e.End.y - e.Start.y), upright ? 4 : 2);
        }
    }
}

// Quarter turns of pictures larger than the tiles the turn moves at once, at every whole-byte
// depth: each pixel lands where the map sends its centre, across the tile edges too.
TEST(PictureOps, QuarterTurnsKeepEveryPixelAcrossTiles)
{
    // 68 turned 24-bit pixels fill a row of 204 bytes with no padding after the last one.
    const int w = 150;
    const int h = 68;
    for (const int bits : { 8, 16, 24, 32 }) {
        Dib source = Dib::create(w, h, bits);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                put(source, x, y, static_cast<std::uint32_t>(x * 1031 + y * 65537 + x * y * 7919));
        for (const int turns : { 0, 1, 2, 3 }) {
            SCOPED_TRACE(std::to_string(turns) + " turns at " + std::to_string(bits) + " bits");
            const PictureChange r = rotateQuarter(source, turns);
            ASSERT_TRUE(r.ok());
            ASSERT_EQ(r.picture.width(), turns % 2 ? h : w);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const TPointD p = r.mapping.map({ x + 0.5, y + 0.5 });
                    ASSERT_EQ(at(r.picture, static_cast<int>(p.x), static_cast<int>(p.y)),
                        at(source, x, y))
                        << x << "," << y;
                }
        }
    }
}

// A scan tilted by 0.4 degrees, wider than the resampling takes at once: straightening on two
// points of a long edge levels the edge along its whole length.
TEST(PictureOps, StraighteningLevelsATiltedEdge)
{
    const int w = 33000;
    const int h = 400;
    const double slope = std::tan(0.4 * M_PI / 180);
    const auto edge = [&](double x) { return 200 + slope * (x - w / 2.0); };
    // Dark below the edge, with the share of each pixel that lies below it.
    const Dib tilted = greyPicture(w, h, [&](int x, int y) {
        const double dark = std::clamp(y + 1 - edge(x + 0.5), 0.0, 1.0);
        return static_cast<std::uint8_t>(std::lround(255 * (1 - dark)));
    });
    const PictureChange r = straightenPicture(tilted, { 100, edge(100) }, { 32000, edge(32000) });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.picture.bitCount(), 8);
    EXPECT_EQ(r.picture.height(), h);
    // The edge's height in a column: the white above it, summed.
    double low = 1e9;
    double high = -1e9;
    for (int x = w / 10; x < w - w / 10; ++x) {
        double white = 0;
        for (int y = 0; y < 300; ++y)
            white += at(r.picture, x, y) / 255.0;
        low = std::min(low, white);
        high = std::max(high, white);
    }
    EXPECT_LT(high - low, 0.5);
    // The drawing moves with it: a point on the edge lands on the levelled edge.
    const TPointD p = r.mapping.map({ 30000, edge(30000) });
    EXPECT_NEAR(p.y, (low + high) / 2, 0.5);
}

// A rectangle of 200 x 100 mm photographed at an angle, its corners clicked from the bottom
// right counter-clockwise: the result has the typed size at the resolution it reports, and a
// mark drawn at a known place of the rectangle lands there.
TEST(PictureOps, PerspectiveRectificationGivesTheTypedSize)
{
    const cv::Point2f real[4] = { { 0, 0 }, { 200, 0 }, { 200, 100 }, { 0, 100 } };
    const cv::Point2f seen[4] = { { 100, 80 }, { 700, 120 }, { 650, 520 }, { 130, 480 } };
    const cv::Mat toReal = cv::getPerspectiveTransform(seen, real);
    const Dib photo = greyPicture(800, 600, [&](int x, int y) {
        std::vector<cv::Point2d> p { { x + 0.5, y + 0.5 } };
        cv::perspectiveTransform(p, p, toReal);
        return std::hypot(p[0].x - 150, p[0].y - 25) < 6 ? 0 : 255;
    });
    const std::array<TPointD, 4> clicked { TPointD { 650, 520 }, { 700, 120 }, { 100, 80 },
        { 130, 480 } };
    const PictureChange r = rectifyPicture(photo, clicked, 200, 100);
    ASSERT_TRUE(r.ok());
    const double mmPerPixel = DxfExportParams::MillimetresPerInch / r.dpi;
    EXPECT_NEAR(r.picture.width() * mmPerPixel, 200, 1.0);
    EXPECT_NEAR(r.picture.height() * mmPerPixel, 100, 0.5);
    EXPECT_EQ(r.picture.rec().BitmapInfo->bmiHeader.biXPelsPerMeter, std::lround(r.dpi / 0.0254));
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < r.picture.height(); ++y)
        for (int x = 0; x < r.picture.width(); ++x) {
            const double dark = 1 - at(r.picture, x, y) / 255.0;
            sx += dark * (x + 0.5);
            sy += dark * (y + 0.5);
            n += dark;
        }
    EXPECT_NEAR(sx / n * mmPerPixel, 150, 1.0);
    EXPECT_NEAR(sy / n * mmPerPixel, 25, 0.5);
    const TPointD corner = r.mapping.map({ 650, 520 });
    EXPECT_NEAR(corner.x, r.picture.width(), 1e-6);
    EXPECT_NEAR(corner.y, r.picture.height(), 1e-6);
}

TEST(PictureOps, BadInputIsRefusedWithAReason)
{
    const Dib picture = greyPicture(40, 30, [](int, int) { return 200; });
    // One row of 1-bit pixels turned upright needs four bytes per pixel, beyond the limit.
    const Dib thin = Dib::create(600'000'000, 1, 1);
    ASSERT_FALSE(thin.isNull());
    const std::array<TPointD, 4> inLine { TPointD { 0, 0 }, { 10, 10 }, { 20, 20 }, { 30, 30 } };
    const std::array<TPointD, 4> crossing { TPointD { 0, 0 }, { 20, 0 }, { 0, 20 }, { 20, 20 } };
    const std::array<TPointD, 4> good { TPointD { 0, 0 }, { 20, 0 }, { 20, 20 }, { 0, 20 } };
    const PictureChange refusals[] = {
        cropPicture(picture, { -50, -50 }, { -10, -10 }),
        cropPicture(picture, { 40, 5 }, { 60, 25 }),
        cropPicture(picture, { 5, 5 }, { NAN, 25 }),
        rectifyPicture(picture, inLine, 100, 100),
        rectifyPicture(picture, crossing, 100, 100),
        rectifyPicture(picture, good, 0, 100),
        straightenPicture(picture, { 3, 4 }, { 3, 4 }),
        rotateQuarter(thin, 1),
        rotateQuarter(Dib {}, 1),
    };
    for (const PictureChange &r : refusals) {
        EXPECT_FALSE(r.ok());
        EXPECT_FALSE(r.error.isEmpty());
    }
    EXPECT_EQ(at(picture, 5, 5), 200u);
}

TEST(PictureOps, ThresholdViewIsBlackAndWhite)
{
    const Dib picture = greyPicture(20, 10, [](int x, int) { return x < 8 ? 60 : 190; });
    const Dib view = thresholdView(picture);
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(at(view, 7, 3), 0u);
    EXPECT_EQ(at(view, 8, 3), 1u);
    EXPECT_EQ(view.rec().BitmapInfo->bmiColors[1].rgbRed, 255);
}
