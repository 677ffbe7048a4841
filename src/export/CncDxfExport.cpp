#include "export/CncDxfExport.h"

#include "dxf/RealFormat.h"
#include "export/ArcSense.h"
#include "export/TargetCheck.h"

#include <QBuffer>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>

namespace {

// The opening of every file: a TABLES section with the one line type "AUSGEZOGEN" and the one
// layer "0", then the start of the ENTITIES section. The blanks before the group codes belong to
// the lines; the machines' readers have always been given exactly these bytes.
constexpr const char *FixedOpening[] = {
    " 0", "SECTION", "  2", "TABLES", " 0", "TABLE", " 2", "LTYPE", "70", "1", //
    "0", "LTYPE", "2", "AUSGEZOGEN", "70", "0", "3", "Ausgezogenen Linie", "72", "65", //
    "73", "0", "40", "0.0", "0", "ENDTAB", " 0", "TABLE", " 2", "LAYER", //
    "70", "1", "0", "LAYER", "2", "0", "70", "0", "62", "7", //
    "6", "AUSGEZOGEN", " 0", "ENDTAB", " 0", "ENDSEC", " 0", "SECTION", "  2", "ENTITIES", //
};
static_assert(std::size(FixedOpening) == 50);

constexpr const char *FixedClosing[] = { "  0", "ENDSEC", "  0", "EOF" };

// The text is handed to the device in blocks of at most this size. The buffer starts small and
// doubles up to it, so a small drawing does not clear a megabyte it never uses.
constexpr std::size_t FlushSize = 1 << 20;
constexpr std::size_t FirstBufferSize = 1 << 14;

constexpr std::string_view PolylineHead = "0\r\nPOLYLINE\r\n8\r\n0\r\n66\r\n1\r\n";
constexpr std::string_view SeqEnd = "0\r\nSEQEND\r\n";
// A vertex up to its x value, and the lines between its y value and its bulge.
constexpr std::string_view VertexHead = "0\r\nVERTEX\r\n8\r\n0\r\n10\r\n";
constexpr std::string_view BulgeCode = "\r\n42\r\n";

// The most text one segment adds: a SEQEND, a new POLYLINE and two vertices of three numbers.
constexpr std::size_t MaxSegmentText = SeqEnd.size() + PolylineHead.size()
    + 2 * (VertexHead.size() + 3 * MaxDxfRealLength + 6 + BulgeCode.size() + 2);

// Below this absolute value of twice the triangle's area (in output units squared) the three
// points of a piece count as one straight line.
constexpr double CollinearLimit = 1E-8;

// From this many elements on, the segments are computed on a second thread (where there is a
// second core) while the first writes their text; for fewer, starting the thread is not worth it.
constexpr std::int32_t OverlapFromElements = 1000;

// The largest coordinate whose 15-digit text still reads back as a number: from
// 1.797693134862315E308 on, the text rounds up to 1.79769313486232E308, which lies beyond the
// largest double, and a reader takes it for infinity.
constexpr double LargestWritable = 1.79769313486231E308;

// sin and cos of j x 22.5 degrees. At the quarter turns they are exactly 0 and +-1, so the outline
// passes exactly through the middles of the rectangle's sides and ends exactly where it began;
// the library functions give values like 1.2E-16 there, which would leave the contour a hair open.
double ellipseSin(int j)
{
    switch (j % 16) {
    case 0:
    case 8:
        return 0.0;
    case 4:
        return 1.0;
    case 12:
        return -1.0;
    default:
        return std::sin(j * (std::numbers::pi / 8));
    }
}

double ellipseCos(int j)
{
    switch (j % 16) {
    case 0:
        return 1.0;
    case 4:
    case 12:
        return 0.0;
    case 8:
        return -1.0;
    default:
        return std::cos(j * (std::numbers::pi / 8));
    }
}

// The sines and cosines every ellipse needs: of the outline angles j x 22.5 degrees (j = 0 .. 16)
// and of the pushed-out middle angles between them (j = 1 .. 16). They are the same for every
// ellipse, so they are computed once, by the same calls, instead of 66 library calls per ellipse.
struct EllipseAngles
{
    double sinOutline[17], cosOutline[17];
    double sinMiddle[17], cosMiddle[17];
};

const EllipseAngles &ellipseAngles()
{
    static const EllipseAngles angles = [] {
        EllipseAngles a {};
        for (int j = 0; j <= 16; ++j) {
            a.sinOutline[j] = ellipseSin(j);
            a.cosOutline[j] = ellipseCos(j);
            const double phi = j * (std::numbers::pi / 8) - std::numbers::pi / 16;
            a.sinMiddle[j] = std::sin(phi);
            a.cosMiddle[j] = std::cos(phi);
        }
        return a;
    }();
    return angles;
}

bool finite(TPointD p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// False for not-a-number and infinity too.
bool writable(double v)
{
    return std::fabs(v) <= LargestWritable;
}

} // namespace

CncDxfExport::CncDxfExport(const DxfExportParams &params, QIODevice &device)
    : m_device(device)
    , m_q(params.scaleDivisor())
    , m_pieces(params.effectivePieces())
{
    m_text.resize(FirstBufferSize);
}

bool CncDxfExport::write(TElementList &list)
{
    writeFixedOpening();
    const bool overlap = m_threading == Threading::Overlapped
        || (m_threading == Threading::Automatic && list.Count() >= OverlapFromElements
            && std::thread::hardware_concurrency() > 1);
    if (overlap)
        writeElementsOverlapped(list);
    else
        writeElements(list);
    return finish();
}

void CncDxfExport::writeElements(TElementList &list)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    // First pass: lines and curves in list order. Second pass: the ellipses. The polyline state
    // runs on from one pass into the other.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::int32_t i = 0; i < count; ++i) {
            if (m_pipe && m_pipe->cancelled())
                return;
            const TDrawElement &e = *list.Get(i);
            if ((e.Kind == KindEllipse) != (pass == 1))
                continue;
            writeElement(e);
            if (e.ClosesChain)
                writeClosingLine(list, i);
        }
    }
}

