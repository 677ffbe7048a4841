#include "view/CanvasPainter.h"

#include "document/ElementIndex.h"
#include "view/BufferRows.h"
#include "view/PixelStroker.h"
#include "view/StrokeStamps.h"

#include <QPainterPath>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

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

// An element's points on the drawing area, each converted once.
struct ScreenPoints
{
    QPoint start, end, ctrl1, ctrl2;
};

// Whether an element's strokes go through the stroker of our own: strokes two or more device
// pixels wide of an opaque colour. One-pixel strokes and translucent colours stay with the
// painter, whose stepping of thin lines is cheap already.
bool ownStrokes(const TPaintScene &scene, double ratio)
{
    return scene.view.penWidth(scene.lineWidth) * ratio >= 2 && scene.penColor.alpha() == 255;
}

// Whether an element's one-pixel strokes are written from kept stamps: only where the painter
// would draw them with its one-pixel stroker straight onto device pixels, and in an opaque
// colour, so that a stamp is exactly what the painter would write.
bool stampedStrokes(const TPaintScene &scene, double ratio)
{
    return scene.strokeStamps && ratio == 1 && scene.view.penWidth(scene.lineWidth) == 1
        && scene.penColor.alpha() == 255;
}

// The kept stamps, one table for each band of a paint, so that the threads need no lock.
constexpr int MostBands = 4;
struct StampTables
{
    std::mutex busy;
    std::array<StrokeStamps, MostBands> tables;
};

StampTables &stampTables()
{
    static StampTables tables;
    return tables;
}

class ElementPainter
{
public:
    // The painter draws in logical coordinates; the buffer's scan lines are device pixels,
    // `ratio` of them to a logical pixel. Without a painter, the element painter draws only what
    // goes straight into the buffer's rows (own strokes, no handles), and only into the rows
    // from `firstRow` up to `endRow`, so that several can draw one drawing at once.
    ElementPainter(QPainter *painter, QImage &buffer, QSize area, double ratio,
        const TPaintScene &scene, StrokeStamps *stamps, int firstRow = 0, int endRow = -1)
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
        m_fast = ownStrokes(scene, ratio) && m_stroker.isValid();
        if (!m_fast && stampedStrokes(scene, ratio) && stamps) {
            m_stamps = stamps;
            m_stamps->begin(m_pen);
            m_colour = scene.penColor.rgb() | 0xFF000000u;
        }
        if (endRow >= 0) {
            m_bits.firstRow = std::clamp(firstRow, 0, m_bits.height);
            m_bits.endRow = std::clamp(endRow, m_bits.firstRow, m_bits.height);
            m_stroker.setRows(m_bits.firstRow, m_bits.endRow);
            // Elements that cannot reach the band are left out as those outside the area are.
            const int top = static_cast<int>(std::floor(m_bits.firstRow / ratio));
            const int bottom = static_cast<int>(std::ceil(m_bits.endRow / ratio));
            m_area = m_area.intersected(QRect(0, top, area.width(), bottom - top));
            // The same in picture rows, so that the many elements of other bands are passed
            // over before their points are converted. A point lands within half a pixel of its
            // exact scaled position; two pixels of slack more than cover that.
            const double zoom = m_view.zoom;
            if (zoom > 0 && std::isfinite(zoom) && !m_area.isEmpty()) {
                m_pictureRows = true;
                m_pictureTop = (m_area.top() - m_margin - 2.0 + m_view.scrollY) * 100 / zoom;
                m_pictureBottom = (m_area.bottom() + m_margin + 2.0 + m_view.scrollY) * 100 / zoom;
            }
        }
    }

    ~ElementPainter()
    {
        if (m_stamps)
            m_stamps->finish();
    }
    ElementPainter(const ElementPainter &) = delete;
    ElementPainter &operator=(const ElementPainter &) = delete;

    void paint(const TElementList &list, std::int32_t i)
    {
        const TDrawElement &e = list.at(i);
        if (m_pictureRows && !reachesPictureRows(e)) {
            if (e.ClosesChain)
                closingLine(list, i, m_view.ImageToScreen(e.End));
            return;
        }
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
        if (e.ClosesChain)
            closingLine(list, i, s.end);
    }

