#include "dxf/DXFExport.h"

#include "dxf/ExpDXFPolyBezier.h"
#include "dxf/RealFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The lineweights (hundredths of a millimetre) that a release 2000 entity may carry.
constexpr std::array<std::int32_t, 24> LineWeights = { 0, 5, 9, 13, 15, 18, 20, 25, 30, 35, 40, 50,
    53, 60, 70, 80, 90, 100, 106, 120, 140, 158, 200, 211 };

// Restores the document's Output when a record has been written into another list.
class OutputSwitch
{
public:
    OutputSwitch(TextList *&output, TextList *target)
        : m_output(output)
        , m_previous(output)
    {
        m_output = target;
    }
    ~OutputSwitch() { m_output = m_previous; }
    OutputSwitch(const OutputSwitch &) = delete;
    OutputSwitch &operator=(const OutputSwitch &) = delete;

private:
    TextList *&m_output;
    TextList *m_previous;
};

} // namespace

TsgDXFExport::TsgDXFExport()
{
    Layers.push_back(std::make_unique<TsgExpDXFLayer>("0"));
    CurrentLayer = Layers.front().get();
    CurrentLayerName = CurrentLayer->Name;
    Output = &Entities;
}

void TsgDXFExport::AddLineType(std::string_view name, std::span<const float> dashes)
{
    OutputSwitch to(Output, &LineTypes);
    WriteEntityHeader("LTYPE", "AcDbLinetypeTableRecord");
    WriteString(2, name);
    WriteString(3, "");
    WriteInt(70, 0);
    WriteInt(72, 65);
    WriteInt(73, static_cast<std::int64_t>(dashes.size()));
    float total = 0;
    for (const float dash : dashes)
        total += std::fabs(dash);
    WriteReal(40, total);
    for (const float dash : dashes) {
        WriteReal(49, dash);
        WriteInt(74, 0);
    }
}

void TsgDXFExport::AddPolyBezier(const TdxfExportData &data, int index)
{
    auto figure = std::make_unique<TsgExpDXFPolyBezier>(data, index);
    figure->Layer = CurrentLayerName;
    Figures.push_back(std::move(figure));
}

void TsgDXFExport::AddFigure(std::unique_ptr<TsgExpDXFFigure> figure)
{
    figure->Layer = CurrentLayerName;
    Figures.push_back(std::move(figure));
}

void TsgDXFExport::SetCurrentLayer(std::string_view name, std::int32_t color)
{
    const auto found = std::find_if(
        Layers.begin(), Layers.end(), [&](const auto &layer) { return layer->Name == name; });
    if (found != Layers.end()) {
        CurrentLayer = found->get();
    } else {
        Layers.push_back(std::make_unique<TsgExpDXFLayer>(std::string(name)));
        CurrentLayer = Layers.back().get();
        CurrentLayer->Color = color;
    }
    CurrentLayerName = CurrentLayer->Name;
}

void TsgDXFExport::AddHeaderInt(std::string_view name, int code, std::int64_t value)
{
    OutputSwitch to(Output, &HeaderVariables);
    WriteString(9, name);
    WriteInt(code, value);
}

void TsgDXFExport::AddHeaderPoint3D(std::string_view name, double x, double y, double z)
{
    OutputSwitch to(Output, &HeaderVariables);
    WriteString(9, name);
    WriteReal(10, x);
    WriteReal(20, y);
    WriteReal(30, z);
}

namespace {

// The code line: the group code right-aligned in three characters.
char *writeCode(char *out, int code)
{
    if (code >= 0 && code < 1000) {
        out[0] = code >= 100 ? static_cast<char>('0' + code / 100) : ' ';
        out[1] = code >= 10 ? static_cast<char>('0' + code / 10 % 10) : ' ';
        out[2] = static_cast<char>('0' + code % 10);
        return out + 3;
    }
    return std::to_chars(out, out + 16, code).ptr;
}

// A code line, its line end and the start of the value line.
constexpr std::size_t MaxCodeText = 16 + 2;

char *writeCodeLine(char *out, int code)
{
    out = writeCode(out, code);
    std::memcpy(out, "\r\n", 2);
    return out + 2;
}

} // namespace

// Each primitive puts its lines together in a small buffer and hands them over in one piece.

