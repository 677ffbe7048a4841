#pragma once

#include "document/DrawElement.h"

#include <vector>

// A cubic Bezier curve in output coordinates (DXF units, y upward).
struct CubicCurve
{
    TPointD p0, p1, p2, p3;

    TPointD at(double t) const;
    TPointD derivative(double t) const;
    TPointD second(double t) const; // the second derivative
};

// One segment of a fit: a circular arc, or a straight line when the bulge is 0, from the end of
// the segment before it (or the curve's start) to `end`. The bulge is the tangent of a quarter
// of the arc's included angle, positive when the arc turns counter-clockwise, as a polyline
// vertex carries it.
struct ArcSegment
{
    TPointD end;
    double bulge;
};

// Replaces cubic Bezier curves by biarcs: pairs of circular arcs that meet with a common tangent
// and leave the curve's ends along its own end tangents. Consecutive biarcs meet at a point of
// the curve with the curve's tangent there, so the whole fit has no kink for a machine to stop
// at.
//
// The fit starts with the whole curve and halves a piece until its biarc fits, then tries the
// rest of the curve in pieces up to twice as long as the last one that fitted. A biarc fits when
// it stays within the tolerance of its piece both ways, measured: every one of 15 points of the
// piece lies within 95 % of the tolerance of the arcs, and the thirds of each arc lie within 95 % of it of
// the curve. Only at a cusp, where the curve has no tangent, can a piece of a 65,536th
// of the curve fail to fit; it becomes a straight segment.
class BiarcFit
{
public:
    explicit BiarcFit(double tolerance)
        : m_tolerance(tolerance)
    {
    }

    // Appends the segments that replace the curve, from its start to its end. A curve whose
    // points all coincide appends nothing.
    void fit(const CubicCurve &curve, std::vector<ArcSegment> &out) const;

    double tolerance() const { return m_tolerance; }

private:
    // Appends the biarc of the piece from t0 to t1 when it stays within the tolerance.
    bool fitPiece(const CubicCurve &curve, double t0, double t1, TPointD a, TPointD ta, TPointD b,
        TPointD tb, std::vector<ArcSegment> &out) const;

    double m_tolerance;
};

// The unit tangent of a curve at t, in the direction of travel. Where the derivative vanishes
// (a control point on its end point, or a cusp), the direction the curve leaves in.
TPointD unitTangent(const CubicCurve &curve, double t);
