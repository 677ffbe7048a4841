#include "export/Biarc.h"

#include <algorithm>
#include <cmath>

namespace {

// Pieces are never halved below this share of the curve, which also bounds the work on a curve
// that fits nowhere (coordinates so large that the tolerance drowns in rounding).
constexpr double MinSpan = 1.0 / (1 << 16);
// Curve points measured per piece, and points of each arc measured against them.
constexpr int Samples = 16;
constexpr int ArcSamples = 3;
// Steps towards the foot of a perpendicular on the curve, from a sample a sixteenth of the piece
// away at most.
constexpr int NewtonSteps = 2;
// An arc of a fit turns by less than a half circle (0.98 of one: the cosine of half its turn is
// at least that of 0.49 pi), which keeps the sweep test below simple and the bulge small.
constexpr double MinCosine = 0.0314107590781283;
// The share of the tolerance the samples may use: the rest covers the curve between them.
constexpr double SampleShare = 0.95;

double dot(TPointD a, TPointD b)
{
    return a.x * b.x + a.y * b.y;
}
double cross(TPointD a, TPointD b)
{
    return a.x * b.y - a.y * b.x;
}
TPointD scaled(TPointD a, double f)
{
    return { a.x * f, a.y * f };
}
double length(TPointD a)
{
    return std::sqrt(a.x * a.x + a.y * a.y);
}

double segmentDistance(TPointD p, TPointD a, TPointD b)
{
    const TPointD ab = b - a;
    const double ll = dot(ab, ab);
    const double s = ll > 0 ? std::clamp(dot(p - a, ab) / ll, 0.0, 1.0) : 0.0;
    return length(p - (a + scaled(ab, s)));
}

// One arc of a biarc, from its start point and start tangent to its end point. Its geometry
// comes from the chord and the tangent alone: with s and c the sine and cosine of the angle from
// the tangent to the chord, the bulge is s / (1 + c) and the radius the chord / (2 |s|).
class Arc
{
public:
    Arc(TPointD start, TPointD tangent, TPointD end)
        : m_start(start)
        , m_end(end)
    {
        const TPointD chord = end - start;
        const double l = length(chord);
        m_cross = cross(tangent, chord);
        m_dot = dot(tangent, chord);
        m_usable = l > 0 && m_dot >= MinCosine * l;
        m_straight = std::fabs(m_cross) < 1E-12 * l;
        if (m_usable && !m_straight) {
            m_bulge = m_cross / (l + m_dot);
            m_radius = l * l / (2 * std::fabs(m_cross));
            const TPointD left { -tangent.y, tangent.x };
            m_centre = start + scaled(left, m_cross > 0 ? m_radius : -m_radius);
        }
    }

    bool usable() const { return m_usable; }
    double bulge() const { return m_straight ? 0.0 : m_bulge; }
    // The point at fraction f of the way along the arc.
    TPointD at(double f) const
    {
        if (m_straight)
            return m_start + scaled(m_end - m_start, f);
        const TPointD r = m_start - m_centre;
        const double turn = 2 * std::atan2(m_cross, m_dot) * f;
        const double c = std::cos(turn), s = std::sin(turn);
        return m_centre + TPointD { r.x * c - r.y * s, r.x * s + r.y * c };
    }

    double distance(TPointD p) const
    {
        if (m_straight)
            return segmentDistance(p, m_start, m_end);
        // Within the sweep (less than a half circle) the nearest point lies on the circle;
        // outside it, one of the ends is nearest.
        const TPointD u = p - m_centre;
        const double sense = m_cross > 0 ? 1.0 : -1.0;
        if (sense * cross(m_start - m_centre, u) >= 0 && sense * cross(u, m_end - m_centre) >= 0)
            return std::fabs(length(u) - m_radius);
        return std::min(length(p - m_start), length(p - m_end));
    }

private:
    TPointD m_start;
    TPointD m_end;
    TPointD m_centre { 0, 0 };
    double m_radius = 0;
    double m_cross = 0;
    double m_dot = 0;
    double m_bulge = 0;
    bool m_usable = false;
    bool m_straight = true;
};

TPointD unit(TPointD a)
{
    const double l = length(a);
    return l > 0 ? scaled(a, 1 / l) : TPointD { 0, 0 };
}

} // namespace

TPointD CubicCurve::at(double t) const
{
    const double mt = 1 - t;
    const double a = mt * mt * mt, b = 3 * t * mt * mt, c = 3 * t * t * mt, d = t * t * t;
    return { a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y };
}

TPointD CubicCurve::derivative(double t) const
{
    const double mt = 1 - t;
    const TPointD d0 = p1 - p0, d1 = p2 - p1, d2 = p3 - p2;
    const double a = 3 * mt * mt, b = 6 * t * mt, c = 3 * t * t;
    return { a * d0.x + b * d1.x + c * d2.x, a * d0.y + b * d1.y + c * d2.y };
}

TPointD CubicCurve::second(double t) const
{
    const TPointD a = p0 - scaled(p1, 2) + p2, b = p1 - scaled(p2, 2) + p3;
    return scaled(a + scaled(b - a, t), 6);
}

