#include "dxf/ExpDXFPolyBezier.h"

#include "dxf/DXFExport.h"

void TsgExpDXFPolyBezier::WriteTo(TsgDXFExport &document) const
{
    const std::size_t n = Vertices.size();
    if (n < 4 || (n - 4) % 3 != 0) {
        writePolyline(document);
        return;
    }
    const std::size_t segments = n / 3;
    const std::size_t controlPoints = segments + n - 1;

    document.WriteSplineHeader(Data, static_cast<std::int64_t>(controlPoints + 4),
        static_cast<std::int64_t>(controlPoints), 1E-7L);

    // Every segment boundary is a knot of multiplicity four. The step and its multiples are
    // summed in 32-bit floats, so a boundary lies at the float sum, not at an exact fraction.
    const float step = 1.0f / static_cast<float>(controlPoints);
    float t = 0;
    for (std::size_t j = 0; 4 * j < controlPoints; ++j) {
        for (int repeat = 0; repeat < 4; ++repeat)
            document.WriteReal(40, t);
        t += step;
    }
    for (int repeat = 0; repeat < 4; ++repeat)
        document.WriteReal(40, 1.0);

    // A point shared by two segments is written twice, which with the fourfold knots makes
    // each span exactly one Bezier segment.
    for (std::size_t i = 0; i < n; ++i) {
        document.WritePoint3D(10, Vertices[i]);
        if (i % 3 == 0 && i > 0 && i < n - 1)
            document.WritePoint3D(10, Vertices[i]);
    }
}