void CncDxfExport::writeElement(const TDrawElement &e)
{
    switch (e.Kind) {
    case KindLine: {
        const TPointD a = toOutput(e.Start);
        const TPointD b = toOutput(e.End);
        emitSegment(a.x, a.y, b.x, b.y, 0);
        break;
    }
    case KindQuadBezier: {
        const TPointD p0 = toOutput(e.Start);
        const TPointD c = toOutput(e.Ctrl1);
        const TPointD p2 = toOutput(e.End);
        const TPointD c1 { p0.x + 2.0 / 3.0 * (c.x - p0.x), p0.y + 2.0 / 3.0 * (c.y - p0.y) };
        const TPointD c2 { c.x + 1.0 / 3.0 * (p2.x - c.x), c.y + 1.0 / 3.0 * (p2.y - c.y) };
        bezierToArcs(p0.x, p0.y, c1.x, c1.y, c2.x, c2.y, p2.x, p2.y);
        break;
    }
    case KindCubicBezier: {
        const TPointD p0 = toOutput(e.Start);
        const TPointD c1 = toOutput(e.Ctrl1);
        const TPointD c2 = toOutput(e.Ctrl2);
        const TPointD p3 = toOutput(e.End);
        bezierToArcs(p0.x, p0.y, c1.x, c1.y, c2.x, c2.y, p3.x, p3.y);
        break;
    }
    case KindEllipse: {
        const TPointD a = toOutput(e.Start);
        const TPointD b = toOutput(e.End);
        ellipseToArcs(a.x, a.y, b.x, b.y);
        break;
    }
    default:
        // Only a damaged project holds other kinds; they have no geometry to cut.
        break;
    }
}

// A chain the user closed is cut closed: a straight segment from the closing element's End back
// to the Start of its chain's first element, right after the element's own segments, so it
// continues the polyline the element ended.
void CncDxfExport::writeClosingLine(TElementList &list, std::int32_t index)
{
    const std::int32_t first = chainStartIndex(list, index);
    if (first < 0)
        return;
    const TPointD from = toOutput(list.at(index).End);
    const TPointD to = toOutput(list.at(first).Start);
    emitSegment(from.x, from.y, to.x, to.y, 0);
}

void CncDxfExport::writeSegment(
    double startX, double startY, double endX, double endY, double bulge)
{
    // A point that is not a finite number, or whose text would not read back as one (a damaged
    // project, coordinates at the edge of the range of a double after scaling), cannot be cut;
    // the segment is left out rather than written as text a machine would misread.
    if (!writable(startX) || !writable(startY) || !writable(endX) || !writable(endY))
        return;
    if (!std::isfinite(bulge))
        bulge = 0;

    makeRoom(MaxSegmentText);
    bool continues = false;
    if (!m_polylineOpen) {
        m_polylineOpen = true;
        put(PolylineHead);
    } else if (startX != m_lastVertex.x || startY != m_lastVertex.y) {
        put(SeqEnd);
        put(PolylineHead);
    } else {
        continues = true;
    }

    // Both vertices carry the same bulge, and a segment that continues the polyline starts at
    // the very point the last one ended at, whose text is already at hand.
    char bulgeText[MaxDxfRealLength];
    const std::size_t bulgeLength =
        static_cast<std::size_t>(writeDxfDouble(bulgeText, bulge) - bulgeText);
    put(VertexHead);
    if (continues)
        put(std::string_view(m_lastPointText, m_lastPointLength));
    else
        putPoint(startX, startY);
    put(BulgeCode);
    put(std::string_view(bulgeText, bulgeLength));
    put("\r\n");
    put(VertexHead);
    char *point = m_text.data() + m_used;
    putPoint(endX, endY);
    m_lastPointLength = static_cast<std::size_t>(m_text.data() + m_used - point);
    std::memcpy(m_lastPointText, point, m_lastPointLength);
    put(BulgeCode);
    put(std::string_view(bulgeText, bulgeLength));
    put("\r\n");
    m_lastVertex = { endX, endY };
}

