#pragma once

#include "document/DrawElement.h"

#include <cmath>
#include <vector>

// The tracer works in its own coordinates until the elements are made: x to the right from the
// traced region's left edge, y upward from its bottom edge, one unit per pixel. These are the
// coordinates of the picture's stored rows (the lowest picture row is stored first), so the
// rows can be handed to potrace and OpenCV as they lie in memory.

inline TPointD operator*(double s, TPointD p)
{
    return { s * p.x, s * p.y };
}
inline double dot(TPointD a, TPointD b)
{
    return a.x * b.x + a.y * b.y;
}
inline double cross(TPointD a, TPointD b)
{
    return a.x * b.y - a.y * b.x;
}
inline double norm(TPointD a)
{
    // Not std::hypot: its care for overflow costs several times as much, and picture
    // coordinates are far from overflowing.
    return std::sqrt(a.x * a.x + a.y * a.y);
}
inline TPointD unit(TPointD a)
{
    const double n = norm(a);
    return n > 0 ? TPointD { a.x / n, a.y / n } : TPointD { 0, 0 };
}

// The change of direction from `a` to `b`, 0 to pi.
inline double turnOf(TPointD a, TPointD b)
{
    return std::atan2(std::abs(cross(a, b)), dot(a, b));
}

// One piece of a closed outline: a straight line from p0 to p3, or a cubic curve with the
// control points c1 and c2. A piece ends where the next one starts.
struct OutlinePiece
{
    bool line = false;
    // A sharp corner lies at p3: the fitted edges meet there rather than blend.
    bool cornerAtEnd = false;
    TPointD p0 {}, c1 {}, c2 {}, p3 {};

    TPointD at(double t) const
    {
        if (line)
            return p0 + t * (p3 - p0);
        const double s = 1 - t;
        return (s * s * s) * p0 + (3 * s * s * t) * c1 + (3 * s * t * t) * c2 + (t * t * t) * p3;
    }
    // The length of a line; of a curve, the mean of its chord and its control polygon, which
    // is near enough for dividing it into samples.
    double length() const
    {
        const double chord = norm(p3 - p0);
        return line ? chord : (chord + norm(c1 - p0) + norm(c2 - c1) + norm(p3 - c2)) / 2;
    }
    TPointD tangent(double t) const
    {
        if (line)
            return p3 - p0;
        const double s = 1 - t;
        return (3 * s * s) * (c1 - p0) + (6 * s * t) * (c2 - c1) + (3 * t * t) * (p3 - c2);
    }
};

// A closed boundary between ink and paper.
struct Outline
{
    std::vector<OutlinePiece> pieces;
    // An axis-parallel ellipse that replaces the pieces, when one fits (see EllipseFit.h).
    bool isEllipse = false;
    TPointD centre {};
    double radiusX = 0;
    double radiusY = 0;
};
