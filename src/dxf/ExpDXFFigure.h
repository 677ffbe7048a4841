#pragma once

#include "dxf/DxfExportData.h"

#include <string>

class TsgDXFExport;

// One entity of a DXF file. A figure takes its attributes from a data record when it is
// created and writes its entity into the document when the document is saved.
class TsgExpDXFFigure
{
public:
    explicit TsgExpDXFFigure(const TdxfExportData &data);
    virtual ~TsgExpDXFFigure() = default;
    TsgExpDXFFigure(const TsgExpDXFFigure &) = delete;
    TsgExpDXFFigure &operator=(const TsgExpDXFFigure &) = delete;

    // Called once per save, in figure order, after the document has made the figure's Layer
    // its current layer name. Appends the entity to the document's Output through the
    // document's writing primitives only, so handles and limits stay the document's affair.
    virtual void WriteTo(TsgDXFExport &document) const = 0;

    std::string Layer = "0";
    // The figure's own copy of the record. Its Points are not kept: they belong to the
    // caller and may be gone by the time the figure is written.
    TdxfExportData Data;
};
