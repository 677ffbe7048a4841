#include "view/PixelStroker.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;
constexpr int Size = 64;

QImage blank()
{
    QImage image(Size, Size, QImage::Format_RGB32);
    image.fill(White);
    return image;
}

// The same figure drawn by QPainter with the editor's round-capped pen and by the stroker.
struct Pair
{
    QImage painter = blank();
    QImage stroker = blank();

    Pair(int width, const std::function<void(QPainter &)> &withPainter,
        const std::function<void(PixelStroker &)> &withStroker)
    {
        QPainter p(&painter);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(Red), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        withPainter(p);
        p.end();
        PixelStroker s(stroker, Red, width);
        withStroker(s);
    }

    // Pixels the two disagree on. With onEdge each must lie on the stroke's edge: next to a
    // pixel that both paint and to one that neither paints, so a difference never shows as a
    // gap, a stray dot or a shifted line.
    int differences(bool onEdge = true) const
    {
        int count = 0;
        for (int y = 0; y < Size; ++y) {
            for (int x = 0; x < Size; ++x) {
                if (painter.pixel(x, y) == stroker.pixel(x, y))
                    continue;
                ++count;
                if (!onEdge)
                    continue;
                bool bothPainted = false, neither = false;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QPoint n(x + dx, y + dy);
                        if (!painter.rect().contains(n))
                            continue;
                        bothPainted |= painter.pixel(n) == Red && stroker.pixel(n) == Red;
                        neither |= painter.pixel(n) == White && stroker.pixel(n) == White;
                    }
                }
                EXPECT_TRUE(bothPainted && neither)
                    << "off the edge at " << x << ", " << y << ": "
                    << (painter.pixel(x, y) == Red ? "painter only" : "stroker only");
            }
        }
        return count;
    }

    int painted() const
    {
        int count = 0;
        for (int y = 0; y < Size; ++y) {
            for (int x = 0; x < Size; ++x)
                count += painter.pixel(x, y) == Red;
        }
        return count;
    }
};

} // namespace

TEST(PixelStroker, StraightSegmentsMatchThePainterUpToSinglePixelsOnTheEdge)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-10, Size + 10);
    for (int width : { 2, 3, 4, 5, 8 }) {
        int segments = 0, differing = 0, pixels = 0, painted = 0;
        for (int k = 0; k < 300; ++k) {
            const QPoint a(coordinate(random), coordinate(random));
            const QPoint b(coordinate(random), coordinate(random));
            const Pair pair(
                width, [&](QPainter &p) { p.drawLine(a, b); },
                [&](PixelStroker &s) { s.line(a, b); });
            const int d = pair.differences();
            SCOPED_TRACE(testing::Message() << "width " << width << " from " << a.x() << ", "
                                            << a.y() << " to " << b.x() << ", " << b.y());
            // Where the stroke's edge passes exactly through pixel centres, as along steep
            // diagonals and round caps, the two may decide those pixels differently.
            EXPECT_LE(d, 6 + std::hypot(b.x() - a.x(), b.y() - a.y()) / 4);
            ++segments;
            differing += d > 0;
            pixels += d;
            painted += pair.painted();
        }
        EXPECT_LT(differing, segments / 3) << "width " << width;
        EXPECT_LT(pixels, painted / 100) << "width " << width;
    }
}

TEST(PixelStroker, CurvesAndEllipsesFollowThePainterWithinTheEdgePixels)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> coordinate(-10, Size + 10);
    for (int width : { 2, 3, 5 }) {
        int pixels = 0, painted = 0;
        for (int k = 0; k < 100; ++k) {
            const QPoint a(coordinate(random), coordinate(random));
            const QPoint b(coordinate(random), coordinate(random));
            const QPoint c1(coordinate(random), coordinate(random));
            const QPoint c2(coordinate(random), coordinate(random));
            const Pair curve(
                width,
                [&](QPainter &p) {
                    QPainterPath path(a);
                    path.cubicTo(c1, c2, b);
                    p.drawPath(path);
                },
                [&](PixelStroker &s) { s.cubic(a, c1, c2, b); });
            const QRectF box(QRect(a, b).normalized());
            const Pair ellipse(
                width, [&](QPainter &p) { p.drawEllipse(box); },
                [&](PixelStroker &s) { s.ellipse(box); });
            SCOPED_TRACE(testing::Message()
                << "width " << width << " " << a.x() << "," << a.y() << " " << c1.x() << ","
                << c1.y() << " " << c2.x() << "," << c2.y() << " " << b.x() << "," << b.y());
            // Flattened curves also differ at tight turns, where the painter's offset curves
            // leave a pixel open inside the bend that the stroker fills.
            pixels += curve.differences(false) + ellipse.differences(false);
            painted += curve.painted() + ellipse.painted();
        }
        EXPECT_LT(pixels, painted / 20) << "width " << width;
    }
}

TEST(PixelStroker, ClipsToTheImageAndRefusesOtherFormats)
{
    QImage image = blank();
    PixelStroker s(image, Red, 6);
    s.line(QPointF(-1e6, 30), QPointF(1e6, 30));
    s.cubic(QPointF(-500, -500), QPointF(-400, 900), QPointF(900, -400), QPointF(500, 500));
    s.ellipse(QRectF(-1000, -1000, 3000, 3000));
    EXPECT_EQ(image.pixel(0, 30), Red);
    EXPECT_EQ(image.pixel(Size - 1, 30), Red);
    EXPECT_EQ(image.pixel(0, 20), White);

    QImage indexed(8, 8, QImage::Format_Indexed8);
    PixelStroker refused(indexed, Red, 3);
    EXPECT_FALSE(refused.isValid());
    refused.line(QPointF(0, 0), QPointF(7, 7));
}
