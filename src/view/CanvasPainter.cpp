#include "view/CanvasPainter.h"

#include "view/PixelStroker.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// How far around its defining points an element can paint: half the pen, the 13 x 13 marker
// and the 3-pixel handle.
int elementMargin(int penWidth)
{
    return std::max(penWidth / 2 + 2, 7);
}

// The scan lines of the back buffer, taken once: QImage::scanLine() checks for sharing on
// every call, which adds up over the tens of thousands of marker rows of a large drawing.
// It also maps logical rectangles to the device pixels they cover at the buffer's pixel ratio.
struct BufferBits
{
    BufferBits(QImage &image, double ratio)
        : bits(image.bits())
        , stride(image.bytesPerLine())
        , width(image.width())
        , height(image.height())
        , ratio(ratio)
    {
    }
    QRgb *line(int y) const { return reinterpret_cast<QRgb *>(bits + y * stride); }

    // The device pixels of a logical rectangle, cut to the buffer.
    QRect device(const QRect &logical) const
    {
        if (ratio == 1)
            return logical.intersected(QRect(0, 0, width, height));
        const auto at = [this](int v) { return static_cast<int>(std::floor(v * ratio)); };
        return QRect(QPoint(at(logical.left()), at(logical.top())),
            QPoint(at(logical.right() + 1) - 1, at(logical.bottom() + 1) - 1))
            .intersected(QRect(0, 0, width, height));
    }

    void fill(const QRect &logical, QRgb colour) const
    {
        if (ratio == 1) {
            // The common case, without building rectangles: a marker is four of these.
            const int left = std::max(logical.left(), 0);
            const int right = std::min(logical.right(), width - 1);
            const int top = std::max(logical.top(), 0);
            const int bottom = std::min(logical.bottom(), height - 1);
            for (int y = top; y <= bottom; ++y) {
                QRgb *row = line(y);
                for (int x = left; x <= right; ++x)
                    row[x] = colour;
            }
            return;
        }
        const QRect r = device(logical);
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::fill(line(y) + r.left(), line(y) + r.right() + 1, colour);
    }

