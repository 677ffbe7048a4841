#include "export/SplineDxfExport.h"

#include "dxf/DXFExport.h"
#include "export/DxfDocumentFile.h"
#include "export/TargetCheck.h"

#include <array>
#include <cmath>
#include <exception>
#include <numbers>

namespace {

constexpr std::int32_t ColorStraight = 7; // lines, quadratic Beziers, closing lines
constexpr std::int32_t ColorCurve = 224; // cubic Beziers and ellipse pieces
constexpr int EllipsePieces = 16;
constexpr double EllipseBulge = 1.02;

// Sine and cosine of an angle in degrees, exact at multiples of 90 degrees, so the last
// point of an ellipse lands exactly on its first and the quarter points lie on the axes.
void sinCosDegrees(double degrees, double &sine, double &cosine)
{
    const double quarter = std::round(degrees / 90.0);
    const double rest = (degrees - quarter * 90.0) * std::numbers::pi / 180.0;
    const double s = std::sin(rest);
    const double c = std::cos(rest);
    switch (static_cast<int>(std::fmod(std::fmod(quarter, 4.0) + 4.0, 4.0))) {
    case 0:
        sine = s;
        cosine = c;
        break;
    case 1:
        sine = c;
        cosine = -s;
        break;
    case 2:
        sine = -s;
        cosine = -c;
        break;
    default:
        sine = -c;
        cosine = s;
        break;
    }
}

// Collects the figures of one export. The points are converted once, into one reused list.
class FigureSink
{
public:
    FigureSink(TsgDXFExport &document, long double q)
        : m_document(document)
        , m_q(q)
        , m_lists(1)
    {
        m_data.Points = &m_lists;
    }

    // Adds one figure of the given pixel points. A point that does not convert to a finite
    // float (damaged coordinates, or coordinates beyond the float range) never reaches the
    // file: a curve whose ends are still finite becomes the straight segment between them,
    // anything else is left out.
    void add(std::int32_t color, std::initializer_list<TPointD> pixels)
    {
        TFPointList &points = m_lists.front();
        points.clear();
        bool finite = true;
        for (const TPointD &p : pixels) {
            points.push_back(convert(p));
            finite = finite && std::isfinite(points.back().x) && std::isfinite(points.back().y);
        }
        if (!finite) {
            const TFPoint first = points.front();
            const TFPoint last = points.back();
            if (points.size() <= 2 || !isFinite(first) || !isFinite(last))
                return;
            points.assign({ first, last });
        }
        m_data.Color = color;
        m_data.Count = static_cast<std::uint16_t>(points.size());
        m_document.AddPolyBezier(m_data, 0);
    }

    // The quadratic Bezier from a over b to c, raised to a cubic.
    void addQuadratic(std::int32_t color, TPointD a, TPointD b, TPointD c)
    {
        const CubicControls controls = raiseQuadratic(a, b, c);
        add(color, { a, controls.c1, controls.c2, c });
    }

private:
    static bool isFinite(const TFPoint &p) { return std::isfinite(p.x) && std::isfinite(p.y); }

    // x / q rounded once to a 32-bit float from the extended-precision quotient; y the same,
    // negated after the rounding so that the picture's downward axis points up.
    TFPoint convert(TPointD p) const
    {
        const auto x = static_cast<float>(static_cast<long double>(p.x) / m_q);
        const auto y = static_cast<float>(static_cast<long double>(p.y) / m_q);
        return TFPoint { x, -y, 0 };
    }

    TsgDXFExport &m_document;
    long double m_q;
    std::vector<TFPointList> m_lists;
    TdxfExportData m_data;
};

void addEllipse(FigureSink &sink, const TDrawElement &e)
{
    const double x0 = e.Start.x;
    const double y0 = e.Start.y;
    const double x1 = e.End.x;
    const double y1 = e.End.y;
    const double cx = x0 + (x1 - x0) / 2;
    const double cy = y0 + (y1 - y0) / 2;
    const double hx = (x1 - x0) / 2;
    const double hy = (y0 - y1) / 2;

    // Q0 is the middle of the edge through Start; the pieces run round to Q16 = Q0. An
    // ellipse of zero width or height gives pieces along its middle line.
    std::array<TPointD, EllipsePieces + 1> on;
    for (int k = 0; k <= EllipsePieces; ++k) {
        double s, c;
        sinCosDegrees(k * 22.5, s, c);
        on[static_cast<std::size_t>(k)] = TPointD { cx + hx * s, cy + hy * c };
    }
    for (int k = 1; k <= EllipsePieces; ++k) {
        double s, c;
        sinCosDegrees(k * 22.5 - 11.25, s, c);
        const TPointD control { cx + EllipseBulge * hx * s, cy + EllipseBulge * hy * c };
        sink.addQuadratic(ColorCurve, on[static_cast<std::size_t>(k - 1)], control,
            on[static_cast<std::size_t>(k)]);
    }
}

SplineDxfResult failure(const QString &fileName, const QString &detail)
{
    SplineDxfResult result;
    result.ok = false;
    result.fileName = fileName;
    result.detail = detail;
    return result;
}

} // namespace

QString SplineDxfResult::message(const QString &templateText) const
{
    QString text = templateText;
    return text.replace(QLatin1String("%s"), fileName);
}

void SplineDxfExport::build(TsgDXFExport &document, const TElementList &elements, long double q)
{
    // The line type is added first so that it takes the first handle; no entity refers to it.
    const float solid[] = { 5, 0 };
    document.AddLineType("_SOLID", solid);
    document.Version = TsgDXFExport::Release14;

    FigureSink sink(document, q);
    const auto count = static_cast<std::int32_t>(elements.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement &e = elements.at(i);
        switch (e.Kind) {
        case KindLine:
            sink.add(ColorStraight, { e.Start, e.End });
            break;
        case KindQuadBezier:
            sink.addQuadratic(ColorStraight, e.Start, e.Ctrl1, e.End);
            break;
        case KindCubicBezier:
            sink.add(ColorCurve, { e.Start, e.Ctrl1, e.Ctrl2, e.End });
            break;
        case KindEllipse:
            addEllipse(sink, e);
            break;
        default:
            break; // an unknown kind draws nothing, but may still close its chain
        }
        if (e.ClosesChain) {
            const std::int32_t start = chainStartIndex(elements, i);
            if (start >= 0)
                sink.add(ColorStraight, { e.End, elements.at(start).Start });
        }
    }
}

bool SplineDxfExport::write(
    std::ostream &stream, const TElementList &elements, const DxfExportParams &params)
{
    TsgDXFExport document;
    build(document, elements, params.scaleDivisorExtended());
    return document.SaveToStream(stream);
}

SplineDxfResult SplineDxfExport::savedxf(
    const TElementList &elements, const DxfExportParams &params, const QString &fileName)
{
    const QString refusal = targetRefusal(fileName);
    if (!refusal.isEmpty())
        return failure(fileName, refusal);
    try {
        TsgDXFExport document;
        build(document, elements, params.scaleDivisorExtended());
        const QString reason = saveDocumentAtomically(document, fileName);
        if (!reason.isEmpty())
            return failure(fileName, reason);
        return {};
    } catch (const std::exception &error) {
        // Running out of memory on a huge drawing is a failed export like any other; the
        // unfinished temporary file is discarded when the save file goes out of scope.
        return failure(fileName, QString::fromLocal8Bit(error.what()));
    }
}
