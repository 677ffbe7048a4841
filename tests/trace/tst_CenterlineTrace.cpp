#include "TraceScene.h"
#include "trace/CenterlineTrace.h"
#include "trace/OutlineTrace.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace trace_scene;

namespace {

constexpr double Pi = 3.14159265358979323846;

// A dense polyline through `corners`, a twentieth of a pixel apart.
QPolygonF dense(std::initializer_list<QPointF> corners)
{
    QPolygonF out;
    const std::vector<QPointF> c(corners);
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        const int n = std::max(1, int(QLineF(c[i], c[i + 1]).length() / 0.05));
        for (int k = 0; k < n; ++k)
            out << c[i] + (c[i + 1] - c[i]) * (double(k) / n);
    }
    out << c.back();
    return out;
}

QPolygonF arc(QPointF centre, double r, double from, double to)
{
    QPolygonF out;
    const int n = int(std::abs(to - from) * Pi / 180 * r / 0.05);
    for (int i = 0; i <= n; ++i) {
        const double a = (from + (to - from) * i / n) * Pi / 180;
        out << centre + QPointF(r * std::cos(a), r * std::sin(a));
    }
    return out;
}

struct Junction
{
    QPointF at;
    int strokes; // chains that must end there
};

// A sheet of line drawing at 300 dpi: a T and an X junction, a corner, a curve, and two loops.
struct Drawing
{
    std::vector<Stroke> strokes;
    std::vector<Junction> junctions;
    int openChains = 0, closedChains = 0;
};

Drawing drawing()
{
    Drawing d;
    // T: a bar and a stem that meets its middle.
    d.strokes.push_back({ dense({ { 40.3, 60.6 }, { 260.3, 60.6 } }), 6 });
    d.strokes.push_back({ dense({ { 150.3, 60.6 }, { 150.3, 220.2 } }), 6 });
    d.junctions.push_back({ { 150.3, 60.6 }, 3 });
    // X: two lines crossing at 66 degrees.
    d.strokes.push_back({ dense({ { 320.4, 40.7 }, { 500.1, 230.2 } }), 4 });
    d.strokes.push_back({ dense({ { 300.2, 190.9 }, { 530.6, 110.3 } }), 4 });
    d.junctions.push_back({ { 422.3207, 148.1790 }, 4 });
    // A corner of 70 degrees in a wide stroke, and a thin curve.
    d.strokes.push_back({ dense({ { 60.2, 300.4 }, { 220.7, 330.1 }, { 120.5, 460.3 } }), 8 });
    d.strokes.push_back({ arc({ 400.3, 400.6 }, 90.2, 200, 340), 3 });
    d.openChains = 3 + 4 + 1 + 1; // the arms of the T and the X, the corner, the curve
    // Loops: a rectangle with rounded-off corners and a circle.
    QPolygonF frame = dense(
        { { 60.5, 540.5 }, { 240.5, 540.5 }, { 240.5, 680.5 }, { 60.5, 680.5 }, { 60.5, 540.5 } });
    d.strokes.push_back({ frame, 5, true });
    d.strokes.push_back({ arc({ 400.4, 610.7 }, 60.3, 0, 360), 4, true });
    d.closedChains = 2;
    return d;
}

// Distance to the nearest true centre line; an open line goes out and back, so the grid's
// closing segment has no length.
BoundaryDistance truth(const Drawing &d)
{
    std::vector<QPolygonF> lines;
    for (const Stroke &s : d.strokes) {
        QPolygonF there = s.line;
        if (!s.closed)
            there.append(QPolygonF(QList<QPointF>(s.line.rbegin(), s.line.rend())));
        lines.push_back(there);
    }
    return BoundaryDistance(lines);
}

