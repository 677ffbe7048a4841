#include "trace/EdgeRefiner.h"

#include <algorithm>
#include <cmath>

// Corners: where two edges meet at an angle rather than blend. Potrace rounds many of them off;
// these parts of the refiner find them again and fit the edges beside them.

namespace {

// Near a sharp corner the grey levels belong to both edges, so line fits leave that part out.
constexpr double CornerClearance = 1.2;
// Length of edge on either side of a corner that is fitted to find it.
constexpr double SideWindow = 4.0;
// Potrace makes each curve from two edges of its polygon and the vertex v where they meet: the
// handles point at v. A curve that turns by a large angle within a pixel or two of v (more
// where the edges are blurred) is a sharp corner which potrace's smoothing, or the blur, rounded
// off, when the edges on either side are straight.
constexpr double CornerRadius = 2.5;
constexpr double CornerTurn = 0.7; // radians, about 40 degrees
// A curve that turns by more than this within its last pixels ends in a hook.
constexpr double HookLength = 2.5;
constexpr double HookTurn = 0.5; // radians, about 30 degrees

// Straight enough to lie beside a corner: a line, or a curve that turns more slowly than a
// circle of a few times the corner radius.
bool isStraight(const OutlinePiece &p, double edgeWidth)
{
    if (p.line)
        return true;
    const double length = norm(p.c1 - p.p0) + norm(p.c2 - p.c1) + norm(p.p3 - p.c2);
    return turnOf(p.tangent(0), p.tangent(1)) < length / (3 * CornerRadius * edgeWidth);
}

// Where the handle lines of a curve meet, when the curve turns sharply so close to that point
// that it stands for a corner.
bool roundedCorner(const OutlinePiece &p, double edgeWidth, TPointD &v)
{
    if (p.line)
        return false;
    const TPointD d0 = unit(p.c1 - p.p0), d3 = unit(p.p3 - p.c2);
    const double sine = cross(d0, d3);
    const double turn = turnOf(d0, d3);
    if (turn < CornerTurn || std::abs(sine) < 1e-9)
        return false;
    v = p.p0 + (cross(p.p3 - p.p0, d3) / sine) * d0;
    const double reach = std::min(norm(v - p.p0), norm(v - p.p3));
    return dot(v - p.p0, d0) > 0 && dot(p.p3 - v, d3) > 0
        && reach / std::tan(turn / 2) < CornerRadius * edgeWidth;
}

} // namespace

// How far from a corner the grey levels belong to one edge only: where the two edges are more
// than two and a half pixels apart. `turn` is the change of direction at the corner.
// `edgeWidth` is how many pixels the change from ink to paper takes (about 1 when sharp).
double EdgeRefiner::cornerClearance(double turn, double edgeWidth)
{
    const double halfInterior = (3.14159265358979 - turn) / 2;
    return std::clamp(
        (0.75 + edgeWidth / 2) / std::max(std::sin(halfInterior), 1e-3), CornerClearance, 8.0);
}

EdgeRefiner::LineFit EdgeRefiner::fitSide(const Outline &o,
    const std::vector<std::vector<Sample>> &samples, const std::vector<double> &lengths,
    const std::vector<double> &clearances, std::size_t joint, bool forward) const
{
    const std::size_t n = o.pieces.size();
    const double clearance = clearances[joint];
    std::vector<TPointD> used;
    double before = 0; // outline length between the joint and the piece in hand
    for (std::size_t step = 0; step < n && before < clearance + SideWindow; ++step) {
        const std::size_t k = forward ? (joint + step) % n : (joint + n - 1 - step) % n;
        // The next corner ends this side, and the part next to it is left out as well.
        const bool cornerAhead =
            forward ? o.pieces[k].cornerAtEnd : o.pieces[(k + n - 1) % n].cornerAtEnd;
        const double otherClear = cornerAhead ? clearances[forward ? (k + 1) % n : k] : 0;
        for (const Sample &s : samples[k]) {
            const double d = before + (forward ? s.t : 1 - s.t) * lengths[k];
            const double toOther = (forward ? 1 - s.t : s.t) * lengths[k];
            if (s.valid && d >= clearance && d <= clearance + SideWindow && toOther >= otherClear)
                used.push_back(s.q);
        }
        before += lengths[k];
        if (cornerAhead)
            break;
    }
    if (!forward)
        std::reverse(used.begin(), used.end());
    const OutlinePiece &near = forward ? o.pieces[joint] : o.pieces[(joint + n - 1) % n];
    LineFit fit;
    fit.ok = used.size() >= 3
        && fitPoints(used, forward ? near.tangent(0) : near.tangent(1), fit.point, fit.dir);
    return fit;
}

