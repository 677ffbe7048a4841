#pragma once

#include "document/ElementList.h"

#include <cstdint>
#include <random>

// One element as the tools leave it: every field not given is zero.
inline TDrawElement element(std::int32_t kind, std::int32_t chainPos, TPointD start, TPointD end,
    TPointD ctrl1 = {}, TPointD ctrl2 = {}, bool closes = false)
{
    TDrawElement e {};
    e.Kind = kind;
    e.ChainPos = chainPos;
    e.Start = start;
    e.End = end;
    e.Ctrl1 = ctrl1;
    e.Ctrl2 = ctrl2;
    e.ClosesChain = closes ? 1 : 0;
    return e;
}

// Random chains of `chainLength` elements of every kind in turn, each chain starting at a
// random point of the box [left, right) x [top, bottom) and moving on by up to `reach` in
// each direction; the last element of a chain closes it unless its index is a multiple of
// `openEvery`. The same engine state gives the same drawing.
template <class Random>
void appendRandomChains(TElementList &list, Random &random, int count, int chainLength, double left,
    double right, double top, double bottom, double reach, int openEvery)
{
    std::uniform_real_distribution<double> x(left, right), y(top, bottom), step(-reach, reach);
    TPointD at {};
    for (int i = 0; i < count; ++i) {
        const int chainPos = i % chainLength;
        if (chainPos == 0)
            at = { x(random), y(random) };
        const TPointD end { at.x + step(random), at.y + step(random) };
        const TPointD c1 { at.x + step(random), at.y + step(random) };
        const TPointD c2 { end.x + step(random), end.y + step(random) };
        const std::int32_t kinds[] = { KindLine, KindQuadBezier, KindCubicBezier, KindEllipse };
        *list.Append() = element(kinds[i % 4], chainPos, at, end, c1, c2,
            chainPos == chainLength - 1 && i % openEvery != 0);
        at = end;
    }
}
