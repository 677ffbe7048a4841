#include "view/CanvasPainter.h"

#include "view/PixelStroker.h"

#include <QPainterPath>
#include <algorithm>

namespace {

// How far around its defining points an element can paint: half the pen, the 13 x 13 marker
// and the 3-pixel handle.
int elementMargin(int penWidth)
{
    return std::max(penWidth / 2 + 2, 7);
}

// The scan lines of the back buffer, taken once: QImage::scanLine() checks for sharing on
// every call, which adds up over the tens of thousands of marker rows of a large drawing.
struct BufferBits
{
    explicit BufferBits(QImage &image)
        : bits(image.bits())
        , stride(image.bytesPerLine())
        , width(image.width())
        , height(image.height())
    {
    }
    QRgb *line(int y) const { return reinterpret_cast<QRgb *>(bits + y * stride); }

    uchar *bits;
    qsizetype stride;
    int width;
    int height;
};

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
void ring(const BufferBits &buffer, int x, int y, int d, QRgb colour)
{
    const QRect area(0, 0, buffer.width, buffer.height);
    const QRect span = QRect(x - d, y - d, 2 * d + 1, 2 * d + 1).intersected(area);
    if (span.isEmpty())
        return;
    for (int row : { y - d, y + d }) {
        if (row < area.top() || row > area.bottom())
            continue;
        QRgb *line = buffer.line(row);
        std::fill(line + span.left(), line + span.right() + 1, colour);
    }
    for (int row = span.top(); row <= span.bottom(); ++row) {
        QRgb *line = buffer.line(row);
        if (x - d >= area.left())
            line[x - d] = colour;
        if (x + d <= area.right())
            line[x + d] = colour;
    }
}

// An element's points on the drawing area, each converted once.
struct ScreenPoints
{
    QPoint start, end, ctrl1, ctrl2;
};

class ElementPainter
{
public:
    ElementPainter(QPainter &painter, QImage &buffer, const TPaintScene &scene)
        : m_p(painter)
        , m_bits(buffer)
        , m_scene(scene)
        , m_view(scene.view)
        , m_area(buffer.rect())
        , m_pen(scene.penColor, scene.view.penWidth(scene.lineWidth), Qt::SolidLine, Qt::RoundCap,
              Qt::RoundJoin)
        , m_margin(elementMargin(m_pen.width()))
        , m_stroker(buffer, scene.penColor.rgb(), m_pen.width())
    {
        // Strokes two or more pixels wide of an opaque colour go through the stroker of our
        // own; one-pixel strokes and translucent colours stay with the painter, whose stepping
        // of thin lines is cheap already.
        m_fast = m_pen.width() >= 2 && scene.penColor.alpha() == 255 && m_stroker.isValid();
    }

    void paint(const TElementList &list, std::int32_t i)
    {
        const TDrawElement &e = list.at(i);
        ScreenPoints s;
        s.start = m_view.ImageToScreen(e.Start);
        s.end = m_view.ImageToScreen(e.End);
        if (usesCtrl1(e.Kind))
            s.ctrl1 = m_view.ImageToScreen(e.Ctrl1);
        if (usesCtrl2(e.Kind))
            s.ctrl2 = m_view.ImageToScreen(e.Ctrl2);
        if (reachesArea(e, s)) {
            switch (e.Kind) {
            case KindEllipse:
                ellipse(e, s);
                break;
            case KindQuadBezier:
                quadratic(e, s);
                break;
            case KindCubicBezier:
                cubic(e, s);
                break;
            case KindLine:
                line(e, s);
                break;
            default:
                break;
            }
        }
        if (e.ClosesChain) {
            const std::int32_t first = chainStartIndex(list, i);
            if (first >= 0)
                stroke(s.end, m_view.ImageToScreen(list.at(first).Start));
        }
    }

private:
    // Skipping elements that lie wholly outside the buffer changes no pixel; it keeps a large
    // drawing cheap when only part of it is in view.
    bool reachesArea(const TDrawElement &e, const ScreenPoints &s) const
    {
        QRect box = spanning(s.start, s.end);
        if (usesCtrl1(e.Kind))
            box = box.united(QRect(s.ctrl1, QSize(1, 1)));
        if (usesCtrl2(e.Kind))
            box = box.united(QRect(s.ctrl2, QSize(1, 1)));
        return box.adjusted(-m_margin, -m_margin, m_margin, m_margin).intersects(m_area);
    }

    void marker(QPoint s, const QColor &colour)
    {
        (void)colour;
        if (m_scene.HandBtnDown)
            return;
        ring(m_bits, s.x(), s.y(), 5, 0xFFFFFFFF);
        ring(m_bits, s.x(), s.y(), 6, 0xFF000000);
    }

    void usePen()
    {
        if (!m_penSet) {
            m_p.setPen(m_pen);
            m_penSet = true;
        }
    }

    void stroke(QPoint from, QPoint to)
    {
        if (m_fast) {
            m_stroker.line(from, to);
            return;
        }
        usePen();
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
        m_penSet = false;
    }

    void curve(QPoint start, QPoint c1, QPoint c2, QPoint end)
    {
        if (m_fast) {
            m_stroker.cubic(start, c1, c2, end);
            return;
        }
        QPainterPath path(start);
        path.cubicTo(c1, c2, end);
        usePen();
        m_p.drawPath(path);
    }

    void ellipse(const TDrawElement &e, const ScreenPoints &s)
    {
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        const QRect r = spanning(s.start, s.end);
        const QRectF inscribed(r.left(), r.top(), r.width() - 1, r.height() - 1);
        if (m_fast) {
            m_stroker.ellipse(inscribed);
            return;
        }
        usePen();
        m_p.drawEllipse(inscribed);
    }

    void quadratic(const TDrawElement &e, const ScreenPoints &s)
    {
        // The raise to a cubic happens in picture coordinates; only its result is converted.
        const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
        if (m_scene.Zeiger1Down)
            handles(QPolygon({ s.start, s.ctrl1, s.end }));
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        marker(s.ctrl1, ControlMarkerColour);
        curve(s.start, m_view.ImageToScreen(c.c1), m_view.ImageToScreen(c.c2), s.end);
    }

    void cubic(const TDrawElement &e, const ScreenPoints &s)
    {
        if (m_scene.Zeiger1Down)
            handles(QPolygon({ s.start, s.ctrl1 }), QPolygon({ s.ctrl2, s.end }));
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        marker(s.ctrl1, ControlMarkerColour);
        marker(s.ctrl2, ControlMarkerColour);
        curve(s.start, s.ctrl1, s.ctrl2, s.end);
    }

    void line(const TDrawElement &e, const ScreenPoints &s)
    {
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        stroke(s.start, s.end);
    }

    QPainter &m_p;
    BufferBits m_bits;
    const TPaintScene &m_scene;
    const TViewTransform &m_view;
    QRect m_area;
    QPen m_pen;
    int m_margin;
    PixelStroker m_stroker;
    bool m_fast = false;
    bool m_penSet = false; // the painter holds m_pen
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