void CncDxfExport::bezierToArcs(
    double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3)
{
    const double n = m_pieces;
    // The points of all pieces first: the start, then the middle and the end of each piece. The
    // end of one piece is computed exactly as the start of the next would be, so it is computed
    // once.
    TPointD points[2 * DxfExportParams::MaxPieces + 1];
    points[0] = { bezierPoint(x0, x1, x2, x3, 0 / n), bezierPoint(y0, y1, y2, y3, 0 / n) };
    for (int i = 1; i <= m_pieces; ++i) {
        const double tm = (i - 0.5) / n;
        const double t1 = i / n;
        points[2 * i - 1] = { bezierPoint(x0, x1, x2, x3, tm), bezierPoint(y0, y1, y2, y3, tm) };
        points[2 * i] = { bezierPoint(x0, x1, x2, x3, t1), bezierPoint(y0, y1, y2, y3, t1) };
    }
    if (m_straightOnly) {
        for (int i = 1; i <= m_pieces; ++i)
            emitSegment(
                points[2 * i - 2].x, points[2 * i - 2].y, points[2 * i].x, points[2 * i].y, 0);
        return;
    }
    // Then the arc choice of every piece, which do not depend on each other and so overlap in
    // the processor, and then the arcs in order.
    ArcCandidateProblem problems[DxfExportParams::MaxPieces];
    int chosen[DxfExportParams::MaxPieces];
    for (int i = 0; i < m_pieces; ++i) {
        problems[i] = arcProblem(points[2 * i], points[2 * i + 1], points[2 * i + 2]);
        chosen[i] = chooseCandidate(problems[i]);
    }
    for (int i = 0; i < m_pieces; ++i) {
        const TPointD &a = points[2 * i];
        const TPointD &e = points[2 * i + 2];
        const TPointD q = candidatePoint(problems[i], chosen[i]);
        if (!writeArc(a, q, e))
            emitSegment(a.x, a.y, e.x, e.y, 0);
    }
}

ArcCandidateProblem CncDxfExport::arcProblem(const TPointD &a, const TPointD &m, const TPointD &e)
{
    const TPointD c { (a.x + e.x) / 2, (a.y + e.y) / 2 };
    const TPointD h { (e.x - a.x) / 2, (e.y - a.y) / 2 };
    return { c, { h.y, -h.x }, m };
}

int CncDxfExport::chooseCandidate(const ArcCandidateProblem &problem) const
{
    return m_search == ArcSearch::Literal ? literalCandidate(problem)
                                          : closedFormCandidate(problem);
}

bool CncDxfExport::writeArc(const TPointD &a, const TPointD &q, const TPointD &e)
{
    const double d = a.x * q.y + q.x * e.y + e.x * a.y - a.x * e.y - q.x * a.y - e.x * q.y;
    // A D that is not a number (overflowing products) says nothing about the points either; such
    // a piece is written straight, as collinear ones are.
    if (!(std::fabs(d) > CollinearLimit))
        return false;

    const double a2 = a.x * a.x + a.y * a.y;
    const double q2 = q.x * q.x + q.y * q.y;
    const double e2 = e.x * e.x + e.y * e.y;
    const TPointD u { (a2 * (q.y - e.y) + q2 * (e.y - a.y) + e2 * (a.y - q.y)) / (2 * d),
        (a2 * (e.x - q.x) + q2 * (a.x - e.x) + e2 * (q.x - a.x)) / (2 * d) };
    if (!finite(u))
        return false;
    const double r = std::sqrt((a.x - u.x) * (a.x - u.x) + (a.y - u.y) * (a.y - u.y));

    // The arc runs clockwise from A to E when the counter-clockwise sweep from A to E is half a
    // turn or more.
    const bool clockwise = arcSweepsHalfTurn({ a.x - u.x, a.y - u.y }, { e.x - u.x, e.y - u.y });

    const double chord = std::sqrt((a.x - e.x) * (a.x - e.x) + (a.y - e.y) * (a.y - e.y));
    // Rounding can put the chord a hair above the diameter when the arc is nearly a half circle;
    // the arcsine of that would not be a number.
    const double ratio = std::min(chord / (2 * r), 1.0);
    const double theta = 2 * std::asin(ratio);
    double bulge = std::tan(theta / 4);
    if (clockwise)
        bulge = -bulge;
    if (!std::isfinite(bulge))
        return false;

    emitSegment(a.x, a.y, e.x, e.y, bulge);
    return true;
}

