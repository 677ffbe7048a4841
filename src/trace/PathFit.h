#pragma once

#include "trace/Outline.h"

#include <vector>

// Fits a line of points with straight lines and cubic curves that stay within `tolerance` of
// every point. The path splits at corners (turns sharper than about fifty degrees over
// `cornerSpan` points on either side), each part becomes a line where one fits and otherwise
// curves fitted by least squares, split where they miss a point. The first and last points are
// kept exactly; a closed path ends where it starts.
std::vector<OutlinePiece> fitPath(
    const std::vector<TPointD> &points, bool closed, double tolerance, std::size_t cornerSpan);

// The straight line that fits points best (least squares across it): through their mean along
// `direction`, missing the farthest point by `worst`.
struct FittedLine
{
    TPointD mean {};
    TPointD direction {};
    double worst = 0;
};
FittedLine fitLine(const TPointD *first, const TPointD *last);
