#include "export/DxfExportParams.h"

#include <cmath>

double DxfExportParams::effectiveDpi() const
{
    if (std::isnan(dpi) || dpi < MinDpi)
        return MinDpi;
    if (dpi > MaxDpi)
        return MaxDpi;
    return dpi;
}

int DxfExportParams::effectivePieces() const
{
    if (pieces < MinPieces)
        return MinPieces;
    if (pieces > MaxPieces)
        return MaxPieces;
    return pieces;
}

double DxfExportParams::scaleDivisor() const
{
    const double r = effectiveDpi();
    return millimetres ? r / MillimetresPerInch : r;
}

long double DxfExportParams::scaleDivisorExtended() const
{
    const long double r = effectiveDpi();
    return millimetres ? r / static_cast<long double>(MillimetresPerInch) : r;
}
