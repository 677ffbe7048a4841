#pragma once

#include "document/ElementList.h"

#include <cstdint>

// Index of the chain start that an element belongs to: the nearest element at or before
// `index` whose ChainPos is 0, or -1 when there is none. Leaves the list's cursor alone.
std::int32_t chainStartIndex(const TElementList &list, std::int32_t index);

// The two control points of a quadratic Bezier raised to a cubic:
// C1 = Start + (Ctrl - Start) * 2 / 3, C2 = Ctrl + (End - Ctrl) / 3.
struct CubicControls
{
    TPointD c1;
    TPointD c2;
};
CubicControls raiseQuadratic(TPointD start, TPointD ctrl, TPointD end);

// The number of defining points of a kind that takes part in hit tests and painting:
// Start and End always, Ctrl1 for Bezier curves, Ctrl2 for cubic ones.
bool usesCtrl1(std::int32_t kind);
bool usesCtrl2(std::int32_t kind);