TEST(CenterlineTrace, FollowsTheMiddleOfTheStrokesAndKeepsJunctionsJoined)
{
    const Drawing d = drawing();
    const BoundaryDistance toTruth = truth(d);
    struct Row
    {
        const char *name;
        Look look;
    };
    const Row rows[] = {
        { "clean", {} },
        { "noise", { 255, 0, 0, 10, false } },
        { "blur", { 255, 0, 0.8, 0, false } },
        { "grey background", { 190, 50, 0, 0, false } },
        { "one bit", { 255, 0, 0, 0, true } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Dib dib = toDib(paint(d.strokes, 560, 740, row.look), row.look.oneBit);
        const TraceResult r = traceCenterline(dib.rec(), TraceSettings {});
        ASSERT_TRUE(r.ok()) << r.reason.toStdString();

        // Chains: counted from 0, connected, only loops closed.
        int open = 0, closed = 0;
        std::vector<TPointD> ends;
        for (std::size_t i = 0; i < r.elements.size(); ++i) {
            const TDrawElement &e = r.elements[i];
            EXPECT_TRUE(e.Kind == KindLine || e.Kind == KindCubicBezier);
            const bool last = i + 1 == r.elements.size() || r.elements[i + 1].ChainPos == 0;
            if (e.ChainPos > 0)
                EXPECT_TRUE(e.Start == r.elements[i - 1].End);
            else
                ends.push_back(e.Start);
            EXPECT_TRUE(!e.ClosesChain || last);
            if (last) {
                if (e.ClosesChain)
                    ++closed;
                else
                    ++open, ends.push_back(e.End);
            }
        }
        // No spurs and no strokes broken up: exactly the arms, curves and loops drawn.
        EXPECT_EQ(open, d.openChains);
        EXPECT_EQ(closed, d.closedChains);

        double worst = 0, sum = 0;
        std::size_t count = 0;
        for (const auto &chain : flatten(r.elements, 0.25)) {
            for (QPointF p : chain) {
                const double dist = toTruth(p);
                worst = std::max(worst, dist);
                sum += dist;
                ++count;
            }
        }
        printf("%-16s max %.3f mean %.3f\n", row.name, worst, sum / double(count));
        EXPECT_LE(worst, 0.75);
        EXPECT_LE(sum / double(count), 0.3);

        // Every chain that reaches a junction ends at one and the same point, bit for bit.
        for (const Junction &j : d.junctions) {
            std::vector<TPointD> there;
            for (TPointD p : ends) {
                if (std::hypot(p.x - j.at.x(), p.y - j.at.y()) < 4)
                    there.push_back(p);
            }
            ASSERT_EQ(int(there.size()), j.strokes) << j.at.x();
            for (TPointD p : there)
                EXPECT_EQ(0, std::memcmp(&p, &there.front(), sizeof p));
        }
    }
}

TEST(CenterlineTrace, ATallPictureTracesAlikeInEveryDepthAndRegion)
{
    // Three copies of the drawing one above the other: a picture taller than the bands of rows
    // a trace reads at a time. Read as 8-bit grey, as 24-bit colour and as a region holding
    // the middle copy only, it must give the strokes where they were drawn, in either mode.
    Drawing d = drawing();
    constexpr int Copies = 3, Height = 740;
    const std::size_t drawn = d.strokes.size();
    for (int c = 1; c < Copies; ++c) {
        for (std::size_t i = 0; i < drawn; ++i) {
            Stroke s = d.strokes[i];
            s.line.translate(0, c * Height);
            d.strokes.push_back(s);
        }
    }
    const BoundaryDistance toTruth = truth(d);
    const QImage grey = paint(d.strokes, 560, Copies * Height, {});
    Dib rgb = Dib::create(grey.width(), grey.height(), 24);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x)
            setpixel(rgb.rec(), x, grey.height() - 1 - y,
                std::uint32_t(grey.constScanLine(y)[x] * 0x010101));
    }
    TraceSettings middle;
    middle.region = QRect(0, Height, 560, Height);
    struct Row
    {
        const char *name;
        const Dib dib;
        TraceSettings settings;
        int copies;
    };
    const Row rows[] = {
        { "grey", toDib(grey, false), {}, Copies },
        { "colour", std::move(rgb), {}, Copies },
        { "middle region", toDib(grey, false), middle, 1 },
    };
    // Outlines too: as many closed chains per copy as one copy alone gives.
    const std::size_t outlinesOfOne = flatten(
        traceOutline(toDib(paint(drawing().strokes, 560, Height, {}), false).rec(), {}).elements,
        1.0)
                                          .size();
    std::vector<TDrawElement> first;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const TraceResult r = traceCenterline(row.dib.rec(), row.settings);
        ASSERT_TRUE(r.ok()) << r.reason.toStdString();
        int chains = 0;
        double worst = 0;
        for (const auto &chain : flatten(r.elements, 0.25)) {
            ++chains;
            for (QPointF p : chain)
                worst = std::max(worst, toTruth(p));
        }
        EXPECT_EQ(chains, row.copies * (d.openChains + d.closedChains));
        const TraceResult outlines = traceOutline(row.dib.rec(), row.settings);
        EXPECT_EQ(flatten(outlines.elements, 1.0).size(), std::size_t(row.copies) * outlinesOfOne);
        EXPECT_LE(worst, 0.75);
        if (first.empty()) {
            first = r.elements;
        } else if (row.copies == Copies) {
            ASSERT_EQ(r.elements.size(), first.size());
            EXPECT_EQ(0,
                std::memcmp(r.elements.data(), first.data(), first.size() * sizeof(TDrawElement)));
        }
    }
}

} // namespace
