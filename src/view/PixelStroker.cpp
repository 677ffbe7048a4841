#include "view/PixelStroker.h"

#include <algorithm>
#include <cmath>

namespace {

// Flattening tolerance of curves in pixels: the largest distance between a curve and the
// chords that stand for it. A quarter of a pixel is what the raster painter flattens its own
// curves to; finer costs a chord more per curve and changes next to no pixel.
constexpr double Tolerance = 0.25;

// Pixels are sampled a hair below and to the right of their centres, so that a centre lying
// exactly on the top or left edge of a stroke is inside and one on the bottom or right edge
// is outside, as the raster painter's fill rule has it.
constexpr double Eps = -1.0 / 1024;

// Number of chords for a cubic so that none strays more than Tolerance from the curve: the
// second differences of the control polygon bound the curve's deviation from its chords.
int chordCount(QPointF p0, QPointF c1, QPointF c2, QPointF p3)
{
    const QPointF d1 = p0 - 2 * c1 + c2;
    const QPointF d2 = c1 - 2 * c2 + p3;
    // Screen coordinates: the squares cannot overflow, so the plain root does instead of the
    // much slower hypot.
    const double dd = std::sqrt(std::max(QPointF::dotProduct(d1, d1), QPointF::dotProduct(d2, d2)));
    const double n = std::ceil(std::sqrt(0.75 * dd / Tolerance));
    return static_cast<int>(std::clamp(n, 1.0, 1000.0));
}

} // namespace

PixelStroker::PixelStroker(QImage &image, QRgb colour, double width)
    : m_colour(colour | 0xFF000000u)
    , m_radius(std::max(width, 1.0) / 2)
{
    const QImage::Format f = image.format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32
        && f != QImage::Format_ARGB32_Premultiplied)
        return;
    if (image.isNull())
        return;
    m_bits = image.bits();
    m_stride = image.bytesPerLine();
    m_width = image.width();
    m_height = image.height();
    m_endRow = m_height;
}

void PixelStroker::setRows(int first, int end)
{
    m_firstRow = std::clamp(first, 0, m_height);
    m_endRow = std::clamp(end, m_firstRow, m_height);
}

void PixelStroker::line(QPointF from, QPointF to)
{
    if (!m_bits)
        return;
    segment(from, to, true);
}

void PixelStroker::cubic(QPointF p0, QPointF c1, QPointF c2, QPointF p3)
{
    if (!m_bits)
        return;
    // Leave out curves wholly outside the image: their control polygon bounds them.
    const double m = m_radius + 1;
    const double left = std::min({ p0.x(), c1.x(), c2.x(), p3.x() }) - m;
    const double right = std::max({ p0.x(), c1.x(), c2.x(), p3.x() }) + m;
    const double top = std::min({ p0.y(), c1.y(), c2.y(), p3.y() }) - m;
    const double bottom = std::max({ p0.y(), c1.y(), c2.y(), p3.y() }) + m;
    if (right < 0 || bottom < m_firstRow || left > m_width || top > m_endRow)
        return;
    const int n = chordCount(p0, c1, c2, p3);
    QPointF previous = p0;
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n;
        const double u = 1 - t;
        const QPointF p =
            i == n ? p3 : u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * p3;
        // Each chord starts where the one before ended, whose end disc is the round join.
        segment(previous, p, i == 1);
        previous = p;
    }
}

void PixelStroker::ellipse(const QRectF &rect)
{
    // The control-point distance of a quarter circle drawn as one cubic curve.
    constexpr double Kappa = 0.5522847498;
    const double rx = rect.width() / 2;
    const double ry = rect.height() / 2;
    const QPointF c = rect.center();
    const double kx = rx * Kappa;
    const double ky = ry * Kappa;
    const QPointF right(c.x() + rx, c.y()), bottom(c.x(), c.y() + ry);
    const QPointF left(c.x() - rx, c.y()), top(c.x(), c.y() - ry);
    cubic(right, QPointF(right.x(), c.y() - ky), QPointF(c.x() + kx, top.y()), top);
    cubic(top, QPointF(c.x() - kx, top.y()), QPointF(left.x(), c.y() - ky), left);
    cubic(left, QPointF(left.x(), c.y() + ky), QPointF(c.x() - kx, bottom.y()), bottom);
    cubic(bottom, QPointF(c.x() + kx, bottom.y()), QPointF(right.x(), c.y() + ky), right);
}

