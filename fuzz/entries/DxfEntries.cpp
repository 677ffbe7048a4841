#include "DxfTextCheck.h"
#include "FuzzBytes.h"
#include "FuzzEntries.h"
#include "export/CncDxfExport.h"
#include "export/SplineDxfExport.h"

#include <sstream>

namespace linovex::fuzz {

namespace {

// Text a number printer gives for values that are not numbers; no DXF reader takes them.
std::string nonNumberText(std::string_view text)
{
    for (const char *word : { "nan", "inf", "NAN", "INF" }) {
        if (text.find(word) != std::string_view::npos)
            return std::string("the text contains '") + word + "'";
    }
    return {};
}

std::string splineText(const TElementList &list, const DxfExportParams &params)
{
    std::ostringstream out;
    if (!SplineDxfExport::write(out, list, params))
        return {};
    return std::move(out).str();
}

const std::vector<std::string> &emptySplineOutline()
{
    static const std::vector<std::string> outline = [] {
        TElementList empty;
        const std::string text = splineText(empty, DxfExportParams {});
        std::vector<DxfGroup> groups;
        parseDxfGroups(text, groups);
        std::string ignored;
        return splineOutline(groups, ignored);
    }();
    return outline;
}

// The bytes every CNC file starts and ends with. The opening is taken from the export of an empty
// list; the closing is spelled out, so that the check does not take the export's own ending for
// the right one: "EOF" ends with CR LF like every other line, and nothing follows it.
struct CncFrame
{
    std::string opening;
    std::string closing;
};

const CncFrame &cncFrame()
{
    static const CncFrame frame = [] {
        TElementList empty;
        const QByteArray bytes = cncDxfBytes(empty, DxfExportParams {});
        const std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const std::string marker = "ENTITIES\r\n";
        const auto split = text.find(marker) + marker.size();
        return CncFrame { text.substr(0, split), "  0\r\nENDSEC\r\n  0\r\nEOF\r\n" };
    }();
    return frame;
}

// How many pieces the CNC export cuts the curves and ellipses of a list into.
std::int64_t arcPieces(TElementList &list, const DxfExportParams &params)
{
    const std::int64_t n = params.effectivePieces();
    std::int64_t pieces = 0;
    const auto count = static_cast<std::int32_t>(list.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t kind = list.Get(i)->Kind;
        if (kind == KindQuadBezier || kind == KindCubicBezier)
            pieces += n;
        else if (kind == KindEllipse)
            pieces += 16 * n;
    }
    return pieces;
}

constexpr std::int64_t MaxComparedPieces = 64;

} // namespace

std::string splineDxf(std::span<const std::uint8_t> data)
{
    ByteReader in(data);
    const DxfExportParams params = decodeParams(in.byte());
    TElementList list;
    decodeElements(in, list);

    const std::string text = splineText(list, params);
    if (text.empty())
        return "the export reported a stream error";
    if (std::string problem = nonNumberText(text); !problem.empty())
        return problem;
    std::vector<DxfGroup> groups;
    if (std::string problem = parseDxfGroups(text, groups); !problem.empty())
        return problem;
    std::string problem;
    const std::vector<std::string> outline = splineOutline(groups, problem);
    if (!problem.empty())
        return problem;
    if (outline != emptySplineOutline())
        return "the sections and tables differ from those of an empty drawing";
    return {};
}

std::string cncDxf(std::span<const std::uint8_t> data)
{
    ByteReader in(data);
    const DxfExportParams params = decodeParams(in.byte());
    const std::uint8_t flags = in.byte();
    const bool compareWithWalk = (flags & 1) != 0;
    // Starting a thread costs some milliseconds under the sanitizers, so only one input in
    // sixteen has its segments computed on a second thread.
    const bool twoThreads = (flags & 0xf0) == 0xf0;
    TElementList list;
    decodeElements(in, list);

    const QByteArray bytes = cncDxfBytes(list, params, CncDxfExport::ArcSearch::ClosedForm,
        twoThreads ? CncDxfExport::Threading::Overlapped : CncDxfExport::Threading::Single);
    // The closed-form arc choice must write exactly the file the walk over all 1999 candidates
    // writes, whether on one thread or two. The walk is slow, so only drawings of a few dozen
    // pieces are compared; the test suite compares a million pieces in every run.
    if (compareWithWalk && arcPieces(list, params) <= MaxComparedPieces
        && cncDxfBytes(
               list, params, CncDxfExport::ArcSearch::Literal, CncDxfExport::Threading::Single)
            != bytes)
        return "the closed-form arc choice wrote another file than the walk over all candidates";
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (std::string problem = nonNumberText(text); !problem.empty())
        return problem;
    const CncFrame &frame = cncFrame();
    if (!text.starts_with(frame.opening))
        return "the fixed opening lines are not intact";
    if (!text.ends_with(frame.closing))
        return "the fixed closing lines are not intact";
    if (text.size() < frame.opening.size() + frame.closing.size())
        return "the text is shorter than its fixed lines";
    std::vector<DxfGroup> groups;
    if (std::string problem = parseDxfGroups(text, groups); !problem.empty())
        return problem;
    const std::string_view middle = text.substr(
        frame.opening.size(), text.size() - frame.opening.size() - frame.closing.size());
    if (std::string problem = parseDxfGroups(middle, groups); !problem.empty())
        return "between the fixed lines: " + problem;
    return checkCncEntities(groups);
}

} // namespace linovex::fuzz