private:
    void closingLine(const TElementList &list, std::int32_t i, QPoint end)
    {
        const std::int32_t first = chainStartIndex(list, i);
        if (first >= 0)
            stroke(end, m_view.ImageToScreen(list.at(first).Start));
    }

    // Whether the element's points come near the band's rows, in picture units.
    bool reachesPictureRows(const TDrawElement &e) const
    {
        double top = std::min(e.Start.y, e.End.y);
        double bottom = std::max(e.Start.y, e.End.y);
        if (usesCtrl1(e.Kind)) {
            top = std::min(top, e.Ctrl1.y);
            bottom = std::max(bottom, e.Ctrl1.y);
        }
        if (usesCtrl2(e.Kind)) {
            top = std::min(top, e.Ctrl2.y);
            bottom = std::max(bottom, e.Ctrl2.y);
        }
        return !(bottom < m_pictureTop || top > m_pictureBottom);
    }

    // Skipping elements that lie wholly outside the buffer changes no pixel; it keeps a large
    // drawing cheap when only part of it is in view.
    // The bounds are taken in 64 bits: a point far off the view has a screen position
    // saturated at the end of the integer range, which the margin would carry past it.
    bool reachesArea(const TDrawElement &e, const ScreenPoints &s) const
    {
        long long left = s.start.x();
        long long right = left;
        long long top = s.start.y();
        long long bottom = top;
        const auto take = [&](QPoint p) {
            left = std::min<long long>(left, p.x());
            right = std::max<long long>(right, p.x());
            top = std::min<long long>(top, p.y());
            bottom = std::max<long long>(bottom, p.y());
        };
        take(s.end);
        if (usesCtrl1(e.Kind))
            take(s.ctrl1);
        if (usesCtrl2(e.Kind))
            take(s.ctrl2);
        return !m_area.isEmpty() && left - m_margin <= m_area.right()
            && right + m_margin >= m_area.left() && top - m_margin <= m_area.bottom()
            && bottom + m_margin >= m_area.top();
    }

    void marker(QPoint s, const QColor &colour)
    {
        (void)colour;
        if (m_scene.HandBtnDown)
            return;
        markerRings(m_bits, s.x(), s.y());
    }

    // Drawing-area point (x, y) names the logical pixel (x, y); on a buffer of a higher ratio
    // that pixel is a block of device pixels, and strokes pass through the block's centre.
    QPointF dev(QPointF logical) const
    {
        const double half = (m_ratio - 1) / 2;
        return logical * m_ratio + QPointF(half, half);
    }

    // The painter for what the own stroker and the stamps do not draw. A band painter without
    // one makes its own on the buffer's rows, clipped to its band: the painter's one-pixel
    // stroker places a stroke by the whole device alone and the clip only drops pixels, so each
    // band gets the pixels a painter of the whole buffer gives it.
    QPainter &painter()
    {
        if (!m_p) {
            m_bandImage = QImage(
                m_bits.bits, m_bits.width, m_bits.height, m_bits.stride, QImage::Format_RGB32);
            m_bandPainter = std::make_unique<QPainter>(&m_bandImage);
            m_bandPainter->setRenderHint(QPainter::Antialiasing, false);
            m_bandPainter->setBrush(Qt::NoBrush);
            const double half = (m_ratio - 1) / 2;
            m_bandPainter->setClipRect(
                QRect(0, m_bits.firstRow, m_bits.width, m_bits.endRow - m_bits.firstRow));
            m_bandPainter->setTransform(QTransform(m_ratio, 0, 0, m_ratio, half, half));
            m_p = m_bandPainter.get();
        }
        return *m_p;
    }

    void usePen()
    {
        if (!m_penSet) {
            painter().setPen(m_pen);
            m_penSet = true;
        }
    }

    // The points of a stroke from at[0] through the others relative to at[0], when a stamp can
    // stand for the stroke: it lies so far inside the buffer that no edge cuts it, and it is no
    // ellipse without width or height (drawn as curves in general arithmetic, which a move can
    // round differently). The points are checked before they are subtracted: far off the view
    // they are saturated.
    template <int Count>
    bool stampable(
        StrokeStamps::Shape shape, const QPoint (&at)[Count], QPoint (&points)[Count - 1]) const
    {
        if (!m_stamps)
            return false;
        constexpr int Spill = StrokeStamps::Spill;
        for (const QPoint &p : at) {
            if (p.x() < Spill || p.y() < Spill || p.x() >= m_bits.width - Spill
                || p.y() >= m_bits.height - Spill)
                return false;
        }
        for (int i = 1; i < Count; ++i)
            points[i - 1] = at[i] - at[0];
        return shape != StrokeStamps::Ellipse || (points[0].x() > 0 && points[0].y() > 0);
    }

    // Asks for the stroke's entry in the stamp table ahead, so that it comes from memory while
    // the element's markers are written.
    template <int Count> void prepare(StrokeStamps::Shape shape, const QPoint (&at)[Count])
    {
        QPoint points[Count - 1];
        if (stampable(shape, at, points))
            m_stamps->prefetch(shape, points);
    }

    // Writes the kept pixels of a stroke from at[0] through the others where a stamp can stand
    // for it. False when the caller must draw it.
    template <int Count> bool stamp(StrokeStamps::Shape shape, const QPoint (&at)[Count])
    {
        QPoint points[Count - 1];
        if (!stampable(shape, at, points))
            return false;
        const QPoint origin = at[0];
        StrokeStamps::Stamp pixels;
        if (!m_stamps->find(shape, points, pixels))
            return false;
        const QRgb colour = m_colour;
        for (int k = 0; k < pixels.count; ++k) {
            const int y = origin.y() + pixels.offsets[2 * k + 1];
            if (y >= m_bits.firstRow && y < m_bits.endRow)
                m_bits.line(y)[origin.x() + pixels.offsets[2 * k]] = colour;
        }
        return true;
    }

    void stroke(QPoint from, QPoint to)
    {
        if (m_fast) {
            m_stroker.line(dev(from), dev(to));
            return;
        }
        if (stamp(StrokeStamps::Line, { from, to }))
            return;
        usePen();
        painter().drawLine(from, to);
    }

    void handles(const QPolygon &first, const QPolygon &second = {})
    {
        // Handles are drawn only by a paint of one band, which always has a painter.
        m_p->setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        m_p->drawPolyline(first);
        if (!second.isEmpty())
            m_p->drawPolyline(second);
        m_p->setPen(QPen(Qt::white, 1));
        m_p->drawPolyline(first);
        if (!second.isEmpty())
            m_p->drawPolyline(second);
        m_penSet = false;
    }

    void curve(QPoint start, QPoint c1, QPoint c2, QPoint end)
    {
        if (m_fast) {
            m_stroker.cubic(dev(start), dev(c1), dev(c2), dev(end));
            return;
        }
        if (stamp(StrokeStamps::Cubic, { start, c1, c2, end }))
            return;
        QPainterPath path(start);
        path.cubicTo(c1, c2, end);
        usePen();
        painter().drawPath(path);
    }

    void ellipse(const TDrawElement &e, const ScreenPoints &s)
    {
        const QRect r = spanning(s.start, s.end);
        prepare(StrokeStamps::Ellipse, { r.topLeft(), r.bottomRight() });
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        const QRectF inscribed(r.left(), r.top(), r.width() - 1, r.height() - 1);
        if (m_fast) {
            m_stroker.ellipse(QRectF(dev(inscribed.topLeft()), dev(inscribed.bottomRight())));
            return;
        }
        if (stamp(StrokeStamps::Ellipse, { r.topLeft(), r.bottomRight() }))
            return;
        usePen();
        painter().drawEllipse(inscribed);
    }

    void quadratic(const TDrawElement &e, const ScreenPoints &s)
    {
        // The raise to a cubic happens in picture coordinates; only its result is converted.
        const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
        const QPoint c1 = m_view.ImageToScreen(c.c1);
        const QPoint c2 = m_view.ImageToScreen(c.c2);
        prepare(StrokeStamps::Cubic, { s.start, c1, c2, s.end });
        if (m_scene.Zeiger1Down)
            handles(QPolygon({ s.start, s.ctrl1, s.end }));
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        marker(s.ctrl1, ControlMarkerColour);
        curve(s.start, c1, c2, s.end);
    }

    void cubic(const TDrawElement &e, const ScreenPoints &s)
    {
        prepare(StrokeStamps::Cubic, { s.start, s.ctrl1, s.ctrl2, s.end });
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
        prepare(StrokeStamps::Line, { s.start, s.end });
        if (e.ChainPos == 0)
            marker(s.start, NodeMarkerColour);
        marker(s.end, NodeMarkerColour);
        stroke(s.start, s.end);
    }

    QPainter *m_p;
    BufferBits m_bits;
    const TPaintScene &m_scene;
    const TViewTransform &m_view;
    QRect m_area;
    QPen m_pen;
    int m_margin;
    double m_ratio;
    PixelStroker m_stroker;
    StrokeStamps *m_stamps = nullptr; // set while one-pixel strokes are stamped
    QRgb m_colour = 0; // of the stamped pixels
    QImage m_bandImage; // the buffer's rows, for a band painter's own painter
    std::unique_ptr<QPainter> m_bandPainter;
    bool m_fast = false;
    bool m_pictureRows = false; // a band: elements outside these picture rows are passed over
    double m_pictureTop = 0;
    double m_pictureBottom = 0;
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

