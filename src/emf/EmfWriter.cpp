#include "emf/EmfWriter.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace emf {

namespace {

constexpr double MillimetresPerInch = 25.4;

std::int32_t clamp32(std::int64_t v)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

bool fits16(const Point &p)
{
    return p.x >= INT16_MIN && p.x <= INT16_MAX && p.y >= INT16_MIN && p.y <= INT16_MAX;
}

} // namespace

ReferenceDevice ReferenceDevice::fromScreen(int width, int height, double widthMm, double heightMm)
{
    ReferenceDevice d;
    if (width <= 0 || height <= 0)
        return d;
    if (!(widthMm > 0) || !(heightMm > 0) || !std::isfinite(widthMm) || !std::isfinite(heightMm)) {
        widthMm = width * MillimetresPerInch / 96.0;
        heightMm = height * MillimetresPerInch / 96.0;
    }
    d.pixels = { width, height };
    d.millimetres = { std::max(1, static_cast<int>(std::lround(widthMm))),
        std::max(1, static_cast<int>(std::lround(heightMm))) };
    d.micrometres = { static_cast<std::int32_t>(std::lround(widthMm * 1000)),
        static_cast<std::int32_t>(std::lround(heightMm * 1000)) };
    return d;
}

Writer::Writer(const ReferenceDevice &device)
    : m_device(device)
{
    // The header's place; finish() writes it once the totals are known.
    m_bytes.assign(HeaderSize, 0);
    m_slots.push_back(0);
}

void Writer::put32(std::uint32_t v)
{
    m_bytes.push_back(static_cast<std::uint8_t>(v));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 16));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 24));
}

void Writer::put16(std::uint16_t v)
{
    m_bytes.push_back(static_cast<std::uint8_t>(v));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Writer::putRect(const Rect &r)
{
    putI32(r.left);
    putI32(r.top);
    putI32(r.right);
    putI32(r.bottom);
}

void Writer::beginRecord(std::uint32_t type, std::uint32_t size)
{
    put32(type);
    put32(size);
    ++m_records;
}

void Writer::include(std::int64_t x, std::int64_t y)
{
    if (!m_hasBounds) {
        m_left = m_right = x;
        m_top = m_bottom = y;
        m_hasBounds = true;
        return;
    }
    m_left = std::min(m_left, x);
    m_right = std::max(m_right, x);
    m_top = std::min(m_top, y);
    m_bottom = std::max(m_bottom, y);
}

void Writer::includeStroke(std::int64_t x, std::int64_t y)
{
    // A stroke covers half the pen's width on either side of its path.
    const std::int64_t half = std::max(m_penWidth, 1) / 2;
    include(x - half, y - half);
    include(x + half, y + half);
}

std::uint32_t Writer::allocateSlot()
{
    std::uint32_t index = 1;
    while (index < m_slots.size() && m_slots[index] >= 0)
        ++index;
    if (index == m_slots.size())
        m_slots.push_back(-1);
    m_maxHandles = std::max(m_maxHandles, index + 1);
    return index;
}

std::uint32_t Writer::createPen(std::uint32_t style, std::int32_t width, std::uint32_t color)
{
    const std::uint32_t index = allocateSlot();
    m_slots[index] = std::max(width, 1);
    beginRecord(EMR_CREATEPEN, 28);
    put32(index);
    put32(style);
    putI32(width);
    putI32(0); // the pen width's y is not used
    put32(color);
    return index;
}

std::uint32_t Writer::createBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch)
{
    const std::uint32_t index = allocateSlot();
    m_slots[index] = 0;
    beginRecord(EMR_CREATEBRUSHINDIRECT, 24);
    put32(index);
    put32(style);
    put32(color);
    put32(hatch);
    return index;
}

void Writer::selectObject(std::uint32_t index)
{
    if (index == BLACK_PEN)
        m_penWidth = 1;
    else if (index < m_slots.size() && m_slots[index] > 0)
        m_penWidth = m_slots[index];
    beginRecord(EMR_SELECTOBJECT, 12);
    put32(index);
}

void Writer::deleteObject(std::uint32_t index)
{
    if (index > 0 && index < m_slots.size())
        m_slots[index] = -1;
    beginRecord(EMR_DELETEOBJECT, 12);
    put32(index);
}

void Writer::moveTo(Point p)
{
    beginRecord(EMR_MOVETOEX, 16);
    putI32(p.x);
    putI32(p.y);
    m_current = p;
}

void Writer::lineTo(Point p)
{
    beginRecord(EMR_LINETO, 16);
    putI32(p.x);
    putI32(p.y);
    includeStroke(m_current.x, m_current.y);
    includeStroke(p.x, p.y);
    m_current = p;
}