void CncDxfExport::ellipseToArcs(double x1, double y1, double x2, double y2)
{
    const double xm = (x1 + x2) / 2;
    const double ym = (y1 + y2) / 2;
    const double hx = (x2 - x1) / 2;
    const double hy = (y1 - y2) / 2;

    // An ellipse without width or without height is a line: its pieces are written straight along
    // the middle line, whatever rounding makes of their three points.
    m_straightOnly = hx == 0 || hy == 0;

    const EllipseAngles &angles = ellipseAngles();
    TPointD previous { xm + hx * angles.sinOutline[0], ym + hy * angles.cosOutline[0] };
    for (int j = 1; j <= 16; ++j) {
        const TPointD p { xm + hx * angles.sinOutline[j], ym + hy * angles.cosOutline[j] };
        const TPointD f { xm + 1.02 * hx * angles.sinMiddle[j],
            ym + 1.02 * hy * angles.cosMiddle[j] };
        const TPointD c1 { previous.x + 2.0 / 3.0 * (f.x - previous.x),
            previous.y + 2.0 / 3.0 * (f.y - previous.y) };
        const TPointD c2 { f.x + 1.0 / 3.0 * (p.x - f.x), f.y + 1.0 / 3.0 * (p.y - f.y) };
        bezierToArcs(previous.x, previous.y, c1.x, c1.y, c2.x, c2.y, p.x, p.y);
        previous = p;
    }
    m_straightOnly = false;
}

bool CncDxfExport::finish()
{
    if (m_polylineOpen) {
        put(SeqEnd);
        m_polylineOpen = false;
    }
    for (const char *text : FixedClosing)
        line(text);
    return flush();
}

void CncDxfExport::writeFixedOpening()
{
    for (const char *text : FixedOpening)
        line(text);
}

void CncDxfExport::makeRoom(std::size_t length)
{
    if (m_used + length <= m_text.size())
        return;
    if (m_text.size() < FlushSize)
        m_text.resize(std::max(std::min(2 * m_text.size(), FlushSize), m_used + length));
    else
        flush();
    if (length > m_text.size())
        m_text.resize(length);
}

void CncDxfExport::putPoint(double x, double y)
{
    char *at = m_text.data() + m_used;
    at = writeDxfDouble(at, x);
    std::memcpy(at, "\r\n20\r\n", 6);
    at = writeDxfDouble(at + 6, y);
    m_used = static_cast<std::size_t>(at - m_text.data());
}

void CncDxfExport::line(const char *text)
{
    const std::string_view view(text);
    makeRoom(view.size() + 2);
    put(view);
    put("\r\n");
}

bool CncDxfExport::flush()
{
    if (!m_deviceFailed && m_used > 0) {
        const auto size = static_cast<qint64>(m_used);
        if (m_device.write(m_text.data(), size) != size)
            m_deviceFailed = true;
    }
    m_used = 0;
    return !m_deviceFailed;
}

ExportResult savedxfArc(TElementList &list, const DxfExportParams &params, const QString &fileName,
    CncDxfExport::ArcSearch search)
{
    const QString refusal = targetRefusal(fileName);
    if (!refusal.isEmpty())
        return ExportResult::failure(CncDxfExport::CannotCreateMessage, fileName, refusal);

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return ExportResult::failure(
            CncDxfExport::CannotCreateMessage, fileName, file.errorString());
    CncDxfExport exporter(params, file);
    exporter.setArcSearch(search);
    if (!exporter.write(list)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return ExportResult::failure(CncDxfExport::CannotCreateMessage, fileName, reason);
    }
    if (!file.commit())
        return ExportResult::failure(
            CncDxfExport::CannotCreateMessage, fileName, file.errorString());
    return ExportResult::success();
}

QByteArray cncDxfBytes(TElementList &list, const DxfExportParams &params,
    CncDxfExport::ArcSearch search, CncDxfExport::Threading threading)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    CncDxfExport exporter(params, buffer);
    exporter.setArcSearch(search);
    exporter.setThreading(threading);
    exporter.write(list);
    return bytes;
}