void TsgDXFExport::WriteCode(int code)
{
    if (m_measuring)
        return;
    char text[MaxCodeText];
    char *end = writeCode(text, code);
    Output->add(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void TsgDXFExport::WriteInt(int code, std::int64_t value)
{
    if (m_measuring)
        return;
    char text[MaxCodeText + 24];
    char *at = writeCodeLine(text, code);
    at = std::to_chars(at, at + 24, value).ptr;
    Output->add(std::string_view(text, static_cast<std::size_t>(at - text)), 2);
}

void TsgDXFExport::WriteString(int code, std::string_view value)
{
    if (m_measuring)
        return;
    char text[MaxCodeText + 64];
    if (value.size() > 64) {
        std::string line(text, writeCodeLine(text, code));
        line.append(value);
        Output->add(line, 2);
        return;
    }
    char *at = writeCodeLine(text, code);
    if (!value.empty())
        std::memcpy(at, value.data(), value.size());
    Output->add(std::string_view(text, static_cast<std::size_t>(at + value.size() - text)), 2);
}

void TsgDXFExport::WriteReal(int code, long double value)
{
    if (m_measuring)
        return;
    char text[MaxCodeText];
    std::string line(text, writeCodeLine(text, code));
    appendDxfReal(line, value);
    Output->add(line, 2);
}

void TsgDXFExport::WriteReal(int code, double value)
{
    if (m_measuring)
        return;
    char text[MaxCodeText + MaxDxfRealLength];
    char *at = writeCodeLine(text, code);
    at = writeDxfDouble(at, value);
    Output->add(std::string_view(text, static_cast<std::size_t>(at - text)), 2);
}

void TsgDXFExport::WritePoint(int code, const TFPoint &point)
{
    WriteReal(code, point.x);
    WriteReal(code + 10, point.y);
    if (Output == &Entities) {
        LimMin.x = std::min(LimMin.x, point.x);
        LimMin.y = std::min(LimMin.y, point.y);
        LimMax.x = std::max(LimMax.x, point.x);
        LimMax.y = std::max(LimMax.y, point.y);
    }
}

void TsgDXFExport::WritePointD(int code, double x, double y)
{
    WriteReal(code, x);
    WriteReal(code + 10, y);
    if (Output == &Entities) {
        const auto fx = static_cast<float>(x);
        const auto fy = static_cast<float>(y);
        LimMin.x = std::min(LimMin.x, fx);
        LimMin.y = std::min(LimMin.y, fy);
        LimMax.x = std::max(LimMax.x, fx);
        LimMax.y = std::max(LimMax.y, fy);
    }
}

void TsgDXFExport::WritePoint3D(int code, const TFPoint &point)
{
    WritePoint(code, point);
    WriteReal(code + 20, point.z);
}

std::string TsgDXFExport::handleText(std::uint32_t handle)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, handle, 16);
    std::string text(digits, result.ptr);
    std::transform(text.begin(), text.end(), text.begin(),
        [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    if (text.size() < 2)
        text.insert(text.begin(), '0');
    return text;
}

void TsgDXFExport::WriteHandle()
{
    if (!m_measuring)
        WriteString(5, handleText(static_cast<std::uint32_t>(HandleCounter)));
    ++HandleCounter;
}

void TsgDXFExport::WriteEntityHeader(std::string_view entityName, std::string_view subclassName)
{
    WriteString(0, entityName);
    WriteHandle();
    if (Output == &LineTypes) {
        WriteString(100, "AcDbSymbolTableRecord");
    } else {
        WriteString(100, "AcDbEntity");
        WriteString(8, CurrentLayerName);
    }
    WriteString(100, subclassName);
}

void TsgDXFExport::WriteColor(const TdxfExportData &data)
{
    // The colour index is the caller's choice; 0 (by block) and 256 (by layer) are the
    // defaults a reader assumes anyway.
    if (data.Color != 0 && data.Color != 256)
        WriteInt(62, data.Color);
}

std::int32_t TsgDXFExport::lineWeightFor(float penWidth)
{
    // Whole pen widths times ten; halves go to the even neighbour. A width that overflows
    // gives the medium weight 100 rather than an error.
    const double rounded = std::nearbyint(static_cast<double>(penWidth)) * 10.0;
    std::int32_t n = 100;
    if (std::isfinite(rounded) && rounded >= std::numeric_limits<std::int32_t>::min()
        && rounded <= std::numeric_limits<std::int32_t>::max())
        n = static_cast<std::int32_t>(rounded);
    if (n < 5)
        return -1;
    if (n >= 211)
        return 211;
    const auto above = std::upper_bound(LineWeights.begin(), LineWeights.end(), n);
    return *(above - 1);
}

void TsgDXFExport::WriteLineWeight(const TdxfExportData &data)
{
    if (Version == Release14)
        return;
    if (!data.Text.empty())
        WriteString(6, data.Text);
    const std::int32_t weight = lineWeightFor(data.PenWidth);
    if (weight >= 0)
        WriteInt(370, weight);
}

void TsgDXFExport::WriteLwPolylineHeader(const TdxfExportData &data, std::int32_t vertexCount)
{
    WriteEntityHeader("LWPOLYLINE", "AcDbPolyline");
    WriteColor(data);
    WriteLineWeight(data);
    WriteInt(90, vertexCount);
    WriteInt(70, data.Flags);
    if (data.ConstWidth != 0)
        WriteReal(43, data.ConstWidth);
}

void TsgDXFExport::WriteSplineHeader(const TdxfExportData &data, std::int64_t knots,
    std::int64_t controlPoints, long double tolerance)
{
    WriteEntityHeader("SPLINE", "AcDbSpline");
    WriteColor(data);
    WriteLineWeight(data);
    WritePoint3D(210, TFPoint { 0, 0, 1 });
    WriteInt(70, 8);
    WriteInt(71, 3);
    WriteInt(72, knots);
    WriteInt(73, controlPoints);
    WriteInt(74, 0);
    WriteReal(42, tolerance);
    WriteReal(43, tolerance);
}

void TsgDXFExport::writeGroups(std::span<const FixedGroup> groups)
{
    for (const FixedGroup &group : groups)
        WriteString(group.code, group.value);
}

void TsgDXFExport::writeLayer(const TsgExpDXFLayer &layer)
{
    WriteString(0, "LAYER");
    WriteHandle();
    WriteString(330, " 1A");
    WriteString(100, "AcDbSymbolTableRecord");
    WriteString(100, "AcDbLayerTableRecord");
    WriteString(2, layer.Name);
    WriteInt(70, layer.Flags);
    WriteInt(62, layer.Color);
    WriteString(6, layer.LineTypeName);
    if (Version != Release14) {
        WriteInt(370, layer.LineWeight);
        WriteString(390, " 19");
    }
}

bool TsgDXFExport::SaveToStream(std::ostream &stream)
{
    // The header needs the handle seed and the limits, which only the entities settle. A
    // first pass lets every figure write itself without keeping any text, which moves the
    // handle counter and the limits exactly as the real pass will; the real pass then streams
    // the entities behind the header in blocks, so a large drawing never has to be held in
    // memory as a whole.
    const std::int32_t firstEntityHandle = HandleCounter;
    Entities.clear();
    Output = &Entities;
    m_measuring = true;
    for (const auto &figure : Figures) {
        CurrentLayerName = figure->Layer;
        figure->WriteTo(*this);
    }
    m_measuring = false;
    const std::int32_t afterEntities = HandleCounter;

    TextList head;
    {
        OutputSwitch to(Output, &head);
        writeGroups(FixedBlocks::A);
        WriteString(9, "$ACADVER");
        WriteString(1, Version == Release14 ? "AC1014" : "AC1015");
        WriteString(9, "$HANDSEED");
        WriteString(5,
            handleText(static_cast<std::uint32_t>(
                afterEntities + static_cast<std::int32_t>(Layers.size()) + 1)));
        WriteString(9, "$LIMMIN");
        WritePoint(10, TFPoint { LimMin.x, LimMin.y, 0 });
        WriteString(9, "$LIMMAX");
        WritePoint(10, TFPoint { LimMax.x, LimMax.y, 0 });
    }
    head.writeTo(stream);
    HeaderVariables.writeTo(stream);
    head.clear();
    {
        OutputSwitch to(Output, &head);
        writeGroups(FixedBlocks::B);
    }
    head.writeTo(stream);
    LineTypes.writeTo(stream);

    // The layer records take their handles after the entities.
    HandleCounter = afterEntities;
    TextList tables;
    {
        OutputSwitch to(Output, &tables);
        writeGroups(FixedBlocks::C);
        for (const auto &layer : Layers)
            writeLayer(*layer);
        writeGroups(FixedBlocks::D);
        writeGroups(FixedBlocks::E);
        if (Version != Release14)
            writeGroups(FixedBlocks::E2);
        writeGroups(FixedBlocks::F);
        writeGroups(FixedBlocks::G);
        WriteString(0, "ENDSEC");
        WriteString(0, "SECTION");
        WriteString(2, "ENTITIES");
    }
    tables.writeTo(stream);
    const std::int32_t afterLayers = HandleCounter;

    HandleCounter = firstEntityHandle;
    Output = &Entities;
    for (const auto &figure : Figures) {
        CurrentLayerName = figure->Layer;
        figure->WriteTo(*this);
        // Written out at half a block, so the next figures still fit the same block and no
        // fresh memory is touched for every piece.
        if (Entities.byteCount() >= TextList::BlockSize / 2) {
            Entities.writeTo(stream);
            Entities.clear();
        }
    }
    Entities.writeTo(stream);
    HandleCounter = afterLayers;

    TextList tail;
    {
        OutputSwitch to(Output, &tail);
        writeGroups(Version == Release14 ? FixedBlocks::H14 : FixedBlocks::H2000);
        writeGroups(FixedBlocks::J);
    }
    tail.writeTo(stream);
    stream.flush();
    return static_cast<bool>(stream);
}
