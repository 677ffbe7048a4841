#include "dxf/ExpDXFPolyline.h"

#include "dxf/DXFExport.h"

TsgExpDXFPolyline::TsgExpDXFPolyline(const TdxfExportData &data, int index)
    : TsgExpDXFFigure(data)
{
    if (data.Count > 0 && index >= 0 && index < data.Count && data.Points != nullptr
        && static_cast<std::size_t>(index) < data.Points->size())
        Vertices = (*data.Points)[static_cast<std::size_t>(index)];
}

void TsgExpDXFPolyline::WriteTo(TsgDXFExport &document) const
{
    writePolyline(document);
}

void TsgExpDXFPolyline::writePolyline(TsgDXFExport &document) const
{
    document.WriteLwPolylineHeader(Data, static_cast<std::int32_t>(Vertices.size()));
    for (const TFPoint &vertex : Vertices)
        document.WritePoint(10, vertex);
}
