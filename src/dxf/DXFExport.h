#pragma once

#include "dxf/DxfExportData.h"
#include "dxf/ExpDXFFigure.h"
#include "dxf/ExpDXFLayer.h"
#include "dxf/FixedBlocks.h"
#include "dxf/TextList.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A corner of the drawing limits.
struct TFPoint2D
{
    float x = 0;
    float y = 0;
};

// An ASCII DXF document: the layers, line types and figures, the handle counter and the
// drawing limits, and the serialiser that writes the whole file around them. Most of the
// file is fixed text; the variable parts are three header variables, the line type and
// layer records and the entities.
//
// A document is configured (Version, AddLineType), filled (AddPolyBezier), saved once and
// destroyed. Line types take their handles when they are added, entities when the document
// is saved, the layer records after the entities.
class TsgDXFExport
{
public:
    static constexpr std::uint8_t Release14 = 0; // "AC1014"
    static constexpr std::uint8_t Release2000 = 1; // "AC1015"
    static constexpr std::int32_t FirstHandle = 0x20;

    TsgDXFExport();
    TsgDXFExport(const TsgDXFExport &) = delete;
    TsgDXFExport &operator=(const TsgDXFExport &) = delete;

    // Appends one LTYPE record with the given dash lengths; it takes the next handle at once.
    void AddLineType(std::string_view name, std::span<const float> dashes);
    // Adds a poly-Bezier figure made from point list `index` of `data` on the current layer.
    // The caller keeps `data` and its point lists; the figure copies what it needs.
    void AddPolyBezier(const TdxfExportData &data, int index);
    // Adds a figure of any kind on the current layer.
    void AddFigure(std::unique_ptr<TsgExpDXFFigure> figure);
    // Appends a layer record to the LAYER table, or finds the layer of that name, and makes it
    // the current layer for the figures added next.
    void SetCurrentLayer(std::string_view name, std::int32_t color = 7);

    // Further header variables, written after the drawing limits in the order they are added.
    // A document without them writes the header it always wrote.
    void AddHeaderInt(std::string_view name, int code, std::int64_t value);
    void AddHeaderPoint3D(std::string_view name, double x, double y, double z);

    // Writes the whole file. Returns false when the stream reports a write error; the
    // stream's state tells the caller more. The document never opens files itself.
    bool SaveToStream(std::ostream &stream);

    // Writing primitives: each appends lines to Output.
    void WriteCode(int code);
    void WriteInt(int code, std::int64_t value);
    void WriteString(int code, std::string_view value);
    void WriteReal(int code, long double value);
    // The same for a value that is a double (or a float) already, without the extended detour:
    // the text is the same.
    void WriteReal(int code, double value);
    // Groups code and code + 10; extends the limits when Output is Entities.
    void WritePoint(int code, const TFPoint &point);
    // WritePoint, then group code + 20 with z.
    void WritePoint3D(int code, const TFPoint &point);
    // Groups code and code + 10 of a point held in double precision; extends the limits like
    // WritePoint.
    void WritePointD(int code, double x, double y);
    void WriteHandle();
    void WriteEntityHeader(std::string_view entityName, std::string_view subclassName);
    void WriteColor(const TdxfExportData &data);
    void WriteLineWeight(const TdxfExportData &data);
    void WriteLwPolylineHeader(const TdxfExportData &data, std::int32_t vertexCount);
    // The head of a planar cubic SPLINE up to its knots: entity header, colour, lineweight,
    // extrusion, flags, degree, the counts, and the knot and control point tolerance.
    void WriteSplineHeader(const TdxfExportData &data, std::int64_t knots,
        std::int64_t controlPoints, long double tolerance);

    // The release 2000 lineweight for a pen width: -1 when no group 370 is written.
    static std::int32_t lineWeightFor(float penWidth);
    // A handle as upper-case hexadecimal with at least two digits.
    static std::string handleText(std::uint32_t handle);

    std::uint8_t Version = Release2000;
    TsgExpDXFLayer *CurrentLayer = nullptr;
    std::string CurrentLayerName;
    std::vector<std::unique_ptr<TsgExpDXFLayer>> Layers;
    std::vector<std::unique_ptr<TsgExpDXFFigure>> Figures;
    TextList *Output = nullptr;
    TextList Entities;
    TextList LineTypes;
    TextList HeaderVariables;
    std::int32_t HandleCounter = FirstHandle;
    TFPoint2D LimMin;
    TFPoint2D LimMax;

private:
    // Set during the first pass of a save, in which figures only move the handle counter and
    // the limits and no text is kept.
    bool m_measuring = false;

    void writeGroups(std::span<const FixedGroup> groups);
    void writeLayer(const TsgExpDXFLayer &layer);
};
