#pragma once

#include "dxf/ExpDXFFigure.h"

// A full ellipse in double precision: its centre, the end of its major axis relative to the
// centre, and the ratio of the minor to the major axis (greater than 0, at most 1).
class TsgExpDXFEllipse : public TsgExpDXFFigure
{
public:
    TsgExpDXFEllipse(const TdxfExportData &data, double centreX, double centreY, double majorX,
        double majorY, double ratio)
        : TsgExpDXFFigure(data)
        , CentreX(centreX)
        , CentreY(centreY)
        , MajorX(majorX)
        , MajorY(majorY)
        , Ratio(ratio)
    {
    }

    void WriteTo(TsgDXFExport &document) const override;

    double CentreX;
    double CentreY;
    double MajorX;
    double MajorY;
    double Ratio;
};
