#include "view/CanvasPainter.h"

#include <QPainterPath>
#include <algorithm>

namespace {

// How far around its defining points an element can paint: half the pen, the 13 x 13 marker
// and the 3-pixel handle.
int elementMargin(int penWidth)
{
    return std::max(penWidth / 2 + 2, 7);
}

// The rectangle with two opposite corners, in either order. QRect::normalized() would move
// swapped corners inwards by a pixel.
QRect spanning(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
        QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

// One square ring of a marker, d pixels from the centre, written straight into the buffer.
// Markers are the most frequent thing drawn; writing their pixels costs a fraction of two
// outlined rectangles and gives the same pixels as endpunkt.
void ring(QImage &image, int x, int y, int d, QRgb colour)
{
    const QRect area = image.rect();
    const QRect span = QRect(x - d, y - d, 2 * d + 1, 2 * d + 1).intersected(area);
    if (span.isEmpty())
        return;
    for (int row : { y - d, y + d }) {
        if (row < area.top() || row > area.bottom())
            continue;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        std::fill(line + span.left(), line + span.right() + 1, colour);
    }
    for (int row = span.top(); row <= span.bottom(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        if (x - d >= area.left())
            line[x - d] = colour;
        if (x + d <= area.right())
            line[x + d] = colour;
    }
}

class ElementPainter
{
public:
    ElementPainter(QPainter &painter, QImage &buffer, const TPaintScene &scene)
        : m_p(painter)
        , m_buffer(buffer)
        , m_scene(scene)
        , m_view(scene.view)
        , m_area(buffer.rect())
        , m_pen(scene.penColor, scene.view.penWidth(scene.lineWidth), Qt::SolidLine, Qt::RoundCap,
              Qt::RoundJoin)
        , m_margin(elementMargin(m_pen.width()))
    {
    }

    void paint(const TElementList &list, std::int32_t i)
    {
        const TDrawElement &e = list.at(i);
        if (reachesArea(e)) {
            switch (e.Kind) {
            case KindEllipse:
                ellipse(e);
                break;
            case KindQuadBezier:
                quadratic(e);
                break;
            case KindCubicBezier:
                cubic(e);
                break;
            case KindLine:
                line(e);
                break;
            default:
                break;
            }
        }
        if (e.ClosesChain) {
            const std::int32_t first = chainStartIndex(list, i);
            if (first >= 0)
                stroke(m_view.ImageToScreen(e.End), m_view.ImageToScreen(list.at(first).Start));
        }
    }

private:
    // Skipping elements that lie wholly outside the buffer changes no pixel; it keeps a large
    // drawing cheap when only part of it is in view.
    bool reachesArea(const TDrawElement &e) const
    {
        QRect box = spanning(m_view.ImageToScreen(e.Start), m_view.ImageToScreen(e.End));
        if (usesCtrl1(e.Kind))
            box = box.united(QRect(m_view.ImageToScreen(e.Ctrl1), QSize(1, 1)));
        if (usesCtrl2(e.Kind))
            box = box.united(QRect(m_view.ImageToScreen(e.Ctrl2), QSize(1, 1)));
        return box.adjusted(-m_margin, -m_margin, m_margin, m_margin).intersects(m_area);
    }

    void marker(TPointD p, const QColor &colour)
    {
        (void)colour;
        if (m_scene.HandBtnDown)
            return;
        const QPoint s = m_view.ImageToScreen(p);
        ring(m_buffer, s.x(), s.y(), 5, 0xFFFFFFFF);
        ring(m_buffer, s.x(), s.y(), 6, 0xFF000000);
    }

    void stroke(QPoint from, QPoint to)
    {
        m_p.setPen(m_pen);
        m_p.drawLine(from, to);
    }

    void handles(const QPolygon &first, const QPolygon &second = {})
    {
        m_p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        m_p.drawPolyline(first);
        if (!second.isEmpty())
            m_p.drawPolyline(second);
        m_p.setPen(QPen(Qt::white, 1));
        m_p.drawPolyline(first);
        if (!second.isEmpty())
            m_p.drawPolyline(second);
    }

    void curve(TPointD start, TPointD c1, TPointD c2, TPointD end)
    {
        QPainterPath path(m_view.ImageToScreen(start));
        path.cubicTo(m_view.ImageToScreen(c1), m_view.ImageToScreen(c2), m_view.ImageToScreen(end));
        m_p.setPen(m_pen);
        m_p.drawPath(path);
    }

    void ellipse(const TDrawElement &e)
    {
        if (e.ChainPos == 0)
            marker(e.Start, NodeMarkerColour);
        marker(e.End, NodeMarkerColour);
        const QRect r = spanning(m_view.ImageToScreen(e.Start), m_view.ImageToScreen(e.End));
        m_p.setPen(m_pen);
        m_p.drawEllipse(QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1));
    }

    void quadratic(const TDrawElement &e)
    {
        const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
        if (m_scene.Zeiger1Down) {
            handles(QPolygon({ m_view.ImageToScreen(e.Start), m_view.ImageToScreen(e.Ctrl1),
                m_view.ImageToScreen(e.End) }));
        }
        if (e.ChainPos == 0)
            marker(e.Start, NodeMarkerColour);
        marker(e.End, NodeMarkerColour);
        marker(e.Ctrl1, ControlMarkerColour);
        curve(e.Start, c.c1, c.c2, e.End);
    }

    void cubic(const TDrawElement &e)
    {
        if (m_scene.Zeiger1Down) {
            handles(QPolygon({ m_view.ImageToScreen(e.Start), m_view.ImageToScreen(e.Ctrl1) }),
                QPolygon({ m_view.ImageToScreen(e.Ctrl2), m_view.ImageToScreen(e.End) }));
        }
        if (e.ChainPos == 0)
            marker(e.Start, NodeMarkerColour);
        marker(e.End, NodeMarkerColour);
        marker(e.Ctrl1, ControlMarkerColour);
        marker(e.Ctrl2, ControlMarkerColour);
        curve(e.Start, e.Ctrl1, e.Ctrl2, e.End);
    }

    void line(const TDrawElement &e)
    {
        if (e.ChainPos == 0)
            marker(e.Start, NodeMarkerColour);
        marker(e.End, NodeMarkerColour);
        stroke(m_view.ImageToScreen(e.Start), m_view.ImageToScreen(e.End));
    }

    QPainter &m_p;
    QImage &m_buffer;
    const TPaintScene &m_scene;
    const TViewTransform &m_view;
    QRect m_area;
    QPen m_pen;
    int m_margin;
};

} // namespace

void endpunkt(QPainter &canvas, int x, int y, const QColor &colour, bool HandBtnDown)
{
    (void)colour;
    if (HandBtnDown)
        return;
    const QPen remembered = canvas.pen();
    const QBrush brush = canvas.brush();
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(Qt::white, 1));
    canvas.drawRect(QRect(x - 5, y - 5, 10, 10));
    canvas.setPen(QPen(Qt::black, 1));
    canvas.drawRect(QRect(x - 6, y - 6, 12, 12));
    canvas.setPen(remembered);
    canvas.setBrush(brush);
}

