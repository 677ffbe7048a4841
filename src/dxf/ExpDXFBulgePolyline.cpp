#include "dxf/ExpDXFBulgePolyline.h"

#include "dxf/DXFExport.h"

TsgExpDXFBulgePolyline::TsgExpDXFBulgePolyline(
    const TdxfExportData &data, std::vector<TBulgeVertex> vertices, bool closed)
    : TsgExpDXFFigure(data)
    , Vertices(std::move(vertices))
{
    Data.Flags = closed ? 1 : 0;
}

void TsgExpDXFBulgePolyline::WriteTo(TsgDXFExport &document) const
{
    document.WriteLwPolylineHeader(Data, static_cast<std::int32_t>(Vertices.size()));
    for (const TBulgeVertex &vertex : Vertices) {
        document.WritePointD(10, vertex.x, vertex.y);
        // A reader takes a missing bulge as 0, so straight segments need no group 42.
        if (vertex.bulge != 0)
            document.WriteReal(42, vertex.bulge);
    }
}
