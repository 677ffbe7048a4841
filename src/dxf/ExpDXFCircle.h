#pragma once

#include "dxf/ExpDXFFigure.h"

// A full circle in double precision: a centre a CAM program can snap to and a radius it can
// measure.
class TsgExpDXFCircle : public TsgExpDXFFigure
{
public:
    TsgExpDXFCircle(const TdxfExportData &data, double centreX, double centreY, double radius)
        : TsgExpDXFFigure(data)
        , CentreX(centreX)
        , CentreY(centreY)
        , Radius(radius)
    {
    }

    void WriteTo(TsgDXFExport &document) const override;

    double CentreX;
    double CentreY;
    double Radius;
};
