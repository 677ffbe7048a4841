#include "view/Ruler.h"

#include <QFontMetricsF>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

const TRulerTick *tickAt(const TRulerLayout &layout, int value, TTickKind kind)
{
    auto it = std::find_if(layout.ticks.begin(), layout.ticks.end(),
        [&](const TRulerTick &t) { return t.value == value && t.kind == kind; });
    return it == layout.ticks.end() ? nullptr : &*it;
}

QImage render(TRulerOrientation o, int w, int h, double zoom, int scroll)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(qRgb(200, 0, 0));
    QPainter p(&image);
    paintRuler(p, o, w, h, zoom, scroll);
    return image;
}

// The black pixels of one column between two rows, both included.
int blackInColumn(const QImage &image, int x, int y0, int y1)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        n += image.pixel(x, y) == Black;
    return n;
}

bool anyBlack(const QImage &image, const QRect &r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixel(x, y) == Black)
                return true;
    return false;
}

} // namespace

TEST(RulerLayout, StepFollowsTheZoomOnAn801PixelRuler)
{
    const std::pair<double, int> cases[] = { { 100, 40 }, { 1000, 5 }, { 3000, 1 }, { 30000, 1 },
        { 10, 100 }, { 200, 20 }, { 400, 10 } };
    for (auto [zoom, step] : cases)
        EXPECT_EQ(layoutRuler(TRulerOrientation::Horizontal, 801, zoom, 0).step, step) << zoom;
}

TEST(RulerLayout, ZoomHundredLabelsEveryFortyWithTicksEveryFour)
{
    const TRulerLayout l = layoutRuler(TRulerOrientation::Horizontal, 801, 100, 0);
    EXPECT_FLOAT_EQ(l.lo, 0);
    EXPECT_FLOAT_EQ(l.hi, 801);
    EXPECT_DOUBLE_EQ(l.distance, 50);
    ASSERT_NE(tickAt(l, 40, TTickKind::Full), nullptr);
    EXPECT_EQ(tickAt(l, 40, TTickKind::Full)->position, 40);
    EXPECT_NE(tickAt(l, 4, TTickKind::Odd), nullptr);
    EXPECT_NE(tickAt(l, 8, TTickKind::Even), nullptr);
    EXPECT_EQ(tickAt(l, -4, TTickKind::Odd), nullptr); // left of the ruler: skipped
    EXPECT_NE(tickAt(l, 840, TTickKind::Full), nullptr); // the last index is included
}

TEST(RulerLayout, NeighbouringTicksShareAPositionAtHighZoom)
{
    const TRulerLayout l = layoutRuler(TRulerOrientation::Horizontal, 801, 1000, 0);
    // v = Trunc(t / 2): indices 2 and 3 both give 1, at ruler pixel 10.
    EXPECT_EQ(tickAt(l, 1, TTickKind::Even)->position, 10);
    EXPECT_EQ(tickAt(l, 1, TTickKind::Odd)->position, 10);

    const TRulerLayout one = layoutRuler(TRulerOrientation::Horizontal, 801, 3000, 0);
    // Hi is 26.7 in single precision, a little above it, so 801 * 7 / Hi lands just short of
    // pixel 210.
    EXPECT_EQ(tickAt(one, 7, TTickKind::Full)->position, 209);
    EXPECT_EQ(tickAt(one, 7, TTickKind::Odd)->position, 209);
    EXPECT_EQ(tickAt(one, 0, TTickKind::Full)->position, 0);

    const TRulerLayout low = layoutRuler(TRulerOrientation::Horizontal, 801, 10, 0);
    EXPECT_EQ(tickAt(low, 100, TTickKind::Full)->position, 10);
    EXPECT_EQ(tickAt(low, 200, TTickKind::Full)->position, 20);
}

TEST(RulerLayout, NegativeScrollGivesNegativeLabels)
{
    const TRulerLayout l = layoutRuler(TRulerOrientation::Horizontal, 801, 100, -100);
    EXPECT_EQ(tickAt(l, -80, TTickKind::Full)->position, 20);
    EXPECT_EQ(tickAt(l, -120, TTickKind::Full), nullptr);
    EXPECT_EQ(QString::number(tickAt(l, -80, TTickKind::Full)->value), QStringLiteral("-80"));
}

