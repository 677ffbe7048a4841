#include "dxf/ExpDXFSpline.h"

#include "dxf/DXFExport.h"

void TsgExpDXFSpline::WriteTo(TsgDXFExport &document) const
{
    // Whole segments only; a stray point would be left out, and without a segment there is no
    // spline to write.
    const std::size_t segments = Points.empty() ? 0 : (Points.size() - 1) / 3;
    if (segments == 0)
        return;
    const std::size_t controlPoints = 3 * segments + 1;
    document.WriteSplineHeader(Data, static_cast<std::int64_t>(controlPoints + 4),
        static_cast<std::int64_t>(controlPoints), 1E-10L);
    // Whole numbers as knots print exactly, whatever the number of segments.
    for (std::size_t j = 0; j <= segments; ++j) {
        const int repeat = j == 0 || j == segments ? 4 : 3;
        for (int r = 0; r < repeat; ++r)
            document.WriteReal(40, static_cast<double>(j));
    }
    for (std::size_t i = 0; i < controlPoints; ++i) {
        document.WritePointD(10, Points[i].x, Points[i].y);
        document.WriteReal(30, 0.0);
    }
}
