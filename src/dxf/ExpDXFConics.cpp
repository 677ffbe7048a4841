// The closed conics: circles and ellipses.

#include "dxf/DXFExport.h"
#include "dxf/ExpDXFCircle.h"
#include "dxf/ExpDXFEllipse.h"

#include <numbers>

void TsgExpDXFCircle::WriteTo(TsgDXFExport &document) const
{
    document.WriteEntityHeader("CIRCLE", "AcDbCircle");
    document.WriteColor(Data);
    document.WriteLineWeight(Data);
    document.WritePointD(10, CentreX, CentreY);
    document.WriteReal(30, 0.0);
    document.WriteReal(40, Radius);
}

void TsgExpDXFEllipse::WriteTo(TsgDXFExport &document) const
{
    document.WriteEntityHeader("ELLIPSE", "AcDbEllipse");
    document.WriteColor(Data);
    document.WriteLineWeight(Data);
    document.WritePointD(10, CentreX, CentreY);
    document.WriteReal(30, 0.0);
    // The axis is a direction, not a place, so it leaves the limits alone.
    document.WriteReal(11, MajorX);
    document.WriteReal(21, MajorY);
    document.WriteReal(31, 0.0);
    document.WritePoint3D(210, TFPoint { 0, 0, 1 });
    document.WriteReal(40, Ratio);
    document.WriteReal(41, 0.0);
    document.WriteReal(42, 2 * std::numbers::pi);
}
