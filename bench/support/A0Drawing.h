#pragma once

// A traced plan of a million elements on an A0 sheet, shared by the benchmarks that show that
// the size of a drawing no longer matters for painting and the tools.

#include "document/ElementList.h"

#include <random>

namespace benchdrawing {

// The sheet in picture pixels: A0 at 600 dpi.
constexpr double A0Width = 19866;
constexpr double A0Height = 28087;

// Chains of eight short segments (lines, quadratic and cubic curves, now and then an ellipse),
// every third chain closed, spread evenly over the sheet.
inline void makeA0Drawing(TElementList &list, int count)
{
    std::mt19937 random(24);
    std::uniform_real_distribution<double> x(0, A0Width), y(0, A0Height), step(-20, 20);
    TPointD at {};
    for (int i = 0; i < count; ++i) {
        TDrawElement e {};
        e.ChainPos = i % 8;
        if (e.ChainPos == 0)
            at = { x(random), y(random) };
        e.Start = at;
        e.End = { at.x + step(random), at.y + step(random) };
        e.Ctrl1 = { at.x + step(random), at.y + step(random) };
        e.Ctrl2 = { e.End.x + step(random), e.End.y + step(random) };
        const std::int32_t kinds[] = { KindLine, KindQuadBezier, KindCubicBezier, KindLine,
            KindCubicBezier, KindLine, KindQuadBezier, KindEllipse };
        e.Kind = kinds[i % 8];
        e.ClosesChain = e.ChainPos == 7 && (i / 8) % 3 == 0;
        at = e.End;
        *list.Append() = e;
    }
}

} // namespace benchdrawing
