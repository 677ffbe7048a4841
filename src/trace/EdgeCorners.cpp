#include "trace/EdgeRefiner.h"

#include <algorithm>
#include <cmath>

// Corners: where two edges meet at an angle rather than blend. Potrace rounds many of them off;
// these parts of the refiner find them again and fit the edges beside them.

namespace {

// Near a sharp corner the grey levels belong to both edges, so line fits leave that part out.
constexpr double CornerClearance = 1.2;
// Lengths of edge on either side of a corner that are fitted to find it, the longest first: the
// longest over which potrace's pieces stay within StraightTolerance of a line is taken.
constexpr double SideWindows[] = { 12.0, 8.0, 4.0 };
constexpr double StraightTolerance = 0.1;
// Potrace makes each curve from two edges of its polygon and the vertex v where they meet: the
// handles point at v. A curve that turns by a large angle within a pixel or two of v (more
// where the edges are blurred) is a sharp corner which potrace's smoothing, or the blur, rounded
// off, when the edges on either side are straight.
constexpr double CornerRadius = 2.5;
constexpr double CornerTurn = 0.7; // radians, about 40 degrees
// A curve that turns by more than this within its last pixels ends in a hook.
constexpr double HookLength = 2.5;
constexpr double HookTurn = 0.5; // radians, about 30 degrees
// A bar's end is rounded over a few pieces no longer than these many edge widths plus a few
// pixels, between two edges at least this long whose directions are nearly opposite.
constexpr double EndPiece = 1.5, EndPieceExtra = 2.0;
constexpr double EndRun = 3.0, EndRunExtra = 6.0;
constexpr double BarSide = 3.0, BarSideExtra = 4.0;
constexpr double OppositeCos = -0.87; // 150 degrees
// The end is straight between its corners when the edge places there lie this close to a line;
// near the corners blur bends them in by at most these many edge widths, plus the sample
// spacing. A round end of the same width lies farther in.
constexpr double EndStraight = 0.25;
constexpr double EndClearWidths = 0.8;
constexpr double CornerInset = 0.4, CornerInsetExtra = 0.25;

TPointD intersect(TPointD p, TPointD d, TPointD q, TPointD e)
{
    return p + (cross(q - p, e) / cross(d, e)) * d;
}

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
    struct Place
    {
        TPointD q; // the edge place
        TPointD onPiece; // where the sample started, on potrace's piece
        double d; // outline length from the joint
    };
    std::vector<Place> found;
    double before = 0; // outline length between the joint and the piece in hand
    for (std::size_t step = 0; step < n && before < clearance + SideWindows[0]; ++step) {
        const std::size_t k = forward ? (joint + step) % n : (joint + n - 1 - step) % n;
        // The next corner ends this side, and the part next to it is left out as well.
        const bool cornerAhead =
            forward ? o.pieces[k].cornerAtEnd : o.pieces[(k + n - 1) % n].cornerAtEnd;
        const double otherClear = cornerAhead ? clearances[forward ? (k + 1) % n : k] : 0;
        for (const Sample &s : samples[k]) {
            const double d = before + (forward ? s.share : 1 - s.share) * lengths[k];
            const double toOther = (forward ? 1 - s.share : s.share) * lengths[k];
            if (s.valid && d >= clearance && d <= clearance + SideWindows[0]
                && toOther >= otherClear)
                found.push_back({ s.q, s.q - s.offset * s.normal, d });
        }
        before += lengths[k];
        if (cornerAhead)
            break;
    }
    if (!forward)
        std::reverse(found.begin(), found.end());
    const OutlinePiece &near = forward ? o.pieces[joint] : o.pieces[(joint + n - 1) % n];
    const TPointD along = forward ? near.tangent(0) : near.tangent(1);
    // The longest window over which potrace's pieces run straight: a longer edge fixes the
    // direction better, which counts at a sharp corner, where a small error in direction moves
    // the intersection far; on a curved side it would tilt the line.
    std::vector<TPointD> used, path;
    LineFit fit;
    for (double window : SideWindows) {
        used.clear();
        path.clear();
        for (const Place &p : found) {
            if (p.d <= clearance + window) {
                used.push_back(p.q);
                path.push_back(p.onPiece);
            }
        }
        TPointD point, dir;
        if (window != SideWindows[std::size(SideWindows) - 1]) {
            if (!fitPoints(path, along, point, dir))
                continue;
            double off = 0;
            for (TPointD q : path)
                off = std::max(off, std::abs(cross(q - point, dir)));
            if (off > StraightTolerance)
                continue;
        }
        fit.ok = used.size() >= 3 && fitPoints(used, along, fit.point, fit.dir);
        break;
    }
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
    // Potrace often rounds one corner with two curves, which then become one corner. The loop
    // starts where no such pair begins behind it, so the end of the loop never cuts one in two.
    const auto pairs = [&](std::size_t i) {
        const std::size_t next = (i + 1) % n;
        return candidate[i] && candidate[next] && norm(corner[i] - corner[next]) < 3;
    };
    std::size_t first = 0;
    while (first < n && pairs((first + n - 1) % n))
        ++first;
    if (first == n)
        return; // every corner found is half of one: a small round shape, not a polygon
    std::vector<OutlinePiece> pieces;
    std::vector<std::vector<Sample>> sampled;
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = (first + step) % n, next = (i + 1) % n;
        const OutlinePiece &p = o.pieces[i];
        const bool pair = step + 1 < n && pairs(i);
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

std::vector<EdgeRefiner::Pin> EdgeRefiner::squareEnds(
    Outline &o, std::vector<std::vector<Sample>> &samples, double width, bool inkLeft) const
{
    const std::size_t n = o.pieces.size();
    std::vector<Pin> none(n);
    if (n < 3)
        return none;
    std::vector<double> lengths(n);
    std::vector<bool> shortPiece(n);
    for (std::size_t i = 0; i < n; ++i) {
        lengths[i] = o.pieces[i].length();
        shortPiece[i] = lengths[i] < EndPiece * width + EndPieceExtra;
    }
    std::size_t start = 0; // a piece that belongs to no end, where the walk round begins
    while (start < n && shortPiece[start])
        ++start;
    if (start == n)
        return none;

    struct End
    {
        std::size_t first, last; // the pieces of the rounded end
        TPointD x1, x2, dir1, dir, dir2;
    };
    std::vector<End> ends;
    std::vector<double> clearance(n, 0.0);
    const double clear = cornerClearance(1.5708, width);
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = (start + step) % n;
        if (shortPiece[i] || !shortPiece[(i + 1) % n])
            continue;
        std::size_t j = (i + 1) % n;
        double run = 0;
        while (shortPiece[j]) {
            run += lengths[j];
            j = (j + 1) % n;
        }
        const std::size_t first = (i + 1) % n, last = (j + n - 1) % n;
        const double side = BarSide * width + BarSideExtra;
        if (run > EndRun * width + EndRunExtra || lengths[i] < side || lengths[j] < side)
            continue;
        clearance[first] = clearance[j] = clear;
        const LineFit in = fitSide(o, samples, lengths, clearance, first, false);
        const LineFit out = fitSide(o, samples, lengths, clearance, j, true);
        clearance[first] = clearance[j] = 0;
        if (!in.ok || !out.ok || dot(in.dir, out.dir) > OppositeCos)
            continue;
        // The end itself, fitted where neither side bends its edge level.
        std::vector<TPointD> places;
        for (std::size_t k = first;; k = (k + 1) % n) {
            for (const Sample &s : samples[k]) {
                if (s.valid && std::abs(cross(s.q - in.point, in.dir)) >= EndClearWidths * width
                    && std::abs(cross(s.q - out.point, out.dir)) >= EndClearWidths * width)
                    places.push_back(s.q);
            }
            if (k == last)
                break;
        }
        TPointD point, dir;
        if (places.size() < 3
            || !fitPoints(places, o.pieces[j].p0 - o.pieces[first].p0, point, dir))
            continue;
        bool straight = true;
        for (TPointD q : places)
            straight = straight && std::abs(cross(q - point, dir)) <= EndStraight;
        if (!straight || std::abs(cross(in.dir, dir)) < 0.5 || std::abs(cross(dir, out.dir)) < 0.5)
            continue;
        const TPointD x1 = intersect(in.point, in.dir, point, dir);
        const TPointD x2 = intersect(point, dir, out.point, out.dir);
        if (norm(x1 - o.pieces[first].p0) > 2 * clear + 1
            || norm(x2 - o.pieces[j].p0) > 2 * clear + 1)
            continue;
        // A square corner leaves edge places close to it, on the end or on the side; a round
        // end does not.
        double near1 = 1e9, near2 = 1e9;
        for (std::size_t k = i;; k = (k + 1) % n) {
            for (const Sample &s : samples[k]) {
                if (s.valid) {
                    near1 = std::min(near1, norm(s.q - x1));
                    near2 = std::min(near2, norm(s.q - x2));
                }
            }
            if (k == j)
                break;
        }
        const double inset = CornerInset * width + CornerInsetExtra;
        if (near1 > inset || near2 > inset)
            continue;
        ends.push_back({ first, last, x1, x2, in.dir, dir, out.dir });
    }
    if (ends.empty())
        return none;

