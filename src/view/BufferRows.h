#pragma once

#include <QImage>
#include <QRect>
#include <algorithm>
#include <cmath>

// Direct access to the rows of the drawing area's back buffer, for what the canvas writes
// without a painter: node markers here, strokes in the stroker.

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
        , endRow(height)
    {
    }
    QRgb *line(int y) const { return reinterpret_cast<QRgb *>(bits + y * stride); }

    // The device pixels of a logical rectangle, cut to the rows drawn into.
    QRect device(const QRect &logical) const
    {
        const QRect rows(0, firstRow, width, endRow - firstRow);
        if (ratio == 1)
            return logical.intersected(rows);
        const auto at = [this](int v) { return static_cast<int>(std::floor(v * ratio)); };
        return QRect(QPoint(at(logical.left()), at(logical.top())),
            QPoint(at(logical.right() + 1) - 1, at(logical.bottom() + 1) - 1))
            .intersected(rows);
    }

    void fill(const QRect &logical, QRgb colour) const
    {
        if (ratio == 1) {
            // The common case, without building rectangles: a marker is four of these.
            const int left = std::max(logical.left(), 0);
            const int right = std::min(logical.right(), width - 1);
            const int top = std::max(logical.top(), firstRow);
            const int bottom = std::min(logical.bottom(), endRow - 1);
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
    // The device rows drawn into: all of them, or one band when several threads paint.
    int firstRow = 0;
    int endRow;
};

// One square ring of a marker, d pixels from the centre, written straight into the buffer.
// Markers are the most frequent thing drawn; writing their pixels costs a fraction of two
// outlined rectangles and gives the same pixels as endpunkt, also on a buffer of a higher
// pixel ratio, where each logical pixel of the ring becomes a block of device pixels.
inline void ring(const BufferBits &buffer, int x, int y, int d, QRgb colour)
{
    // A point far off the view reaches here at a saturated position, where x - d or x + d
    // would overflow; a ring that cannot touch the buffer is left out first, in 64 bits.
    const long long lx = x;
    const long long ly = y;
    if (lx + d < 0 || ly + d < 0 || static_cast<double>(lx - d) * buffer.ratio > buffer.width
        || static_cast<double>(ly - d) * buffer.ratio > buffer.height)
        return;
    if (buffer.ratio == 1 && x - d >= 0 && y - d >= buffer.firstRow && x + d < buffer.width
        && y + d < buffer.endRow) {
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

// A node marker: the white ring 5 pixels from (x, y) inside the black one 6 pixels from it.
// Wholly inside the buffer at a ratio of 1, which is where a large drawing has most of its
// markers, its 13 rows are written in one pass; anywhere else ring by ring.
inline void markerRings(const BufferBits &buffer, int x, int y)
{
    constexpr QRgb White = 0xFFFFFFFF;
    constexpr QRgb Black = 0xFF000000;
    // In 64 bits: a point far off the view has a saturated position.
    const long long lx = x;
    const long long ly = y;
    if (buffer.ratio != 1 || lx < 6 || ly - 6 < buffer.firstRow || lx + 6 >= buffer.width
        || ly + 6 >= buffer.endRow) {
        ring(buffer, x, y, 5, White);
        ring(buffer, x, y, 6, Black);
        return;
    }
    std::fill_n(buffer.line(y - 6) + x - 6, 13, Black);
    std::fill_n(buffer.line(y + 6) + x - 6, 13, Black);
    for (const int row : { y - 5, y + 5 }) {
        QRgb *line = buffer.line(row) + x;
        std::fill_n(line - 5, 11, White);
        line[-6] = Black;
        line[6] = Black;
    }
    for (int row = y - 4; row <= y + 4; ++row) {
        QRgb *line = buffer.line(row) + x;
        line[-6] = Black;
        line[-5] = White;
        line[5] = White;
        line[6] = Black;
    }
}
