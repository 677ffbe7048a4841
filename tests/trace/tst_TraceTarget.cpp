// What the trace tool picks: a dragged rectangle, or the one shape under a click.
#include "TraceScene.h"
#include "trace/TraceTarget.h"

#include <QPainter>
#include <QPainterPath>
#include <gtest/gtest.h>

namespace {

// A washer with a dot in its hole, a square with a bar two pixels beside it, and a long bar
// that reaches far beyond the first look around a click on its right end.
QImage targetPicture()
{
    QImage image(1400, 300, QImage::Format_Grayscale8);
    image.fill(255);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath washer;
    washer.addEllipse(QPointF(100, 100), 60, 60);
    washer.addEllipse(QPointF(100, 100), 30, 30);
    p.drawPath(washer);
    p.drawEllipse(QPointF(100, 100), 10, 10);
    p.drawRect(QRectF(200, 60, 60, 60));
    p.drawRect(QRectF(262, 60, 18, 60));
    p.drawRect(QRectF(20, 250, 1360, 10));
    return image;
}

struct Bounds
{
    double left, top, right, bottom;
};

Bounds boundsOf(const std::vector<TDrawElement> &elements)
{
    Bounds b { 1e9, 1e9, -1e9, -1e9 };
    for (const TDrawElement &e : elements) {
        for (const TPointD p : { e.Start, e.End }) {
            b.left = std::min(b.left, p.x);
            b.top = std::min(b.top, p.y);
            b.right = std::max(b.right, p.x);
            b.bottom = std::max(b.bottom, p.y);
        }
    }
    return b;
}

int chainCount(const std::vector<TDrawElement> &elements)
{
    return int(std::count_if(
        elements.begin(), elements.end(), [](const TDrawElement &e) { return e.ChainPos == 0; }));
}

TraceTarget click(int x, int y)
{
    return { TraceTarget::Kind::Shape, {}, QPoint(x, y) };
}

TraceTarget rect(int x, int y, int w, int h)
{
    return { TraceTarget::Kind::Region, QRect(x, y, w, h), {} };
}

} // namespace

TEST(TraceTarget, PicksTheShapeUnderAClickOrTheChainsInARectangle)
{
    struct Row
    {
        const char *what;
        TraceTarget target;
        TraceResult::Status status;
        int chains;
        Bounds bounds;
    };
    const Row rows[] = {
        // The washer's outline and its hole, without the dot inside the hole.
        { "ink of the washer", click(100, 45), TraceResult::Status::Ok, 2, { 40, 40, 160, 160 } },
        { "paper in the washer's hole", click(100, 80), TraceResult::Status::Ok, 2,
            { 40, 40, 160, 160 } },
        { "the dot in the hole", click(100, 100), TraceResult::Status::Ok, 1,
            { 90, 90, 110, 110 } },
        // The bar beside the square lies in the square's box with its margin, but is not it.
        { "the square", click(230, 90), TraceResult::Status::Ok, 1, { 200, 60, 260, 120 } },
        { "the far end of the long bar", click(1370, 255), TraceResult::Status::Ok, 1,
            { 20, 250, 1380, 260 } },
        { "a rectangle round square and bar", rect(190, 50, 100, 80), TraceResult::Status::Ok, 2,
            { 200, 60, 280, 120 } },
        { "paper outside every shape", click(600, 150), TraceResult::Status::Empty, 0, {} },
        { "a point outside the picture", click(1500, 10), TraceResult::Status::Empty, 0, {} },
        { "a rectangle of nothing", rect(10, 10, 0, 0), TraceResult::Status::Empty, 0, {} },
        { "a rectangle beside the picture", rect(-300, 10, 200, 100), TraceResult::Status::Empty, 0,
            {} },
        { "a rectangle of paper", rect(500, 20, 200, 100), TraceResult::Status::Empty, 0, {} },
    };
    const Dib dib = trace_scene::toDib(targetPicture(), false);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const TraceResult r = traceTarget(dib.rec(), TraceSettings {}, row.target);
        ASSERT_EQ(r.status, row.status) << r.reason.toStdString();
        EXPECT_EQ(chainCount(r.elements), row.chains);
        if (row.chains == 0)
            continue;
        const Bounds b = boundsOf(r.elements);
        EXPECT_NEAR(b.left, row.bounds.left, 1.0);
        EXPECT_NEAR(b.top, row.bounds.top, 1.0);
        EXPECT_NEAR(b.right, row.bounds.right, 1.0);
        EXPECT_NEAR(b.bottom, row.bounds.bottom, 1.0);
    }
}

TEST(TraceTarget, ACentreLineClickKeepsTheStrokeUnderIt)
{
    const Dib dib = trace_scene::toDib(targetPicture(), false);
    TraceSettings settings;
    settings.mode = TraceSettings::Mode::Centerline;
    const TraceResult r = traceTarget(dib.rec(), settings, click(700, 255));
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    const Bounds b = boundsOf(r.elements);
    EXPECT_NEAR(b.top, 255, 1.0);
    EXPECT_NEAR(b.bottom, 255, 1.0);
    EXPECT_GT(b.right - b.left, 1300);
}