TEST(RulerLayout, VerticalRulerKeepsTicksAboveItsTopAndCopesWhenShort)
{
    // The vertical ruler divides by (H - 1) div 50 and maps over H - 1 pixels.
    const TRulerLayout l = layoutRuler(TRulerOrientation::Vertical, 301, 100, -2);
    EXPECT_EQ(l.step, 40); // D = 301 / 6
    EXPECT_EQ(tickAt(l, 0, TTickKind::Full)->position, 1);
    EXPECT_NE(tickAt(l, -4, TTickKind::Odd), nullptr);

    for (int h : { 1, 30, 50, 51 }) {
        const TRulerLayout s = layoutRuler(TRulerOrientation::Vertical, h, 100, 0);
        EXPECT_EQ(s.step, h <= 2 ? 1 : rulerLabelStep(static_cast<double>(s.hi - s.lo))) << h;
        EXPECT_FALSE(s.ticks.empty());
    }
    EXPECT_TRUE(layoutRuler(TRulerOrientation::Horizontal, 0, 100, 0).ticks.empty());
}

TEST(RulerPainting, HorizontalTicksFrameAndLabels)
{
    const QImage r = render(TRulerOrientation::Horizontal, 801, 49, 100, 0);
    // The frame all round.
    for (QPoint p : { QPoint(0, 0), QPoint(800, 0), QPoint(800, 48), QPoint(0, 48), QPoint(400, 0),
             QPoint(400, 48), QPoint(0, 20), QPoint(800, 20) })
        EXPECT_EQ(r.pixel(p), Black) << p.x() << ", " << p.y();
    EXPECT_EQ(r.pixel(2, 25), White);
    // A labelled tick crosses the ruler; short ticks stop one pixel before the bottom frame,
    // odd ones 16 pixels long, even ones 13.
    EXPECT_EQ(blackInColumn(r, 120, 0, 47), 48);
    EXPECT_EQ(blackInColumn(r, 124, 17, 47), 16); // below the label "120"
    EXPECT_EQ(r.pixel(124, 31), White);
    EXPECT_EQ(blackInColumn(r, 128, 17, 47), 13);
    EXPECT_EQ(r.pixel(126, 40), White);
    // The label "120" is written to the right of its tick, from the top.
    EXPECT_TRUE(anyBlack(r, QRect(121, 1, 20, 15)));
    EXPECT_FALSE(anyBlack(r, QRect(105, 1, 14, 15))); // "80" ends well before
}

TEST(RulerPainting, VerticalHasNoTopEdge)
{
    const QImage r = render(TRulerOrientation::Vertical, 49, 301, 100, -2);
    EXPECT_EQ(r.pixel(20, 0), White);
    EXPECT_EQ(r.pixel(0, 0), Black);
    EXPECT_EQ(r.pixel(48, 0), Black);
    EXPECT_EQ(r.pixel(20, 300), Black);
    // Full tick of 0 at row 1 across the ruler, stopping before the right edge column.
    int n = 0;
    for (int x = 0; x < 48; ++x)
        n += r.pixel(x, 1) == Black;
    EXPECT_EQ(n, 48);
    // Short odd tick of 4: from x = 48 - 16 to 47.
    const int p4 = layoutRuler(TRulerOrientation::Vertical, 301, 100, -2).ticks.empty() ? 0 : 5;
    EXPECT_EQ(r.pixel(32, p4), Black);
    EXPECT_EQ(r.pixel(31, p4), White);
}

TEST(RulerPainting, HighDensityScreenGetsTheSameRulerInFinerPixels)
{
    const QImage one = render(TRulerOrientation::Horizontal, 201, 49, 100, 0);
    QImage two(402, 98, QImage::Format_RGB32);
    two.setDevicePixelRatio(2);
    two.fill(qRgb(200, 0, 0));
    {
        QPainter p(&two);
        paintRuler(p, TRulerOrientation::Horizontal, 201, 49, 100, 0);
    }
    // Frame and ticks are the ratio-1 lines with every pixel a 2 x 2 block, so they stay
    // sharp; the labels are rendered at the finer resolution, not enlarged.
    for (int y = 0; y < 49; ++y) {
        for (int x = 0; x < 201; ++x) {
            if (y < 20 && x % 40 != 0)
                continue; // label text
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(two.pixel(2 * x + d % 2, 2 * y + d / 2), one.pixel(x, y))
                    << x << ", " << y;
        }
    }
    bool finerText = false;
    for (int y = 0; y < 20 && !finerText; ++y) {
        for (int x = 1; x < 40 && !finerText; ++x)
            finerText = two.pixel(2 * x, 2 * y) != two.pixel(2 * x + 1, 2 * y)
                || two.pixel(2 * x, 2 * y) != two.pixel(2 * x, 2 * y + 1);
    }
    EXPECT_TRUE(finerText);
}

