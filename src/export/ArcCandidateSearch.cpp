#include "export/ArcCandidateSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Half a unit in the last place of a double, the relative error of one rounded operation.
constexpr double Unit = std::numeric_limits<double>::epsilon() / 2;

// Outside this range of magnitudes the error bounds below no longer hold (squares overflow or
// fall into the subnormal range), so the walk decides.
constexpr double SmallestScale = 1e-130;
constexpr double LargestScale = 1e130;

// How many candidates on each side of the projection are compared directly.
constexpr int Window = 1;

// k / 1000 for every candidate, divided once when the program is built: the same doubles the
// walk divides out every time, since a constant division rounds as the one at run time does.
struct CandidateScales
{
    double s[2 * MaxArcCandidate + 1] {};
    constexpr CandidateScales()
    {
        for (int k = -MaxArcCandidate; k <= MaxArcCandidate; ++k)
            s[k + MaxArcCandidate] = k / 1000.0;
    }
};
constexpr CandidateScales Scales;

// candidateDistance() with the scale from the table; the same operations on the same values.
double tableDistance(const ArcCandidateProblem &p, int k)
{
    const double s = Scales.s[k + MaxArcCandidate];
    const double dx = (p.c.x + s * p.w.x) - p.m.x;
    const double dy = (p.c.y + s * p.w.y) - p.m.y;
    return std::sqrt(dx * dx + dy * dy);
}

// std::nearbyint in the default rounding mode, without a library call: adding and taking away
// 2^52 (with the value's sign) rounds a smaller magnitude to a whole number, halves to even.
double nearestWhole(double x)
{
    if (!(std::fabs(x) < 0x1p52))
        return x; // already whole, or not a number
    const double shift = std::copysign(0x1p52, x);
    return (x + shift) - shift;
}

} // namespace

TPointD candidatePoint(const ArcCandidateProblem &p, int k)
{
    const double s = Scales.s[k + MaxArcCandidate];
    return { p.c.x + s * p.w.x, p.c.y + s * p.w.y };
}

int literalCandidate(const ArcCandidateProblem &p)
{
    int best = MaxArcCandidate;
    double bestDistance = candidateDistance(p, best);
    for (int k = MaxArcCandidate - 1; k >= -MaxArcCandidate; --k) {
        const double d = candidateDistance(p, k);
        if (d < bestDistance) {
            best = k;
            bestDistance = d;
        }
    }
    return best;
}

int closedFormCandidate(const ArcCandidateProblem &p, bool *fellBack)
{
    auto fallBack = [&]() {
        if (fellBack)
            *fellBack = true;
        return literalCandidate(p);
    };
    if (fellBack)
        *fellBack = false;

    // Every computed distance differs from the true distance to the (exact) candidate point by at
    // most a few units of the magnitudes that enter it: the rounding of s * w, of C + s * w and of
    // the difference to M on each axis, and a relative error of the squares, their sum and the
    // root. `axisError` bounds the first part for both axes together.
    const double scaleX = std::fabs(p.c.x) + std::fabs(p.w.x) + std::fabs(p.m.x);
    const double scaleY = std::fabs(p.c.y) + std::fabs(p.w.y) + std::fabs(p.m.y);
    const double scale = scaleX + scaleY;
    if (!(scale >= SmallestScale && scale <= LargestScale))
        return fallBack();
    const double ww = p.w.x * p.w.x + p.w.y * p.w.y;
    if (!(ww > 0))
        return fallBack();
    const double projection = ((p.m.x - p.c.x) * p.w.x + (p.m.y - p.c.y) * p.w.y) / ww;
    if (!std::isfinite(projection))
        return fallBack();

    const double nearest = std::clamp(
        nearestWhole(projection * 1000.0), double(-MaxArcCandidate), double(MaxArcCandidate));
    const int centre = static_cast<int>(nearest);
    const double axisError = 8 * Unit * scale;
    auto margin = [&](double edgeDistance) { return axisError + 8 * Unit * edgeDistance + 1e-150; };

    // The usual case, with a candidate on each side of the projection and more beyond them: the
    // window's choice can only stand when it is the middle one and both neighbours are farther
    // beyond doubt (the proof is explained below), so that is all there is to test, without a
    // branch on which distance is smaller.
    if (centre > -MaxArcCandidate + 1 && centre < MaxArcCandidate - 1) {
        const double below = tableDistance(p, centre - 1);
        const double middle = tableDistance(p, centre);
        const double above = tableDistance(p, centre + 1);
        const bool aboveFarther = above - middle > margin(above);
        const bool belowFarther = below - middle > margin(below);
        return aboveFarther && belowFarther ? centre : fallBack();
    }

    const int lo = std::max(-MaxArcCandidate, centre - Window);
    const int hi = std::min(MaxArcCandidate, centre + Window);

    // The distances first, independent of each other, then the choice in the walk's order: from
    // the largest k down, a later candidate only replaces the choice when strictly nearer.
    double distance[2 * Window + 1];
    for (int k = lo; k <= hi; ++k)
        distance[k - lo] = tableDistance(p, k);
    int best = hi;
    for (int k = hi - 1; k >= lo; --k) {
        if (distance[k - lo] < distance[best - lo])
            best = k;
    }

    // A candidate outside the window can neither beat nor tie the best one when the distance
    // grows, beyond doubt, from the window's last candidate to its edge candidate, and the edge
    // candidate lies beyond doubt farther than the best one. The true distance is convex along the
    // bisector, so once it grows it keeps growing; `margin` covers the rounding of both values
    // compared and of any candidate farther out.
    auto provenMinimum = [&](int edge, int inner) {
        const double dEdge = distance[edge - lo];
        return dEdge - distance[inner - lo] > margin(dEdge)
            && dEdge - distance[best - lo] > margin(dEdge);
    };
    if (hi < MaxArcCandidate && (best == hi || !provenMinimum(hi, hi - 1)))
        return fallBack();
    if (lo > -MaxArcCandidate && (best == lo || !provenMinimum(lo, lo + 1)))
        return fallBack();
    return best;
}