// From this many elements on, a drawing whose strokes all go straight into the buffer is painted
// by several threads, each into its own band of rows; below it, starting them is not worth it.
constexpr std::int32_t BandsFromElements = 1000;

// The picture box to ask the index about for a part of the area (logical pixels); false where
// the zoom is unusable. An element can paint only within its box widened by elementMargin, and
// its screen points are rounded, so the part is widened by the margin and two pixels more
// before it is turned into picture coordinates; every element that could touch a pixel of the
// part is among those the index names.
bool pictureBox(const TPaintScene &scene, const QRect &part, TBoxD &box)
{
    const TViewTransform &v = scene.view;
    if (!(v.zoom > 0) || !std::isfinite(v.zoom))
        return false;
    const double reach = elementMargin(v.penWidth(scene.lineWidth)) + 2;
    const auto picture = [&v](double screen, int scroll) {
        return (screen + scroll) * 100 / v.zoom;
    };
    box = { picture(part.left() - reach, v.scrollX), picture(part.top() - reach, v.scrollY),
        picture(part.right() + 1 + reach, v.scrollX),
        picture(part.bottom() + 1 + reach, v.scrollY) };
    return true;
}

// The elements to paint, in list order: those the index finds near the drawing area, or every
// one.
NearElements paintOrder(const TPaintScene &scene, QSize area)
{
    TBoxD box {};
    if (!pictureBox(scene, QRect(QPoint(0, 0), area), box))
        return NearElements(nullptr, *scene.elements, {});
    return NearElements(scene.elementIndex, *scene.elements, box);
}

