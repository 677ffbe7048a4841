#include "export/Biarc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Pieces are never halved below this share of the curve.
constexpr double MinSpan = 1.0 / (1 << 24);
// Curve points measured per piece, and points of each arc measured against them.
constexpr int Samples = 16;
constexpr int ArcSamples = 4;
// An arc of a fit turns by less than a half circle, which keeps the sweep test below simple and
// the bulge small.
constexpr double MaxHalfSweep = 0.49 * std::numbers::pi;
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
    return std::hypot(a.x, a.y);
}

double segmentDistance(TPointD p, TPointD a, TPointD b)
{
    const TPointD ab = b - a;
    const double ll = dot(ab, ab);
    const double s = ll > 0 ? std::clamp(dot(p - a, ab) / ll, 0.0, 1.0) : 0.0;
    return length(p - (a + scaled(ab, s)));
}

// One arc of a biarc, from its start point and start tangent to its end point.
class Arc
{
public:
    Arc(TPointD start, TPointD tangent, TPointD end)
        : m_start(start)
        , m_end(end)
    {
        const TPointD chord = end - start;
        m_halfAngle = std::atan2(cross(tangent, chord), dot(tangent, chord));
        m_straight = std::fabs(m_halfAngle) < 1E-12;
        if (!m_straight) {
            const double radius = length(chord) / (2 * std::fabs(std::sin(m_halfAngle)));
            const TPointD left { -tangent.y, tangent.x };
            m_centre = start + scaled(left, m_halfAngle > 0 ? radius : -radius);
            m_radius = radius;
        }
    }

    bool usable() const { return std::fabs(m_halfAngle) <= MaxHalfSweep; }
    // The point at fraction f of the way along the arc.
    TPointD at(double f) const
    {
        if (m_straight)
            return m_start + scaled(m_end - m_start, f);
        const TPointD r = m_start - m_centre;
        const double turn = 2 * m_halfAngle * f;
        const double c = std::cos(turn), s = std::sin(turn);
        return m_centre + TPointD { r.x * c - r.y * s, r.x * s + r.y * c };
    }
    double bulge() const { return m_straight ? 0.0 : std::tan(m_halfAngle / 2); }

    double distance(TPointD p) const
    {
        if (m_straight)
            return segmentDistance(p, m_start, m_end);
        // Within the sweep (less than a half circle) the nearest point lies on the circle;
        // outside it, one of the ends is nearest.
        const TPointD u = p - m_centre;
        const double sense = m_halfAngle > 0 ? 1.0 : -1.0;
        if (sense * cross(m_start - m_centre, u) >= 0 && sense * cross(u, m_end - m_centre) >= 0)
            return std::fabs(length(u) - m_radius);
        return std::min(length(p - m_start), length(p - m_end));
    }

private:
    TPointD m_start;
    TPointD m_end;
    TPointD m_centre { 0, 0 };
    double m_radius = 0;
    double m_halfAngle = 0;
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
    const double within = SampleShare * m_tolerance;
    TPointD samples[Samples + 1];
    samples[0] = a;
    samples[Samples] = b;
    for (int k = 1; k < Samples; ++k) {
        samples[k] = curve.at(t0 + (t1 - t0) * k / Samples);
        if (std::min(first.distance(samples[k]), second.distance(samples[k])) > within)
            return false;
    }
    // From the arcs to the curve: where the curve turns sharply, a curve close to the arcs does
    // not make arcs close to the curve. Each arc point is measured against the polyline through
    // the samples, plus how far the curve may leave a chord of it: at most an eighth of the step
    // squared times the second derivative across the chord, which is linear in t and so largest
    // at one end of the chord.
    const double step = (t1 - t0) / Samples;
    const TPointD second0 = scaled(curve.p0 - scaled(curve.p1, 2) + curve.p2, 6);
    const TPointD second1 = scaled(curve.p1 - scaled(curve.p2, 2) + curve.p3, 6);
    auto deviation = [&](int i) {
        const TPointD across = unit(samples[i] - samples[i - 1]);
        double largest = 0;
        for (const double t : { t0 + step * (i - 1), t0 + step * i })
            largest =
                std::max(largest, std::fabs(cross(second0 + scaled(second1 - second0, t), across)));
        return largest * step * step / 8;
    };
    double deviations[Samples + 1];
    std::fill(std::begin(deviations), std::end(deviations), -1.0);
    for (const Arc *arc : { &first, &second }) {
        for (int k = 1; k <= ArcSamples; ++k) {
            const TPointD p = arc->at(double(k) / ArcSamples);
            double nearest = 1E300;
            for (int i = 1; i <= Samples && nearest > within; ++i) {
                const double d = segmentDistance(p, samples[i - 1], samples[i]);
                if (d >= nearest || d > within)
                    continue;
                if (deviations[i] < 0)
                    deviations[i] = deviation(i);
                nearest = std::min(nearest, d + deviations[i]);
            }
            if (nearest > within)
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
