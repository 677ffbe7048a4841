#include "app/ScaleFromTwoPoints.h"

#include "export/DxfExportParams.h"

#include <algorithm>
#include <cmath>

bool ScaleFromTwoPoints::press(TPointD p)
{
    if (!m_active)
        return false;
    if (m_placed == 0) {
        m_first = p;
        m_placed = 1;
        return false;
    }
    m_second = p;
    m_placed = 2;
    m_active = false;
    return true;
}

std::optional<double> ScaleFromTwoPoints::resolution(TPointD a, TPointD b, double millimetres)
{
    const double pixels = std::hypot(b.x - a.x, b.y - a.y);
    if (!(millimetres > 0) || !(pixels > 0) || !std::isfinite(millimetres))
        return std::nullopt;
    const double dpi = pixels * DxfExportParams::MillimetresPerInch / millimetres;
    if (!std::isfinite(dpi))
        return std::nullopt;
    return std::clamp(dpi, DxfExportParams::MinDpi, DxfExportParams::MaxDpi);
}