int bandCount(QImage &buffer, double ratio, const TPaintScene &scene, const NearElements &order)
{
    if (scene.Zeiger1Down || !(ownStrokes(scene, ratio) || stampedStrokes(scene, ratio))
        || order.size() < BandsFromElements)
        return 1;
    const int threads = scene.paintThreads > 0
        ? scene.paintThreads
        : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(std::min(threads, buffer.height() / 64), 1, MostBands);
}

// Paints every element once per band, each band on its own thread and clipped to its rows. Each
// band sees the elements in the same order as a single paint does, and what lands in a row does
// not depend on other rows, so the buffer ends up the same pixel for pixel.
void paintInBands(QImage &buffer, QSize area, double ratio, const TPaintScene &scene,
    const NearElements &order, int bands)
{
    const TElementList &list = *scene.elements;
    // The kept stamps go to one paint at a time; another paint at the same moment makes its own.
    StampTables &kept = stampTables();
    std::unique_lock<std::mutex> lock(kept.busy, std::try_to_lock);
    std::unique_ptr<StampTables> ownTables;
    if (!lock.owns_lock())
        ownTables = std::make_unique<StampTables>();
    StampTables &tables = ownTables ? *ownTables : kept;
    // Made here, one after the other: taking the buffer's bits is not safe from several
    // threads at once.
    std::vector<std::unique_ptr<ElementPainter>> painters;
    // With an index, each band asks it for the elements near its own rows, so that no thread
    // reads the many elements of the others; the answers are copied, as the index keeps only
    // its last one (`order` then names what the last band asked for, and is no longer used).
    std::vector<std::vector<std::int32_t>> bandOrders(static_cast<std::size_t>(bands));
    TBoxD box {};
    const bool perBand = scene.elementIndex && pictureBox(scene, QRect(), box);
    for (int b = 0; b < bands; ++b) {
        const int first = static_cast<int>(static_cast<long long>(buffer.height()) * b / bands);
        const int end = static_cast<int>(static_cast<long long>(buffer.height()) * (b + 1) / bands);
        painters.push_back(std::make_unique<ElementPainter>(nullptr, buffer, area, ratio, scene,
            &tables.tables[static_cast<std::size_t>(b)], first, end));
        const int top = static_cast<int>(std::floor(first / ratio));
        const int bottom = static_cast<int>(std::ceil(end / ratio));
        if (perBand && pictureBox(scene, QRect(0, top, area.width(), bottom - top), box)) {
            const std::vector<std::int32_t> &near = scene.elementIndex->query(list, box);
            bandOrders[static_cast<std::size_t>(b)].assign(near.begin(), near.end());
        }
    }
    const auto paintBand = [&list, &order, &bandOrders, &painters, perBand](int b) {
        ElementPainter *painter = painters[static_cast<std::size_t>(b)].get();
        if (perBand) {
            // The elements named lie scattered through a large list; each is asked for from
            // memory a few elements ahead, so that its arrival overlaps the painting before it.
            const std::vector<std::int32_t> &own = bandOrders[static_cast<std::size_t>(b)];
            constexpr std::size_t Ahead = 8;
            for (std::size_t k = 0; k < own.size(); ++k) {
                if (k + Ahead < own.size()) {
                    const auto *next = reinterpret_cast<const char *>(&list.at(own[k + Ahead]));
                    __builtin_prefetch(next);
                    __builtin_prefetch(next + 64);
                }
                painter->paint(list, own[k]);
            }
            return;
        }
        // Without an index every band looks at all elements.
        for (std::int32_t k = 0; k < order.size(); ++k)
            painter->paint(list, order[k]);
    };
    std::vector<std::thread> workers;
    for (int b = 1; b < bands; ++b) {
        try {
            workers.emplace_back(paintBand, b);
        } catch (const std::system_error &) {
            // No thread to be had: this one paints that band as well.
            paintBand(b);
        }
    }
    paintBand(0);
    for (std::thread &worker : workers)
        worker.join();
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
        const NearElements order = paintOrder(scene, areaSize);
        if (const int bands = bandCount(backBuffer, ratio, scene, order); bands > 1) {
            paintInBands(backBuffer, areaSize, ratio, scene, order, bands);
            backBuffer.setDevicePixelRatio(ratio);
            return result;
        }
        QPainter p(&backBuffer);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        // Logical pixels become blocks of device pixels with strokes through their
        // centres, as in ElementPainter::dev.
        const double half = (ratio - 1) / 2;
        p.setTransform(QTransform(ratio, 0, 0, ratio, half, half));
        StampTables &kept = stampTables();
        std::unique_lock<std::mutex> lock(kept.busy, std::try_to_lock);
        ElementPainter painter(
            &p, backBuffer, areaSize, ratio, scene, lock.owns_lock() ? &kept.tables[0] : nullptr);
        for (std::int32_t k = 0; k < order.size(); ++k)
            painter.paint(*scene.elements, order[k]);
    }
    backBuffer.setDevicePixelRatio(ratio);
    return result;
}
