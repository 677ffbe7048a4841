#pragma once

#include "dxf/ExpDXFPolyline.h"

// A chain of cubic Bezier segments: vertex 0 is the start, every following group of three is
// control point, control point, end point. Written as a SPLINE whose spans are exactly those
// segments; any other number of vertices is written as a light-weight polyline.
class TsgExpDXFPolyBezier : public TsgExpDXFPolyline
{
public:
    using TsgExpDXFPolyline::TsgExpDXFPolyline;

    void WriteTo(TsgDXFExport &document) const override;
};
