#pragma once

#include "dxf/ExpDXFFigure.h"

#include <vector>

// A vertex of a light-weight polyline in double precision, with the bulge of the segment that
// leaves it: 0 for a straight segment, otherwise the tangent of a quarter of the arc's included
// angle, positive when the arc turns counter-clockwise.
struct TBulgeVertex
{
    double x = 0;
    double y = 0;
    double bulge = 0;
};

// A light-weight polyline whose segments are straight lines or circular arcs. A closed one runs
// from its last vertex back to its first, with the last vertex's bulge; it is written with bit 1
// of group 70 set, which tells a CAM program that the contour has an inside.
class TsgExpDXFBulgePolyline : public TsgExpDXFFigure
{
public:
    TsgExpDXFBulgePolyline(
        const TdxfExportData &data, std::vector<TBulgeVertex> vertices, bool closed);

    void WriteTo(TsgDXFExport &document) const override;

    std::vector<TBulgeVertex> Vertices;
};
