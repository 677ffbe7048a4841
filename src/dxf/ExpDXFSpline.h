#pragma once

#include "dxf/ExpDXFFigure.h"

#include <vector>

// A control point of a spline in double precision.
struct TDPoint
{
    double x = 0;
    double y = 0;
};

// Consecutive cubic Bezier segments in double precision as one planar cubic spline: point 0 is
// the start, every following group of three is control point, control point, end point. Each
// inner segment boundary is a knot of multiplicity three, so every span is exactly its Bezier
// segment and the spline passes through every end point.
class TsgExpDXFSpline : public TsgExpDXFFigure
{
public:
    TsgExpDXFSpline(const TdxfExportData &data, std::vector<TDPoint> points)
        : TsgExpDXFFigure(data)
        , Points(std::move(points))
    {
    }

    void WriteTo(TsgDXFExport &document) const override;

    std::vector<TDPoint> Points;
};