TEST(RulerLabels, InALengthUnitTheStepIsOneTwoOrFiveTimesAPowerOfTen)
{
    const double mm254 = 254 / 25.39995; // picture pixels per millimetre at 254 dpi
    struct Case
    {
        double zoom, pixelsPerUnit;
        int scroll;
        double step;
        const char *labels; // the first labels from the ruler's start
    };
    const Case cases[] = {
        { 100, mm254, 0, 5, "0 5 10 15" },
        { 10, mm254, 0, 50, "0 50 100 150" },
        { 30000, mm254, 0, 0.02, "0 0.02 0.04 0.06" },
        { 3000, 300, 0, 0.005, "0 0.005 0.01 0.015" }, // inches at 300 dpi
        { 100, mm254, -95, 5, "-5 0 5 10" },
    };
    for (const Case &c : cases) {
        const TRulerLayout l =
            layoutRuler(TRulerOrientation::Horizontal, 801, c.zoom, c.scroll, c.pixelsPerUnit);
        EXPECT_NEAR(l.unitStep, c.step, c.step * 1e-9) << c.zoom;
        QStringList labels;
        for (const TRulerTick &t : l.ticks)
            if (t.kind == TTickKind::Full && labels.size() < 4)
                labels << t.label;
        EXPECT_EQ(labels.join(' ').toStdString(), c.labels) << c.zoom;
    }
    // A labelled tick lies where its length is on the ruler: 10 mm at 100 % are 100 pixels.
    const TRulerLayout l = layoutRuler(TRulerOrientation::Horizontal, 801, 100, 0, mm254);
    auto ten = std::find_if(l.ticks.begin(), l.ticks.end(),
        [](const TRulerTick &t) { return t.label == QStringLiteral("10"); });
    ASSERT_NE(ten, l.ticks.end());
    EXPECT_EQ(ten->position, 100);
}

TEST(RulerLabels, NeverOverlapAtAnyZoomForPicturesOfOneTo40000Pixels)
{
    QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetricsF metrics(rulerFont(), &device);
    // Where a label's ink and advance reach along the ruler.
    const auto span = [&](TRulerOrientation o, const TRulerTick &t) {
        if (o == TRulerOrientation::Vertical)
            return std::pair<double, double>(t.position, t.position + metrics.height());
        const QRectF ink = metrics.boundingRect(t.label);
        return std::pair<double, double>(t.position + 1 + std::min(0.0, ink.left()),
            t.position + 1 + std::max(metrics.horizontalAdvance(t.label), ink.right()));
    };
    const double units[] = { 0, 72 / 25.39995, 1 / 25.39995, 10000 / 25.39995, 300 };
    for (double zoom :
        { 10.0, 13.0, 50.0, 71.0, 100.0, 170.0, 400.0, 999.0, 2010.0, 2990.0, 7000.0, 30000.0 }) {
        for (int picture : { 1, 999, 40000 }) {
            const int end = static_cast<int>(std::lround(zoom * picture / 100));
            for (auto o : { TRulerOrientation::Horizontal, TRulerOrientation::Vertical }) {
                const int length = o == TRulerOrientation::Horizontal ? 801 : 601;
                for (int scroll :
                    { -10000, -length / 2, 0, std::clamp(end - length, -10000, 10000), 10000 }) {
                    for (double unit : units) {
                        TRulerLayout l = layoutRuler(o, length, zoom, scroll, unit);
                        fitRulerLabels(l, o, metrics);
                        const TRulerTick *previous = nullptr;
                        int shown = 0;
                        for (const TRulerTick &t : l.ticks) {
                            if (t.kind != TTickKind::Full || t.label.isEmpty())
                                continue;
                            if (previous) {
                                ASSERT_GT(span(o, t).first, span(o, *previous).second)
                                    << "zoom " << zoom << " scroll " << scroll << " unit " << unit
                                    << ": " << previous->label.toStdString() << " runs into "
                                    << t.label.toStdString();
                            }
                            previous = &t;
                            shown += t.position >= 0 && t.position < length;
                        }
                        EXPECT_GE(shown, 1) << zoom << " " << scroll << " " << unit;
                    }
                }
            }
        }
    }
    // Where the labels fit as they are, none is left out.
    TRulerLayout l = layoutRuler(TRulerOrientation::Horizontal, 801, 100, 0);
    fitRulerLabels(l, TRulerOrientation::Horizontal, metrics);
    for (const TRulerTick &t : l.ticks)
        EXPECT_TRUE(t.kind != TTickKind::Full || t.label == QString::number(t.value)) << t.value;
}