inline void PixelStroker::fillRow(QRgb *row, double lo, double hi) const
{
    // Pixel x is covered when its sample point x + Eps lies in [lo, hi]. The bounds are cut
    // to the row before they become integers, so an edge far outside cannot overflow.
    const double left = std::max(lo - Eps, -1.0);
    const double right = std::min(hi - Eps, static_cast<double>(m_width));
    int first = static_cast<int>(left); // toward zero, then up to the ceiling
    first += first < left;
    int last = static_cast<int>(right); // toward zero, then down to the floor
    last -= last > right;
    first = std::max(first, 0);
    last = std::min(last, m_width - 1);
    // The colour in a local: the row could alias the member, which would stop the compiler from
    // filling several pixels at once.
    const QRgb colour = m_colour;
    for (int x = first; x <= last; ++x)
        row[x] = colour;
}

void PixelStroker::segment(QPointF a, QPointF b, bool startCap)
{
    // Drawing-area point (x, y) is the top-left corner of pixel (x, y), whose centre is
    // (x + 0.5, y + 0.5); moving the stroke by half a pixel lets the rows and columns below
    // sample at whole numbers.
    a -= QPointF(0.5, 0.5);
    b -= QPointF(0.5, 0.5);
    const double ax = a.x(), ay = a.y(), bx = b.x(), by = b.y();
    const double r = m_radius;
    const int top = static_cast<int>(
        std::max(std::ceil(std::min(ay, by) - r), static_cast<double>(m_firstRow)));
    const int bottom = static_cast<int>(
        std::min(std::floor(std::max(ay, by) + r), static_cast<double>(m_endRow - 1)));
    if (bottom < top || std::max(ax, bx) + r < 0 || std::min(ax, bx) - r >= m_width)
        return;
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double rl = r * std::sqrt(length2);
    const double r2 = r * r;
    const double idx = dx != 0 ? 1 / dx : 0;
    const double idy = dy != 0 ? 1 / dy : 0;
    uchar *rowBits = m_bits + top * m_stride;
    for (int y = top; y <= bottom; ++y, rowBits += m_stride) {
        double lo = INFINITY, hi = -INFINITY;
        // The round caps: discs about both ends.
        const double ha = y + Eps - ay;
        if (startCap && ha * ha <= r2) {
            const double w = std::sqrt(r2 - ha * ha);
            lo = ax - w;
            hi = ax + w;
        }
        const double hb = y + Eps - by;
        if (hb * hb <= r2) {
            const double w = std::sqrt(r2 - hb * hb);
            lo = std::min(lo, bx - w);
            hi = std::max(hi, bx + w);
        }
        // The band between them: points whose projection onto the segment lies between its
        // ends, (x - ax) dx + h dy in [0, length^2], and whose distance from the segment's
        // line is at most r, (x - ax) dy - h dx in [-r length, r length]. Which bound of each
        // pair is the lower one follows from the signs of dx and dy alone (rounding keeps the
        // order of the exact values), so it is chosen without comparing them.
        if (length2 > 0) {
            double blo = -INFINITY, bhi = INFINITY;
            bool empty = false;
            if (dx != 0) {
                const double u = -ha * dy * idx;
                const double v = (length2 - ha * dy) * idx;
                blo = dx > 0 ? u : v;
                bhi = dx > 0 ? v : u;
            } else {
                empty = ha * dy < 0 || ha * dy > length2;
            }
            if (dy != 0) {
                const double u = (ha * dx - rl) * idy;
                const double v = (ha * dx + rl) * idy;
                blo = std::max(blo, dy > 0 ? u : v);
                bhi = std::min(bhi, dy > 0 ? v : u);
            } else {
                empty = empty || std::abs(ha * dx) > rl;
            }
            if (!empty && blo <= bhi) {
                lo = std::min(lo, ax + blo);
                hi = std::max(hi, ax + bhi);
            }
        }
        if (hi >= lo)
            fillRow(reinterpret_cast<QRgb *>(rowBits), lo, hi);
    }
}
