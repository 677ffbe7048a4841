#include "export/DrawingExtents.h"

#include <algorithm>
#include <cmath>

void DrawingExtents::add(TPointD p)
{
    if (m_empty) {
        m_min = m_max = p;
        m_empty = false;
        return;
    }
    m_min = { std::min(m_min.x, p.x), std::min(m_min.y, p.y) };
    m_max = { std::max(m_max.x, p.x), std::max(m_max.y, p.y) };
}

void DrawingExtents::addArc(TPointD a, TPointD b, double bulge)
{
    add(a);
    add(b);
    if (bulge == 0)
        return;
    // The centre lies off the chord's middle along its left normal, by (1 - b^2) / (4b) of the
    // chord. A counter-clockwise arc is the part of its circle right of the chord from a to b,
    // a clockwise one the part left of it; the arc reaches an axis extreme of its circle where
    // that extreme lies on its side.
    const TPointD chord = b - a;
    const double offset = (1 - bulge * bulge) / (4 * bulge);
    const TPointD centre { (a.x + b.x) / 2 - chord.y * offset, (a.y + b.y) / 2 + chord.x * offset };
    const double dx = a.x - centre.x, dy = a.y - centre.y;
    const double radius = std::sqrt(dx * dx + dy * dy);
    const TPointD extremes[] = { { centre.x + radius, centre.y }, { centre.x - radius, centre.y },
        { centre.x, centre.y + radius }, { centre.x, centre.y - radius } };
    for (const TPointD &q : extremes) {
        const double side = chord.x * (q.y - a.y) - chord.y * (q.x - a.x);
        if (bulge > 0 ? side <= 0 : side >= 0)
            add(q);
    }
}

void DrawingExtents::addCubic(const CubicCurve &curve)
{
    add(curve.p0);
    add(curve.p3);
    // The extremes inside the curve are where one coordinate's derivative, a quadratic in t,
    // is 0.
    auto roots = [&](double p0, double p1, double p2, double p3) {
        const double a = -p0 + 3 * p1 - 3 * p2 + p3;
        const double b = 2 * (p0 - 2 * p1 + p2);
        const double c = p1 - p0;
        if (std::fabs(a) < 1E-12 * (std::fabs(b) + std::fabs(c) + 1E-300)) {
            if (b != 0)
                add(curve.at(std::clamp(-c / b, 0.0, 1.0)));
            return;
        }
        const double disc = b * b - 4 * a * c;
        if (disc < 0)
            return;
        for (const double sign : { -1.0, 1.0 }) {
            const double t = (-b + sign * std::sqrt(disc)) / (2 * a);
            if (t > 0 && t < 1)
                add(curve.at(t));
        }
    };
    roots(curve.p0.x, curve.p1.x, curve.p2.x, curve.p3.x);
    roots(curve.p0.y, curve.p1.y, curve.p2.y, curve.p3.y);
}

void DrawingExtents::addEllipse(TPointD centre, double halfWidth, double halfHeight)
{
    add({ centre.x - halfWidth, centre.y - halfHeight });
    add({ centre.x + halfWidth, centre.y + halfHeight });
}

void DrawingExtents::add(const DrawingExtents &other)
{
    if (other.m_empty)
        return;
    add(other.m_min);
    add(other.m_max);
}