    uchar *bits;
    qsizetype stride;
    int width;
    int height;
    double ratio;
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
// outlined rectangles and gives the same pixels as endpunkt, also on a buffer of a higher
// pixel ratio, where each logical pixel of the ring becomes a block of device pixels.
void ring(const BufferBits &buffer, int x, int y, int d, QRgb colour)
{
    if (buffer.ratio == 1 && x - d >= 0 && y - d >= 0 && x + d < buffer.width
        && y + d < buffer.height) {
        // Wholly inside: the two rows and the two columns without any cutting.
        QRgb *top = buffer.line(y - d) + x - d;
        QRgb *bottom = buffer.line(y + d) + x - d;
        std::fill(top, top + 2 * d + 1, colour);
        std::fill(bottom, bottom + 2 * d + 1, colour);
        for (int row = y - d + 1; row < y + d; ++row) {
            QRgb *line = buffer.line(row);
            line[x - d] = colour;
            line[x + d] = colour;
        }
        return;
    }
    buffer.fill(QRect(x - d, y - d, 2 * d + 1, 1), colour);
    buffer.fill(QRect(x - d, y + d, 2 * d + 1, 1), colour);
    buffer.fill(QRect(x - d, y - d + 1, 1, 2 * d - 1), colour);
    buffer.fill(QRect(x + d, y - d + 1, 1, 2 * d - 1), colour);
}

// An element's points on the drawing area, each converted once.
struct ScreenPoints
{
    QPoint start, end, ctrl1, ctrl2;
};

class ElementPainter
{
public:
    // The painter draws in logical coordinates; the buffer's scan lines are device pixels,
    // `ratio` of them to a logical pixel.
    ElementPainter(
        QPainter &painter, QImage &buffer, QSize area, double ratio, const TPaintScene &scene)
        : m_p(painter)
        , m_bits(buffer, ratio)
        , m_scene(scene)
        , m_view(scene.view)
        , m_area(QPoint(0, 0), area)
        , m_pen(scene.penColor, scene.view.penWidth(scene.lineWidth), Qt::SolidLine, Qt::RoundCap,
              Qt::RoundJoin)
        , m_margin(elementMargin(m_pen.width()))
        , m_ratio(ratio)
        , m_stroker(buffer, scene.penColor.rgb(), m_pen.width() * ratio)
    {
        // Strokes two or more device pixels wide of an opaque colour go through the stroker of
        // our own; one-pixel strokes and translucent colours stay with the painter, whose
        // stepping of thin lines is cheap already.
        m_fast = m_pen.width() * ratio >= 2 && scene.penColor.alpha() == 255 && m_stroker.isValid();
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

    // Drawing-area point (x, y) names the logical pixel (x, y); on a buffer of a higher ratio
    // that pixel is a block of device pixels, and strokes pass through the block's centre.
    QPointF dev(QPointF logical) const
    {
        const double half = (m_ratio - 1) / 2;
        return logical * m_ratio + QPointF(half, half);
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
            m_stroker.line(dev(from), dev(to));
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
            m_stroker.cubic(dev(start), dev(c1), dev(c2), dev(end));
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
            m_stroker.ellipse(QRectF(dev(inscribed.topLeft()), dev(inscribed.bottomRight())));
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
    double m_ratio;
    PixelStroker m_stroker;
    bool m_fast = false;
    bool m_penSet = false; // the painter holds m_pen
};

// A pixel ratio the buffer can be made at: 1 for anything unusable.
double usableRatio(double ratio)
{
    return ratio > 0 && std::isfinite(ratio) ? std::clamp(ratio, 1.0, 8.0) : 1.0;
}

// Lightens the picture's part of the buffer: each channel moves `percent` of the way to white.
void fadePicture(QImage &buffer, const QRect &devicePicture, int percent)
{
    const QRect r = devicePicture.intersected(buffer.rect());
    if (r.isEmpty() || percent <= 0)
        return;
    std::uint8_t table[256];
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<std::uint8_t>(c + ((255 - c) * percent + 50) / 100);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(buffer.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb v = line[x];
            line[x] = qRgb(table[qRed(v)], table[qGreen(v)], table[qBlue(v)]);
        }
    }
}

// Copies all pixels of one buffer into another of the same size and format.
void copyPixels(QImage &to, const QImage &from)
{
    const qsizetype bytes = std::min(to.sizeInBytes(), from.sizeInBytes());
    std::memcpy(to.bits(), from.constBits(), static_cast<std::size_t>(bytes));
}

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

QSize backBufferSize(QSize areaSize, double devicePixelRatio)
{
    const double ratio = usableRatio(devicePixelRatio);
    areaSize = areaSize.expandedTo(QSize(0, 0));
    return QSize(static_cast<int>(std::ceil(areaSize.width() * ratio)),
        static_cast<int>(std::ceil(areaSize.height() * ratio)));
}

TPaintResult PaintBox1Paint(QImage &backBuffer, QSize areaSize, const TPaintScene &scene)
{
    TPaintResult result;
    result.copyDue = !scene.BufferOnly;
    areaSize = areaSize.expandedTo(QSize(0, 0));
    // The buffer holds device pixels, so that a screen of a higher pixel ratio shows the
    // drawing sharp; everything is positioned in logical pixels as the mouse reports them.
    const double ratio = usableRatio(scene.devicePixelRatio);
    const QSize deviceSize = backBufferSize(areaSize, ratio);
    if (backBuffer.size() != deviceSize || backBuffer.format() != QImage::Format_RGB32)
        backBuffer = QImage(deviceSize, QImage::Format_RGB32);
    if (backBuffer.isNull())
        return result;
    // Painting happens in device pixels; the ratio is set again at the end, so that whoever
    // draws over the buffer or shows it works in logical pixels.
    backBuffer.setDevicePixelRatio(1);

    const TViewTransform &v = scene.view;
    const TDibRec *shown =
        scene.ShowPicCheck && scene.picture && scene.picture->Bits && scene.picture->BitmapInfo
        ? scene.picture
        : nullptr;
    TPictureLayer *layer = shown && scene.pictureSerial != 0 ? scene.pictureLayer : nullptr;
    const TPictureLayer::Key key { scene.pictureSerial, deviceSize, ratio, v.zoom, v.scrollX,
        v.scrollY, std::clamp(scene.fadePercent, 0, 90), scene.device.isPrinter,
        scene.device.canDibToDevice, scene.device.acceptsStretch, scene.device.screenColorDepth };

    if (layer && layer->valid && layer->key == key) {
        copyPixels(backBuffer, layer->image);
        result.picture = layer->picture;
        ++layer->reuses;
    } else {
        QPainter p(&backBuffer);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(backBuffer.rect(), Qt::white);
        if (shown) {
            const int w = shown->BitmapInfo->bmiHeader.biWidth;
            const int h = shown->BitmapInfo->bmiHeader.biHeight;
            const auto dev = [ratio](long long logical) {
                return RoundEven(static_cast<long double>(logical) * ratio);
            };
            const QRect picture(dev(-static_cast<long long>(v.scrollX)),
                dev(-static_cast<long long>(v.scrollY)), dev(v.lengthToScreen(w)),
                dev(v.lengthToScreen(h)));
            result.picture = DrawDibScaled(p, picture.x(), picture.y(), picture.width(),
                picture.height(), *shown, 0, 0, w, h, false, SRCCOPY, false, nullptr, scene.device);
            p.end();
            if (scene.fadePercent > 0 && result.picture.path != TScaledPath::None)
                fadePicture(backBuffer, picture, key.fadePercent);
        }
        if (layer) {
            layer->valid = false;
            if (layer->image.size() != backBuffer.size()
                || layer->image.format() != backBuffer.format())
                layer->image = QImage(backBuffer.size(), backBuffer.format());
            if (!layer->image.isNull()) {
                copyPixels(layer->image, backBuffer);
                layer->picture = result.picture;
                layer->key = key;
                layer->valid = true;
            }
        }
    }

    if (scene.elements) {
        QPainter p(&backBuffer);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        // Logical pixels become blocks of device pixels with strokes through their
        // centres, as in ElementPainter::dev.
        const double half = (ratio - 1) / 2;
        p.setTransform(QTransform(ratio, 0, 0, ratio, half, half));
        ElementPainter painter(p, backBuffer, areaSize, ratio, scene);
        const auto count = static_cast<std::int32_t>(scene.elements->Count());
        for (std::int32_t i = 0; i < count; ++i)
            painter.paint(*scene.elements, i);
    }
    backBuffer.setDevicePixelRatio(ratio);
    return result;
}
