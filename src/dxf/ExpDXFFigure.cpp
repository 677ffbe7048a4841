#include "dxf/ExpDXFFigure.h"

TsgExpDXFFigure::TsgExpDXFFigure(const TdxfExportData &data)
    : Data(data)
{
    Data.Points = nullptr;
}