void Writer::polyBezierTo(const Point *points, std::size_t count)
{
    if (count == 0)
        return;
    // The curve stays inside the hull of its points, so the hull bounds it.
    bool small = true;
    std::int64_t l = m_current.x, t = m_current.y, r = m_current.x, b = m_current.y;
    for (std::size_t i = 0; i < count; ++i) {
        small = small && fits16(points[i]);
        l = std::min<std::int64_t>(l, points[i].x);
        r = std::max<std::int64_t>(r, points[i].x);
        t = std::min<std::int64_t>(t, points[i].y);
        b = std::max<std::int64_t>(b, points[i].y);
    }
    const std::uint32_t n = static_cast<std::uint32_t>(count);
    beginRecord(small ? EMR_POLYBEZIERTO16 : EMR_POLYBEZIERTO, 28 + n * (small ? 4 : 8));
    putRect({ clamp32(l), clamp32(t), clamp32(r), clamp32(b) });
    put32(n);
    for (std::size_t i = 0; i < count; ++i) {
        if (small) {
            put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(points[i].x)));
            put16(static_cast<std::uint16_t>(static_cast<std::int16_t>(points[i].y)));
        } else {
            putI32(points[i].x);
            putI32(points[i].y);
        }
    }
    includeStroke(l, t);
    includeStroke(r, b);
    m_current = points[count - 1];
}

void Writer::ellipse(Rect box)
{
    // The box is stored with its edges in order, whichever corners the caller named.
    const Rect normal { std::min(box.left, box.right), std::min(box.top, box.bottom),
        std::max(box.left, box.right), std::max(box.top, box.bottom) };
    beginRecord(EMR_ELLIPSE, 24);
    putRect(normal);
    includeStroke(normal.left, normal.top);
    includeStroke(normal.right, normal.bottom);
}

void Writer::includeInBounds(Point p)
{
    if (m_hasBounds)
        include(p.x, p.y);
}

Rect Writer::bounds() const
{
    if (!m_hasBounds)
        return { 0, 0, -1, -1 };
    return { clamp32(m_left), clamp32(m_top), clamp32(m_right), clamp32(m_bottom) };
}

Rect Writer::frame() const
{
    Rect f { 0, 0, m_device.millimetres.cx * 100, m_device.millimetres.cy * 100 };
    if (!m_hasBounds)
        return f;
    // Hundredths of a millimetre per device pixel, on each axis, as readers compute it.
    const double kx = 100.0 * m_device.millimetres.cx / std::max(m_device.pixels.cx, 1);
    const double ky = 100.0 * m_device.millimetres.cy / std::max(m_device.pixels.cy, 1);
    auto toFrame = [](double v) {
        return static_cast<std::int32_t>(std::clamp(v, double(INT_MIN), double(INT_MAX)));
    };
    // The last pixel of the bounds is included, so the frame reaches to its far edge.
    f.left = std::min(f.left, toFrame(std::floor(m_left * kx)));
    f.top = std::min(f.top, toFrame(std::floor(m_top * ky)));
    f.right = std::max(f.right, toFrame(std::ceil((m_right + 1) * kx)));
    f.bottom = std::max(f.bottom, toFrame(std::ceil((m_bottom + 1) * ky)));
    return f;
}

std::vector<std::uint8_t> Writer::finish()
{
    beginRecord(EMR_EOF, EofSize);
    put32(0); // no palette entries
    put32(16); // where they would start
    put32(EofSize); // the record's size again, for readers walking backwards
    if (m_bytes.size() > UINT32_MAX)
        return {};

    std::vector<std::uint8_t> body = std::move(m_bytes);
    m_bytes.clear();
    beginRecord(EMR_HEADER, HeaderSize);
    --m_records; // the header was counted from the start
    putRect(bounds());
    putRect(frame());
    put32(HeaderSignature);
    put32(HeaderVersion);
    put32(static_cast<std::uint32_t>(body.size()));
    put32(m_records);
    put16(static_cast<std::uint16_t>(std::min<std::uint32_t>(m_maxHandles, UINT16_MAX)));
    put16(0); // reserved
    put32(0); // no description
    put32(0);
    put32(0); // no palette
    putI32(m_device.pixels.cx);
    putI32(m_device.pixels.cy);
    putI32(m_device.millimetres.cx);
    putI32(m_device.millimetres.cy);
    put32(0); // no pixel format
    put32(0);
    put32(0); // not OpenGL
    putI32(m_device.micrometres.cx);
    putI32(m_device.micrometres.cy);
    std::copy(m_bytes.begin(), m_bytes.end(), body.begin());
    m_bytes.clear();
    return body;
}

} // namespace emf
