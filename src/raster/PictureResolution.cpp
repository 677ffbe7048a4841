#include "raster/PictureResolution.h"

#include <cmath>

namespace {

constexpr double MetresPerInch = 0.0254;
// The inch of the DXF settings, in millimetres; a resolution that is not a whole number is
// converted with it so that the exported size is the size the file declares.
constexpr double MillimetresPerInch = 25.39995;

} // namespace

std::optional<double> resolutionFromDotsPerMetre(double dotsPerMetre)
{
    if (!(dotsPerMetre > 0) || !std::isfinite(dotsPerMetre))
        return std::nullopt;
    double dpi = dotsPerMetre * MillimetresPerInch / 1000.0;
    const double whole = std::round(dotsPerMetre * MetresPerInch);
    // Per-metre headers hold whole dots per metre, so a whole resolution arrives rounded to
    // within half a dot per metre; one dot of slack also covers writers that truncate.
    if (std::abs(whole / MetresPerInch - dotsPerMetre) < 1.0)
        dpi = whole;
    if (dpi == 72.0 || dpi == 96.0 || dpi < 10.0 || dpi > 10000.0)
        return std::nullopt;
    return dpi;
}

std::optional<double> declaredResolution(const TDibRec &rec)
{
    if (!rec.Bits || !rec.BitmapInfo)
        return std::nullopt;
    return resolutionFromDotsPerMetre(rec.BitmapInfo->bmiHeader.biXPelsPerMeter);
}
