#include "export/CamDxfExport.h"

#include "document/Chain.h"
#include "dxf/DXFExport.h"
#include "dxf/ExpDXFBulgePolyline.h"
#include "dxf/ExpDXFCircle.h"
#include "dxf/ExpDXFEllipse.h"
#include "dxf/ExpDXFSpline.h"
#include "export/Biarc.h"
#include "export/DrawingExtents.h"
#include "export/DxfDocumentFile.h"
#include "export/TargetCheck.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr const char *HolesLayer = "HOLES";
constexpr std::int32_t LayerColor = 7;
// Half axes this close to each other (relative to the larger) make a circle.
constexpr double CircleTolerance = 1E-9;
// Drawings from this many elements on are walked on two threads.
constexpr std::int32_t ParallelFrom = 2000;

bool finite(TPointD p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// One segment of a run, in picture pixels: a line, or a curve with its cubic control points.
struct RunSegment
{
    bool curve;
    TPointD c1, c2, end;
};

// Walks the chains and makes one figure per connected run of each chain. It keeps its figures
// to itself, so two builders can walk two halves of a drawing at the same time.
class CamBuilder
{
public:
    explicit CamBuilder(const CamDxfSettings &settings)
        : m_settings(settings)
        , m_q(settings.params.scaleDivisor())
        , m_fit(settings.toleranceInOutputUnits())
    {
    }

    void element(const TElementList &elements, std::int32_t index);
    // Ends the run that is open, closed when it returns to its start.
    void endRun(bool closed = false);

    CamDxfCounts counts;
    DrawingExtents extents;
    std::vector<std::unique_ptr<TsgExpDXFFigure>> figures;

private:
    TPointD out(TPointD p) const { return { p.x / m_q, (m_settings.pictureHeight - p.y) / m_q }; }
    CubicCurve outCurve(TPointD start, const RunSegment &s) const
    {
        return { out(start), out(s.c1), out(s.c2), out(s.end) };
    }
    // Continues the open run from `from`, or ends it and begins a new one there.
    void continueAt(TPointD from);
    void addSegment(const RunSegment &segment);
    void addEllipse(const TDrawElement &e);
    void writePolyline(bool closed);
    void writeSpline();
    TdxfExportData data() const { return {}; }
    void add(std::unique_ptr<TsgExpDXFFigure> figure, const char *layer = "0")
    {
        figure->Layer = layer;
        figures.push_back(std::move(figure));
    }

    const CamDxfSettings &m_settings;
    double m_q;
    BiarcFit m_fit;
    bool m_open = false;
    TPointD m_start { 0, 0 };
    TPointD m_end { 0, 0 };
    std::vector<RunSegment> m_run;
    std::vector<ArcSegment> m_arcs;
};

void CamBuilder::continueAt(TPointD from)
{
    if (m_open && m_end == from)
        return;
    endRun();
    m_open = true;
    m_start = m_end = from;
}

void CamBuilder::addSegment(const RunSegment &segment)
{
    // A line of no length adds nothing a machine could follow.
    if (!segment.curve && segment.end == m_end)
        return;
    m_run.push_back(segment);
    m_end = segment.end;
}

void CamBuilder::element(const TElementList &elements, std::int32_t index)
{
    const TDrawElement &e = elements.at(index);
    if (e.ChainPos == 0)
        endRun();
    // Checked in output units, where a huge coordinate may overflow.
    const bool usable = finite(out(e.Start)) && finite(out(e.End))
        && (e.Kind != KindQuadBezier || finite(out(e.Ctrl1)))
        && (e.Kind != KindCubicBezier || (finite(out(e.Ctrl1)) && finite(out(e.Ctrl2))));
    if (!usable) {
        // Damaged coordinates never reach the file; the run breaks where they were.
        endRun();
        return;
    }
    switch (e.Kind) {
    case KindLine:
        continueAt(e.Start);
        addSegment({ false, e.Start, e.End, e.End });
        break;
    case KindQuadBezier: {
        continueAt(e.Start);
        const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
        addSegment({ true, c.c1, c.c2, e.End });
        break;
    }
    case KindCubicBezier:
        continueAt(e.Start);
        addSegment({ true, e.Ctrl1, e.Ctrl2, e.End });
        break;
    case KindEllipse:
        endRun();
        addEllipse(e);
        break;
    default:
        break; // an unknown kind draws nothing, but may still close its chain
    }
    if (!e.ClosesChain)
        return;
    const std::int32_t first = chainStartIndex(elements, index);
    if (first < 0 || !finite(out(elements.at(first).Start)))
        return;
    // The closing line runs from this element's End to the chain's first Start. The run is
    // closed when it began there; after a break in the chain the line is only one more segment.
    const TPointD target = elements.at(first).Start;
    continueAt(e.End);
    const bool closes = m_start == target;
    addSegment({ false, target, target, target });
    endRun(closes);
}

void CamBuilder::endRun(bool closed)
{
    if (m_open && !m_run.empty()) {
        closed = closed || m_end == m_start;
        const bool curved =
            std::any_of(m_run.begin(), m_run.end(), [](const RunSegment &s) { return s.curve; });
        if (m_settings.splines && curved)
            writeSpline();
        else
            writePolyline(closed);
    }
    m_open = false;
    m_run.clear();
}

void CamBuilder::writePolyline(bool closed)
{
    std::vector<TBulgeVertex> vertices;
    const TPointD first = out(m_start);
    vertices.push_back({ first.x, first.y, 0 });
    TPointD at = m_start;
    for (const RunSegment &s : m_run) {
        m_arcs.clear();
        if (s.curve) {
            m_fit.fit(outCurve(at, s), m_arcs);
        } else {
            m_arcs.push_back({ out(s.end), 0.0 });
        }
        for (const ArcSegment &arc : m_arcs) {
            TBulgeVertex &from = vertices.back();
            from.bulge = arc.bulge;
            extents.addArc({ from.x, from.y }, arc.end, arc.bulge);
            counts.arcs += arc.bulge != 0 ? 1 : 0;
            vertices.push_back({ arc.end.x, arc.end.y, 0 });
        }
        at = s.end;
    }
    // A closed polyline returns to its first vertex by itself; the last vertex would double it.
    if (closed && vertices.size() > 1)
        vertices.pop_back();
    if (vertices.size() < 2)
        return;
    add(std::make_unique<TsgExpDXFBulgePolyline>(data(), std::move(vertices), closed));
    ++counts.polylines;
    counts.closedPolylines += closed ? 1 : 0;
}

void CamBuilder::writeSpline()
{
    // Lines become cubic segments along themselves, so the run stays one spline.
    std::vector<TDPoint> points;
    TPointD at = m_start;
    const TPointD first = out(at);
    points.push_back({ first.x, first.y });
    for (const RunSegment &s : m_run) {
        CubicCurve c = outCurve(at, s);
        if (!s.curve) {
            const TPointD d = c.p3 - c.p0;
            c.p1 = { c.p0.x + d.x / 3, c.p0.y + d.y / 3 };
            c.p2 = { c.p0.x + 2 * d.x / 3, c.p0.y + 2 * d.y / 3 };
        }
        extents.addCubic(c);
        for (const TPointD &p : { c.p1, c.p2, c.p3 })
            points.push_back({ p.x, p.y });
        at = s.end;
    }
    add(std::make_unique<TsgExpDXFSpline>(data(), std::move(points)));
    ++counts.splines;
}

void CamBuilder::addEllipse(const TDrawElement &e)
{
    const TPointD centre = out({ e.Start.x / 2 + e.End.x / 2, e.Start.y / 2 + e.End.y / 2 });
    const double hx = std::fabs(e.End.x / 2 - e.Start.x / 2) / m_q;
    const double hy = std::fabs(e.End.y / 2 - e.Start.y / 2) / m_q;
    const double major = std::max(hx, hy);
    const double minor = std::min(hx, hy);
    if (!(major > 0) || !std::isfinite(major) || !finite(centre))
        return; // a point has nothing to cut, and an overflowing size has no DXF spelling
    extents.addEllipse(centre, hx, hy);
    if (major - minor <= CircleTolerance * major) {
        add(std::make_unique<TsgExpDXFCircle>(data(), centre.x, centre.y, (hx + hy) / 2),
            HolesLayer);
        ++counts.circles;
    } else if (minor > 0) {
        const bool wide = hx >= hy;
        add(std::make_unique<TsgExpDXFEllipse>(
            data(), centre.x, centre.y, wide ? hx : 0, wide ? 0 : hy, minor / major));
        ++counts.ellipses;
    } else {
        // An ellipse without width or height is drawn as the line along its middle.
        const double dx = hx > 0 ? hx : 0, dy = hy > 0 ? hy : 0;
        std::vector<TBulgeVertex> line { { centre.x - dx, centre.y - dy, 0 },
            { centre.x + dx, centre.y + dy, 0 } };
        add(std::make_unique<TsgExpDXFBulgePolyline>(data(), std::move(line), false));
        ++counts.polylines;
    }
}

} // namespace

