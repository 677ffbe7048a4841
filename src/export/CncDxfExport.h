#pragma once

#include "document/Chain.h"
#include "dxf/RealFormat.h"
#include "export/ArcCandidateSearch.h"
#include "export/DxfExportParams.h"
#include "export/ExportResult.h"
#include "export/SegmentPipe.h"

#include <QByteArray>
#include <QString>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

class QIODevice;

// The DXF file for cutting machines: nothing but POLYLINE entities whose segments are straight
// lines or circular arcs given as bulges. Every Bezier curve is cut into a fixed number of pieces
// and each piece becomes one arc (or one straight segment where it is straight); every ellipse is
// first made of 16 quadratic pieces. Coordinates are picture pixels divided by the scale divisor,
// with y turned upwards.
//
// One object writes one file. The text goes to a device in blocks, so memory stays small however
// large the drawing is.
class CncDxfExport
{
public:
    // Message number shown when the file cannot be created or written.
    static constexpr int CannotCreateMessage = 12;

    // How each piece's arc candidate is chosen; both give the same file, the walk is kept as the
    // reference the benchmark and the tests compare against.
    enum class ArcSearch { ClosedForm, Literal };

    CncDxfExport(const DxfExportParams &params, QIODevice &device);

    void setArcSearch(ArcSearch search) { m_search = search; }

    // Whether the segments are computed on a second thread while this one writes their text.
    // Both ways give the same bytes; Automatic overlaps them for large drawings on machines with
    // more than one core.
    enum class Threading { Automatic, Single, Overlapped };
    void setThreading(Threading threading) { m_threading = threading; }

    // Writes the whole file: the fixed opening lines, the segments of all elements (curves first,
    // ellipses in a second pass), and the closing lines. Walks the list by index, so the list's
    // cursor is left on the last element. Returns false when the device refused to take the text.
    bool write(TElementList &list);

    // The steps of the export, in output coordinates (DXF units, y upwards). Public so the tests
    // can drive each one on its own.
    static double bezierPoint(double p0, double p1, double p2, double p3, double t)
    {
        const double mt = 1 - t;
        return mt * mt * mt * p0 + 3 * t * mt * mt * p1 + 3 * t * t * mt * p2 + t * t * t * p3;
    }
    void writeSegment(double startX, double startY, double endX, double endY, double bulge);
    void bezierToArcs(
        double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3);
    bool writeArc(const TPointD &a, const TPointD &q, const TPointD &e);
    void ellipseToArcs(double x1, double y1, double x2, double y2);

    // Ends the open polyline and the file, and hands the rest of the text to the device.
    bool finish();

    // A picture point in output coordinates.
    TPointD toOutput(TPointD p) const { return { p.x / m_q, -(p.y / m_q) }; }

private:
    // The side that computes the segments of a drawing on a second thread and hands them to
    // `pipe` instead of writing them.
    CncDxfExport(const CncDxfExport &writer, SegmentPipe &pipe);

    void writeFixedOpening();
    // Both passes over the list.
    void writeElements(TElementList &list);
    void writeElementsOverlapped(TElementList &list);
    void writeElement(const TDrawElement &e);
    // The candidates of the arc through A and E that replaces the piece with middle point M.
    static ArcCandidateProblem arcProblem(const TPointD &a, const TPointD &m, const TPointD &e);
    int chooseCandidate(const ArcCandidateProblem &problem) const;
    // Writes a segment, or hands it on when this object only computes them.
    void emitSegment(double startX, double startY, double endX, double endY, double bulge)
    {
        if (m_pipe)
            m_pipe->add({ startX, startY, endX, endY, bulge });
        else
            writeSegment(startX, startY, endX, endY, bulge);
    }
    void writeClosingLine(TElementList &list, std::int32_t index);
    // Text goes into a block that is handed to the device when the next piece would not fit.
    void makeRoom(std::size_t length);
    // Inline, since it is called for every piece of every vertex.
    void put(std::string_view text)
    {
        std::memcpy(m_text.data() + m_used, text.data(), text.size());
        m_used += text.size();
    }
    void putPoint(double x, double y);
    void line(const char *text);
    bool flush();

    QIODevice &m_device;
    std::vector<char> m_text;
    std::size_t m_used = 0;
    // The text of the last vertex's x, the y code line and its y, which a continuing segment
    // starts with.
    char m_lastPointText[2 * MaxDxfRealLength + 8];
    std::size_t m_lastPointLength = 0;
    double m_q;
    int m_pieces;
    ArcSearch m_search = ArcSearch::ClosedForm;
    Threading m_threading = Threading::Automatic;
    SegmentPipe *m_pipe = nullptr;
    bool m_polylineOpen = false;
    TPointD m_lastVertex { 0, 0 };
    bool m_straightOnly = false;
    bool m_deviceFailed = false;
};

// The CNC export of the element list into `fileName`. The text is written to a temporary file
// that replaces the target only when it is complete, so a failure leaves an existing file as it
// was and never leaves a partial file behind.
ExportResult savedxfArc(TElementList &list, const DxfExportParams &params, const QString &fileName,
    CncDxfExport::ArcSearch search = CncDxfExport::ArcSearch::ClosedForm);

// The same export into memory.
QByteArray cncDxfBytes(TElementList &list, const DxfExportParams &params,
    CncDxfExport::ArcSearch search = CncDxfExport::ArcSearch::ClosedForm,
    CncDxfExport::Threading threading = CncDxfExport::Threading::Automatic);