void EdgeRefiner::sharpenCorners(
    Outline &o, std::vector<std::vector<Sample>> &samples, double width, bool inkLeft) const
{
    const std::size_t n = o.pieces.size();
    if (n < 3)
        return;
    // A long curve with handles shorter than the blur of an edge is a straight edge that potrace
    // bent towards the corners at its ends; as a line it leaves those corners to the curves
    // beside it.
    for (std::size_t i = 0; i < n; ++i) {
        OutlinePiece &p = o.pieces[i];
        if (!p.line && norm(p.p3 - p.p0) > 3 * width && norm(p.c1 - p.p0) < 0.75 * width
            && norm(p.p3 - p.c2) < 0.75 * width) {
            p.line = true;
            samples[i] = samplePiece(p, inkLeft);
        }
    }
    std::vector<bool> candidate(n);
    std::vector<TPointD> corner(n);
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        candidate[i] = roundedCorner(o.pieces[i], width, corner[i]);
        any = any || candidate[i];
    }
    if (!any)
        return;
    // Start behind a piece that is no candidate, so a corner rounded by two pieces is never
    // cut in two by the end of the loop.
    std::size_t first = 0;
    while (first < n && candidate[first])
        ++first;
    if (first == n)
        return; // every piece turns sharply: a small round shape, not a polygon
    first = (first + 1) % n;
    std::vector<OutlinePiece> pieces;
    std::vector<std::vector<Sample>> sampled;
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = (first + step) % n, next = (i + 1) % n;
        const OutlinePiece &p = o.pieces[i];
        // Potrace often rounds one corner with two curves; they become one corner.
        const bool pair =
            candidate[i] && step + 1 < n && candidate[next] && norm(corner[i] - corner[next]) < 3;
        const std::size_t last = pair ? next : i;
        const OutlinePiece &before = o.pieces[(i + n - 1) % n], &after = o.pieces[(last + 1) % n];
        if (candidate[i] && (isStraight(before, width) || isStraight(after, width))) {
            TPointD v = corner[i];
            const OutlinePiece &q = o.pieces[last];
            if (pair) {
                const TPointD d0 = unit(p.c1 - p.p0), d3 = unit(q.p3 - q.c2);
                const double sine = cross(d0, d3);
                if (std::abs(sine) > 0.1)
                    v = p.p0 + (cross(q.p3 - p.p0, d3) / sine) * d0;
            }
            const OutlinePiece in { true, true, p.p0, {}, {}, v };
            const OutlinePiece out { true, q.cornerAtEnd, v, {}, {}, q.p3 };
            for (const OutlinePiece &l : { in, out }) {
                pieces.push_back(l);
                sampled.push_back(samplePiece(l, inkLeft));
            }
            if (pair)
                ++step;
        } else {
            pieces.push_back(p);
            sampled.push_back(std::move(samples[i]));
        }
    }
    o.pieces = std::move(pieces);
    samples = std::move(sampled);
}

void EdgeRefiner::findHiddenCorners(Outline &o, const std::vector<std::vector<Sample>> &samples,
    const std::vector<double> &lengths, std::vector<double> &clearance, double width) const
{
    // Potrace also rounds a corner by ending a curve with a handle shorter than the blur of the
    // edge, bent towards the next edge. Where the edges on both sides of such a joint, fitted
    // clear of it, meet at a large angle, the joint is a corner.
    const std::size_t n = o.pieces.size();
    const double shortHandle = 0.75 * width;
    for (std::size_t i = 0; i < n; ++i) {
        OutlinePiece &prev = o.pieces[(i + n - 1) % n];
        const OutlinePiece &cur = o.pieces[i];
        if (prev.cornerAtEnd || (prev.line && cur.line))
            continue;
        // A hook also turns sharply within its last pixels, which a curve that is merely
        // drawn with a short handle does not.
        const double back = std::min(0.5, HookLength / std::max(lengths[(i + n - 1) % n], 1e-9));
        const double ahead = std::min(0.5, HookLength / std::max(lengths[i], 1e-9));
        const bool hook = (!prev.line && norm(prev.p3 - prev.c2) < shortHandle
                              && turnOf(prev.tangent(1 - back), prev.tangent(1)) > HookTurn)
            || (!cur.line && norm(cur.c1 - cur.p0) < shortHandle
                && turnOf(cur.tangent(0), cur.tangent(ahead)) > HookTurn);
        if (!hook)
            continue;
        // First guess a right angle, then fit again clear of the corner the fits show.
        clearance[i] = cornerClearance(1.5708, width);
        LineFit in = fitSide(o, samples, lengths, clearance, i, false);
        LineFit out = fitSide(o, samples, lengths, clearance, i, true);
        const double turn = in.ok && out.ok ? turnOf(in.dir, out.dir) : 0;
        if (turn < CornerTurn) {
            clearance[i] = 0;
            continue;
        }
        prev.cornerAtEnd = true;
        clearance[i] = cornerClearance(turn, width);
    }
}