TPointD unitTangent(const CubicCurve &curve, double t)
{
    // The derivative counts as vanished when it is tiny against the curve's own size.
    const double size = std::max({ length(curve.p1 - curve.p0), length(curve.p2 - curve.p1),
        length(curve.p3 - curve.p2), length(curve.p3 - curve.p0) });
    const TPointD d = curve.derivative(t);
    if (length(d) > 1E-12 * size)
        return unit(d);
    if (t <= 0) {
        for (const TPointD &p : { curve.p2, curve.p3 })
            if (!(p == curve.p0))
                return unit(p - curve.p0);
    } else if (t >= 1) {
        for (const TPointD &p : { curve.p1, curve.p0 })
            if (!(p == curve.p3))
                return unit(curve.p3 - p);
    }
    // A cusp inside the curve: the direction in which it goes on.
    return unit(curve.at(std::min(1.0, t + 1E-6)) - curve.at(t));
}

bool BiarcFit::fitPiece(const CubicCurve &curve, double t0, double t1, TPointD a, TPointD ta,
    TPointD b, TPointD tb, std::vector<ArcSegment> &out) const
{
    // The joint J lies where the tangent lines of both ends, each d long, are joined by a line
    // 2d long: then one arc is tangent to the first two lines and the other to the last two, and
    // both are tangent to the middle line at J.
    const TPointD v = b - a;
    const double c = dot(v, v);
    if (!(c > 0))
        return false;
    const TPointD t = ta + tb;
    const double vt = dot(v, t);
    const double free = 4 - dot(t, t); // 0 when both tangents point the same way
    const double root = std::sqrt(vt * vt + free * c);
    double d;
    if (vt > 0)
        d = c / (root + vt); // the stable form when the tangents point along the chord
    else if (free > 1E-12)
        d = (root - vt) / free;
    else
        return false;
    if (!(d > 0) || !std::isfinite(d))
        return false;
    const TPointD p1 = a + scaled(ta, d);
    const TPointD p2 = b - scaled(tb, d);
    const TPointD joint = scaled(p1 + p2, 0.5);
    const TPointD tj = unit(p2 - p1);

    const Arc first(a, ta, joint);
    const Arc second(joint, tj, b);
    if (!first.usable() || !second.usable())
        return false;
    // From the curve to the arcs: every sample of the curve lies within the tolerance of them.
    // The middle samples go first, since a biarc that does not fit is farthest off there.
    const double within = SampleShare * m_tolerance;
    TPointD samples[Samples + 1];
    samples[0] = a;
    samples[Samples] = b;
    static constexpr int Order[] = { 8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15 };
    static_assert(std::size(Order) == Samples - 1);
    for (const int k : Order) {
        samples[k] = curve.at(t0 + (t1 - t0) * k / Samples);
        if (std::min(first.distance(samples[k]), second.distance(samples[k])) > within)
            return false;
    }
    // From the arcs to the curve: where the curve turns sharply, a curve close to the arcs does
    // not make arcs close to the curve. Each arc point is measured against the curve itself, at
    // the foot of the perpendicular found by Newton's method from the nearest sample; any point
    // of the curve gives an upper bound of the distance, so a foot not quite reached can only
    // make the check stricter.
    for (const Arc *arc : { &first, &second }) {
        // The second arc ends on the curve; the first one's end is the joint, which need not.
        const int points = arc == &first ? ArcSamples : ArcSamples - 1;
        for (int k = 1; k <= points; ++k) {
            const TPointD p = arc->at(double(k) / ArcSamples);
            int nearest = 0;
            double best = 1E300;
            for (int i = 0; i <= Samples; ++i) {
                const TPointD d = samples[i] - p;
                if (dot(d, d) < best)
                    best = dot(d, d), nearest = i;
            }
            double t = t0 + (t1 - t0) * nearest / Samples;
            for (int step = 0; step < NewtonSteps; ++step) {
                const TPointD r = curve.at(t) - p;
                const TPointD d1 = curve.derivative(t);
                const double slope = dot(d1, d1) + dot(r, curve.second(t));
                if (!(slope > 0))
                    break;
                t = std::clamp(t - dot(r, d1) / slope, t0, t1);
            }
            const TPointD foot = curve.at(t) - p;
            if (std::sqrt(std::min(best, dot(foot, foot))) > within)
                return false;
        }
    }
    out.push_back({ joint, first.bulge() });
    out.push_back({ b, second.bulge() });
    return true;
}

void BiarcFit::fit(const CubicCurve &curve, std::vector<ArcSegment> &out) const
{
    if (curve.p0 == curve.p1 && curve.p0 == curve.p2 && curve.p0 == curve.p3)
        return;
    double t = 0;
    TPointD a = curve.p0;
    TPointD ta = unitTangent(curve, 0);
    double span = 1;
    while (t < 1) {
        span = std::min(1 - t, 2 * span);
        for (;;) {
            const double t1 = span >= 1 - t ? 1.0 : t + span;
            const TPointD b = t1 >= 1 ? curve.p3 : curve.at(t1);
            const TPointD tb = unitTangent(curve, t1);
            const bool fitted = fitPiece(curve, t, t1, a, ta, b, tb, out);
            if (fitted || span < MinSpan) {
                // Only a piece too short to matter gets here without its biarc.
                if (!fitted && !(a == b))
                    out.push_back({ b, 0.0 });
                t = t1;
                a = b;
                ta = tb;
                break;
            }
            span /= 2;
        }
    }
}