double CamDxfSettings::toleranceInOutputUnits() const
{
    double mm = toleranceMm;
    if (std::isnan(mm) || mm < MinToleranceMm)
        mm = MinToleranceMm;
    mm = std::min(mm, MaxToleranceMm);
    return params.millimetres ? mm : mm / DxfExportParams::MillimetresPerInch;
}

CamDxfCounts CamDxfExport::build(
    TsgDXFExport &document, const TElementList &elements, const CamDxfSettings &settings)
{
    document.Version = TsgDXFExport::Release2000;
    // The layers name this line type; a reader that checks references finds it.
    document.AddLineType("Continuous", {});
    document.SetCurrentLayer(HolesLayer, LayerColor);
    document.SetCurrentLayer("0");

    // Fitting arcs takes most of the time, so a large drawing is walked in two halves at once,
    // split where a chain begins; the figures are then added in list order as one walk would.
    const auto count = static_cast<std::int32_t>(elements.Count());
    std::int32_t split = count;
    if (settings.allowThreads && count >= ParallelFrom) {
        split = count / 2;
        while (split < count && elements.at(split).ChainPos != 0)
            ++split;
    }
    auto walk = [&](CamBuilder &builder, std::int32_t from, std::int32_t to) {
        for (std::int32_t i = from; i < to; ++i)
            builder.element(elements, i);
        builder.endRun();
    };
    CamBuilder first(settings);
    CamBuilder second(settings);
    if (split < count) {
        std::exception_ptr failure;
        std::thread helper([&] {
            try {
                walk(second, split, count);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        try {
            walk(first, 0, split);
        } catch (...) {
            helper.join();
            throw;
        }
        helper.join();
        if (failure)
            std::rethrow_exception(failure);
    } else {
        walk(first, 0, count);
    }
    CamDxfCounts counts;
    DrawingExtents extents;
    for (CamBuilder *builder : { &first, &second }) {
        for (auto &figure : builder->figures)
            document.Figures.push_back(std::move(figure));
        extents.add(builder->extents);
        counts.polylines += builder->counts.polylines;
        counts.closedPolylines += builder->counts.closedPolylines;
        counts.circles += builder->counts.circles;
        counts.ellipses += builder->counts.ellipses;
        counts.splines += builder->counts.splines;
        counts.arcs += builder->counts.arcs;
    }

    const bool mm = settings.params.millimetres;
    document.AddHeaderInt("$INSUNITS", 70, mm ? 4 : 1);
    document.AddHeaderInt("$MEASUREMENT", 70, mm ? 1 : 0);
    const TPointD low = extents.min();
    const TPointD high = extents.max();
    document.AddHeaderPoint3D("$EXTMIN", low.x, low.y, 0);
    document.AddHeaderPoint3D("$EXTMAX", high.x, high.y, 0);
    return counts;
}

bool CamDxfExport::write(
    std::ostream &stream, const TElementList &elements, const CamDxfSettings &settings)
{
    TsgDXFExport document;
    build(document, elements, settings);
    return document.SaveToStream(stream);
}

ExportResult savedxfCam(const TElementList &elements, const CamDxfSettings &settings,
    const QString &fileName, CamDxfCounts *counts)
{
    const int message = CamDxfExport::CannotCreateMessage;
    if (const QString refusal = targetRefusal(fileName); !refusal.isEmpty())
        return ExportResult::failure(message, fileName, refusal);
    try {
        TsgDXFExport document;
        const CamDxfCounts written = CamDxfExport::build(document, elements, settings);
        if (const QString reason = saveDocumentAtomically(document, fileName); !reason.isEmpty())
            return ExportResult::failure(message, fileName, reason);
        if (counts)
            *counts = written;
        return ExportResult::success();
    } catch (const std::exception &error) {
        // Running out of memory on a huge drawing is a failed export like any other.
        return ExportResult::failure(message, fileName, QString::fromLocal8Bit(error.what()));
    }
}
