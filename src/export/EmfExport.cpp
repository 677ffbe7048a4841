#include "export/EmfExport.h"

#include "document/Chain.h"
#include "export/AtomicFile.h"
#include "view/ViewTransform.h"

#include <QScreen>

namespace {

// Draws with one pen that is made afresh whenever it is set, as the drawing asks for it before
// every element and every closing line. The new pen is selected before the old one is deleted,
// so a player never sees a deleted pen selected.
class EmfCanvas
{
public:
    EmfCanvas(emf::Writer &writer, const EmfExportSettings &settings)
        : m_w(writer)
        , m_view { settings.zoom, 0, 0 }
        , m_color(emf::colorRef(
              settings.penColor.red(), settings.penColor.green(), settings.penColor.blue()))
        , m_width(m_view.penWidth(settings.lineWidth))
    {
    }

    emf::Point at(TPointD p) const
    {
        const QPoint q = m_view.ImageToScreen(p);
        return { q.x(), q.y() };
    }

    void setPen()
    {
        const std::uint32_t pen = m_w.createPen(emf::PS_SOLID, m_width, m_color);
        m_w.selectObject(pen);
        if (m_pen)
            m_w.deleteObject(m_pen);
        m_pen = pen;
    }

    void makeBrushHollow()
    {
        if (m_hollow)
            return;
        m_w.selectObject(m_w.createBrush(emf::BS_NULL, 0));
        m_hollow = true;
    }

    void bezierTo(TPointD c1, TPointD c2, TPointD end)
    {
        const emf::Point points[] = { at(c1), at(c2), at(end) };
        m_w.polyBezierTo(points, 3);
    }

    emf::Writer &writer() { return m_w; }

private:
    emf::Writer &m_w;
    TViewTransform m_view;
    std::uint32_t m_color;
    int m_width;
    std::uint32_t m_pen = 0;
    bool m_hollow = false;
};

} // namespace

void DrawToEMFCanvas(emf::Writer &metafile, TElementList &list, const EmfExportSettings &settings)
{
    EmfCanvas canvas(metafile, settings);
    const auto count = static_cast<std::int32_t>(list.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement e = *list.Get(i);
        canvas.setPen();
        metafile.moveTo(canvas.at(e.Start));
        switch (e.Kind) {
        case KindLine:
            metafile.lineTo(canvas.at(e.End));
            break;
        case KindQuadBezier: {
            const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
            canvas.bezierTo(c.c1, c.c2, e.End);
            break;
        }
        case KindCubicBezier:
            canvas.bezierTo(e.Ctrl1, e.Ctrl2, e.End);
            break;
        case KindEllipse: {
            canvas.makeBrushHollow();
            const emf::Point a = canvas.at(e.Start);
            const emf::Point b = canvas.at(e.End);
            metafile.ellipse({ a.x, a.y, b.x, b.y });
            break;
        }
        default:
            break;
        }
        if (e.ClosesChain) {
            const std::int32_t first = chainStartIndex(list, i);
            // The walk back makes each element current on its way; it stops at the chain's
            // start, or runs out at the first element.
            const TDrawElement &start = *list.Get(first >= 0 ? first : 0);
            // The pen is set before the move rather than between the move and the line: that
            // draws the same, and readers that begin a new path at every pen change (Inkscape)
            // would otherwise lose the move and with it the closing line.
            if (first >= 0)
                canvas.setPen();
            metafile.moveTo(canvas.at(e.End));
            if (first >= 0)
                metafile.lineTo(canvas.at(start.Start));
        }
    }
    // The picture's top-left corner is the origin of both the drawing and the frame. Readers
    // that place the drawing by the corner of its bounds (Inkscape among them) would otherwise
    // move it up and left by the empty margin above and beside it.
    metafile.includeInBounds({ 0, 0 });
}

emf::ReferenceDevice screenReferenceDevice(const QScreen *screen)
{
    if (!screen)
        return emf::ReferenceDevice::standard();
    const QSize pixels = screen->size();
    const QSizeF mm = screen->physicalSize();
    return emf::ReferenceDevice::fromScreen(
        pixels.width(), pixels.height(), mm.width(), mm.height());
}

QByteArray emfBytes(TElementList &list, const EmfExportSettings &settings)
{
    emf::Writer writer(settings.device);
    DrawToEMFCanvas(writer, list, settings);
    const std::vector<std::uint8_t> bytes = writer.finish();
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

ExportResult saveasemf(
    TElementList &list, const EmfExportSettings &settings, const QString &fileName)
{
    QByteArray bytes;
    try {
        bytes = emfBytes(list, settings);
    } catch (const std::bad_alloc &) {
        return ExportResult::failure(
            EmfCannotCreateMessage, fileName, QStringLiteral("not enough memory"));
    }
    if (bytes.isEmpty()) {
        return ExportResult::failure(EmfCannotCreateMessage, fileName,
            QStringLiteral("the drawing is too large for a metafile"));
    }
    return writeFileAtomically(fileName, bytes, EmfCannotCreateMessage);
}