TPaintResult PaintBox1Paint(QImage &backBuffer, QSize areaSize, const TPaintScene &scene)
{
    TPaintResult result;
    result.copyDue = !scene.BufferOnly;
    if (backBuffer.size() != areaSize || backBuffer.format() != QImage::Format_RGB32)
        backBuffer = QImage(areaSize.expandedTo(QSize(0, 0)), QImage::Format_RGB32);
    if (backBuffer.isNull())
        return result;

    QPainter p(&backBuffer);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(backBuffer.rect(), Qt::white);

    const TViewTransform &v = scene.view;
    if (scene.ShowPicCheck && scene.picture && scene.picture->Bits && scene.picture->BitmapInfo) {
        const int w = scene.picture->BitmapInfo->bmiHeader.biWidth;
        const int h = scene.picture->BitmapInfo->bmiHeader.biHeight;
        result.picture =
            DrawDibScaled(p, -v.scrollX, -v.scrollY, v.lengthToScreen(w), v.lengthToScreen(h),
                *scene.picture, 0, 0, w, h, false, SRCCOPY, false, nullptr, scene.device);
    }

    if (scene.elements) {
        p.setBrush(Qt::NoBrush);
        ElementPainter painter(p, backBuffer, scene);
        const auto count = static_cast<std::int32_t>(scene.elements->Count());
        for (std::int32_t i = 0; i < count; ++i)
            painter.paint(*scene.elements, i);
    }
    return result;
}