    // The pieces once more, each end replaced by one line.
    std::vector<OutlinePiece> pieces;
    std::vector<std::vector<Sample>> sampled;
    std::vector<Pin> pins;
    std::size_t e = 0;
    // Ends are found in walking order from `start`, which lies in none of them.
    for (std::size_t step = 0; step < n; ++step) {
        const std::size_t i = (start + step) % n;
        if (e < ends.size() && i == ends[e].first) {
            const End &end = ends[e++];
            pieces.back().cornerAtEnd = true;
            pieces.back().p3 = end.x1;
            const OutlinePiece line { true, true, end.x1, {}, {}, end.x2 };
            pieces.push_back(line);
            sampled.push_back(samplePiece(line, inkLeft));
            pins.push_back({ true, end.x1, end.dir1, end.dir });
            while ((start + step) % n != end.last)
                ++step;
            // The piece after the end starts at the second corner; it may be the first one.
            const Pin second { true, end.x2, end.dir, end.dir2 };
            if (step + 1 == n) {
                pieces.front().p0 = end.x2;
                pins.front() = second;
            } else {
                ++step;
                const std::size_t after = (start + step) % n;
                pieces.push_back(o.pieces[after]);
                pieces.back().p0 = end.x2;
                sampled.push_back(std::move(samples[after]));
                pins.push_back(second);
            }
            continue;
        }
        pieces.push_back(o.pieces[i]);
        sampled.push_back(std::move(samples[i]));
        pins.push_back({});
    }
    o.pieces = std::move(pieces);
    samples = std::move(sampled);
    return pins;
}
