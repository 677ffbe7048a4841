#pragma once

#include "dxf/ExpDXFFigure.h"

// A light-weight polyline through copies of the points of one point list.
class TsgExpDXFPolyline : public TsgExpDXFFigure
{
public:
    // Copies point list number index of the record when the record offers it
    // (index < Count); otherwise the polyline has no vertices.
    TsgExpDXFPolyline(const TdxfExportData &data, int index);

    void WriteTo(TsgDXFExport &document) const override;

    TFPointList Vertices;

protected:
    void writePolyline(TsgDXFExport &document) const;
};
