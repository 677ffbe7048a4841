#pragma once

#include "export/Biarc.h"

// The smallest axis-parallel box around what a file draws, grown shape by shape: points, arcs
// given as bulges, cubic curves and axis-parallel ellipses. Arcs and curves count with their
// real outline, not with their end or control points, so the box a reader zooms to is neither
// too small nor padded.
class DrawingExtents
{
public:
    void add(TPointD p);
    // The arc from a to b with the given bulge (a straight segment when it is 0).
    void addArc(TPointD a, TPointD b, double bulge);
    void addCubic(const CubicCurve &curve);
    void addEllipse(TPointD centre, double halfWidth, double halfHeight);
    // Grows the box by another one.
    void add(const DrawingExtents &other);

    bool empty() const { return m_empty; }
    // The corners; the origin when nothing was added.
    TPointD min() const { return m_empty ? TPointD { 0, 0 } : m_min; }
    TPointD max() const { return m_empty ? TPointD { 0, 0 } : m_max; }

private:
    bool m_empty = true;
    TPointD m_min { 0, 0 };
    TPointD m_max { 0, 0 };
};
