#include "TraceMeasure.h"
#include "TraceScene.h"
#include "trace/CenterlineTrace.h"
#include "trace/OutlineTrace.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace trace_scene;

namespace {

TEST(CenterlineTrace, FollowsTheMiddleOfTheStrokesAndKeepsJunctionsJoined)
{
    const Drawing d = lineDrawing();
    for (const NamedLook &row : looks()) {
        SCOPED_TRACE(row.name);
        const Dib dib = toDib(paint(d.strokes, 560, 740, row.look), row.look.oneBit);
        const TraceResult r = traceCenterline(dib.rec(), TraceSettings {});
        ASSERT_TRUE(r.ok()) << r.reason.toStdString();

        // Chains: counted from 0, connected, only loops closed.
        for (std::size_t i = 0; i < r.elements.size(); ++i) {
            const TDrawElement &e = r.elements[i];
            EXPECT_TRUE(e.Kind == KindLine || e.Kind == KindCubicBezier);
            const bool last = i + 1 == r.elements.size() || r.elements[i + 1].ChainPos == 0;
            if (e.ChainPos > 0) {
                EXPECT_TRUE(e.Start == r.elements[i - 1].End);
            }
            EXPECT_TRUE(!e.ClosesChain || last);
        }
        const CenterlineFigures f = measureCenterline(d, r.elements);
        // No spurs and no strokes broken up: exactly the arms, curves and loops drawn.
        EXPECT_EQ(f.open, d.openChains);
        EXPECT_EQ(f.closed, d.closedChains);

        printf("%-22s max %.3f mean %.3f, longest stretch untraced %.2f\n", row.name, f.max,
            f.mean, f.longestMissed);
        EXPECT_LE(f.max, 0.75);
        EXPECT_LE(f.mean, 0.3);
        // Every line goes as far as the pen did: thinning shortens slanting strokes at their
        // ends, by 14 pixels on the X's arm, and the trace must win that back.
        EXPECT_LE(f.longestMissed, 2.0);

        // Every chain that reaches a junction ends at one and the same point, bit for bit.
        for (std::size_t j = 0; j < d.junctions.size(); ++j) {
            const std::vector<TPointD> &there = f.junctionEnds[j];
            ASSERT_EQ(int(there.size()), d.junctions[j].strokes) << d.junctions[j].at.x();
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
    Drawing d = lineDrawing();
    constexpr int Copies = 3, Height = 740;
    const std::size_t drawn = d.strokes.size();
    for (int c = 1; c < Copies; ++c) {
        for (std::size_t i = 0; i < drawn; ++i) {
            Stroke s = d.strokes[i];
            s.line.translate(0, c * Height);
            d.strokes.push_back(s);
        }
    }
    const BoundaryDistance toTruth = centreLines(d);
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
    const std::size_t outlinesOfOne =
        flatten(traceOutline(toDib(paint(lineDrawing().strokes, 560, Height, {}), false).rec(), {})
                    .elements,
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
