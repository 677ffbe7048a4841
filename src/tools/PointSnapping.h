#pragma once

#include "document/Chain.h"
#include "document/ElementIndex.h"

#include <QPoint>

// The point hit test: true when the canvas position lies within 5 screen pixels of the point's
// unscrolled screen position on both axes, bounds included, in real numbers. The tolerance is
// therefore the same on screen whatever the zoom.
bool clickonpunkt(double canvasX, double canvasY, double pointX, double pointY, double zoom);

// clickonpunkt for one canvas position against many points. Hit tests walk the whole list on
// every press and move, so a comparison in picture units first turns away the points that are
// plainly too far; only the few near ones are tested exactly, and the result is the same.
class PointHitTest
{
public:
    PointHitTest(QPoint canvas, double zoom);
    bool hits(TPointD p) const
    {
        if (m_filter && (p.x < m_xLo || p.x > m_xHi || p.y < m_yLo || p.y > m_yHi))
            return false;
        return clickonpunkt(m_cx, m_cy, p.x, p.y, m_zoom);
    }

    // The elements with a point that may hit, ascending: those the index finds in the
    // rectangle outside which no point can hit, or all of them.
    NearElements candidates(ElementIndex *index, const TElementList &list) const
    {
        return m_filter ? NearElements(index, list, m_reach) : NearElements(nullptr, list, {});
    }

private:
    double m_cx;
    double m_cy;
    double m_zoom;
    bool m_filter;
    double m_xLo = 0;
    double m_xHi = 0;
    double m_yLo = 0;
    double m_yHi = 0;
    TBoxD m_reach {};
};

// The defining points of an element in the order hit tests visit them: Start, End, then Ctrl1
// for Bezier curves and Ctrl2 for cubic ones. An element of an unknown kind (only a damaged file
// can hold one) has none. Returns how many were written to `points`.
int definingPoints(const TDrawElement &element, TPointD points[4]);

// Whether elements of this kind have defining points at all: lines, ellipses and Bezier curves.
bool hasDefiningPoints(std::int32_t kind);

// Replaces `position` with the first defining point, in list order, that the canvas position
// hits. Returns false and leaves `position` alone when none is hit. With an index, only the
// elements near the position are tested; the result is the same.
bool snapPoint(const TElementList &list, QPoint canvas, double zoom, TPointD &position,
    ElementIndex *index = nullptr);

// Makes the rectangle from `segStart` to `point` a square whose side is the smaller of its two
// sides, in the quadrant of `point`, by moving `point` along its longer axis.
void circleConstraint(TPointD segStart, TPointD &point);

// Puts `point` on the nearest ray from `anchor` whose angle is a multiple of 15 degrees, at the
// same distance from the anchor. Horizontal and vertical rays are hit exactly, so a stepped
// line stays parallel to the axes in every export. A point on the anchor stays where it is.
void stepAngle(TPointD anchor, TPointD &point);
