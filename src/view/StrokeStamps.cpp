#include "view/StrokeStamps.h"

#include <QPainterPath>
#include <algorithm>
#include <cstring>

namespace {

// Where a stroke is drawn in the scratch image: far enough from every edge that nothing of it
// is cut, with all of its coordinates positive.
constexpr int Origin = StrokeStamps::Reach + StrokeStamps::Spill + 4;
constexpr int ScratchSize = 2 * Origin + 1;

// Kept shapes, and bytes of their pixels, before the table starts afresh: a drawing at one zoom
// needs some tens of thousands of shapes of a few pixels each, and the table must not grow
// without end while the zoom changes (at most some 6 MB for each band).
constexpr int MostShapes = 1 << 16;
constexpr std::size_t MostPixelBytes = std::size_t { 4 } << 20;

// The pixel count of a shape the painter must always draw itself.
constexpr std::uint32_t Refused = 0xFFFFFFFFu;

// A shape as one number: the shape plus one, so that no key is 0, then six bits for each
// coordinate (a point lies at most Reach from the origin in each direction).
std::uint64_t keyOf(StrokeStamps::Shape shape, const QPoint *points, int count)
{
    std::uint64_t key = static_cast<std::uint64_t>(shape) + 1;
    for (int i = 0; i < count; ++i) {
        key = key << 6 | static_cast<std::uint64_t>(points[i].x() + StrokeStamps::Reach);
        key = key << 6 | static_cast<std::uint64_t>(points[i].y() + StrokeStamps::Reach);
    }
    return key;
}

int pointCount(StrokeStamps::Shape shape)
{
    return shape == StrokeStamps::Cubic ? 3 : 1;
}

std::size_t slotOf(std::uint64_t key, std::size_t mask)
{
    key ^= key >> 29;
    key *= 0xBF58476D1CE4E5B9ull;
    key ^= key >> 32;
    return static_cast<std::size_t>(key) & mask;
}

} // namespace

void StrokeStamps::begin(const QPen &pen)
{
    const bool samePen = pen.width() == m_pen.width() && pen.capStyle() == m_pen.capStyle()
        && pen.joinStyle() == m_pen.joinStyle() && pen.style() == m_pen.style();
    if (!samePen)
        clear();
    m_pen = pen;
}

void StrokeStamps::finish()
{
    m_painter.reset();
}

void StrokeStamps::clear()
{
    m_slots.assign(1 << 12, Slot {});
    m_count = 0;
    m_pixels.clear();
}

void StrokeStamps::grow()
{
    std::vector<Slot> old(m_slots.size() * 2);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &s : old) {
        if (s.key == 0)
            continue;
        std::size_t at = slotOf(s.key, mask);
        while (m_slots[at].key != 0)
            at = (at + 1) & mask;
        m_slots[at] = s;
    }
}

bool StrokeStamps::keepable(Shape shape, const QPoint *points)
{
    const int count = pointCount(shape);
    for (int i = 0; i < count; ++i) {
        if (std::abs(points[i].x()) > Reach || std::abs(points[i].y()) > Reach)
            return false;
    }
    return true;
}

void StrokeStamps::prefetch(Shape shape, const QPoint *points) const
{
    if (!m_slots.empty() && keepable(shape, points))
        __builtin_prefetch(
            &m_slots[slotOf(keyOf(shape, points, pointCount(shape)), m_slots.size() - 1)]);
}

bool StrokeStamps::find(Shape shape, const QPoint *points, Stamp &stamp)
{
    if (!keepable(shape, points))
        return false;
    const int count = pointCount(shape);
    if (m_slots.empty() || m_count >= MostShapes || m_pixels.size() >= MostPixelBytes)
        clear();
    const std::uint64_t key = keyOf(shape, points, count);
    std::size_t mask = m_slots.size() - 1;
    std::size_t at = slotOf(key, mask);
    while (m_slots[at].key != 0 && m_slots[at].key != key)
        at = (at + 1) & mask;
    if (m_slots[at].key == 0) {
        if (2 * (m_count + 1) > static_cast<int>(m_slots.size())) {
            grow();
            mask = m_slots.size() - 1;
            at = slotOf(key, mask);
            while (m_slots[at].key != 0)
                at = (at + 1) & mask;
        }
        m_slots[at] = capture(shape, points);
        m_slots[at].key = key;
        ++m_count;
    }
    if (m_slots[at].count == Refused)
        return false;
    stamp.offsets = m_pixels.data() + 2 * static_cast<std::size_t>(m_slots[at].first);
    stamp.count = static_cast<int>(m_slots[at].count);
    return true;
}

StrokeStamps::Slot StrokeStamps::capture(Shape shape, const QPoint *points)
{
    if (!m_painter) {
        if (m_scratch.isNull()) {
            m_scratch = QImage(ScratchSize, ScratchSize, QImage::Format_RGB32);
            // Zero bytes, not fill(), which gives a 32-bit image a full alpha byte: no stroke
            // pixel can be zero.
            std::memset(m_scratch.bits(), 0, static_cast<std::size_t>(m_scratch.sizeInBytes()));
        }
        // Set up as the canvas sets up its own painter for one-pixel strokes.
        m_painter = std::make_unique<QPainter>(&m_scratch);
        m_painter->setRenderHint(QPainter::Antialiasing, false);
        m_painter->setBrush(Qt::NoBrush);
        m_painter->setPen(m_pen);
    }
    const QPoint o(Origin, Origin);
    switch (shape) {
    case Line:
        m_painter->drawLine(o, o + points[0]);
        break;
    case Cubic: {
        QPainterPath path(o);
        path.cubicTo(o + points[0], o + points[1], o + points[2]);
        m_painter->drawPath(path);
        break;
    }
    case Ellipse:
        m_painter->drawEllipse(QRectF(o.x(), o.y(), points[0].x(), points[0].y()));
        break;
    }
    // Every pixel the stroke set has its colour, with the alpha byte full; the scratch holds
    // zeros everywhere else, and is left so again.
    QRect box(o, o);
    for (int i = 0; i < pointCount(shape); ++i)
        box |= QRect(o + points[i], o + points[i]);
    box.adjust(-Spill, -Spill, Spill, Spill);
    // The stroke is looked for a little beyond where it can reach, so that a shape that spills
    // further than thought is drawn by the painter each time instead of written cut short.
    const QRect searched = box.adjusted(-2, -2, 2, 2);
    Slot slot;
    slot.first = static_cast<std::uint32_t>(m_pixels.size() / 2);
    bool spilled = false;
    uchar *bits = m_scratch.bits();
    for (int y = searched.top(); y <= searched.bottom(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(bits + y * m_scratch.bytesPerLine());
        for (int x = searched.left(); x <= searched.right(); ++x) {
            if (row[x] != 0) {
                spilled = spilled || !box.contains(x, y);
                m_pixels.push_back(static_cast<std::int8_t>(x - Origin));
                m_pixels.push_back(static_cast<std::int8_t>(y - Origin));
                row[x] = 0;
            }
        }
    }
    slot.count = static_cast<std::uint32_t>(m_pixels.size() / 2) - slot.first;
    if (spilled) {
        m_pixels.resize(2 * static_cast<std::size_t>(slot.first));
        slot.count = Refused;
    }
    return slot;
}
