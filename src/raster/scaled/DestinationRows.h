#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdint>

// Receives the destination rows that the scaled drawing produces, top to bottom, and gets
// them onto the painter's device. When the painter draws on an unshared 32-bit image with at
// most an integer translation and a rectangular clip, and the rows are plain copies, they are
// written straight into the image's scan lines; otherwise they are gathered into band images
// of a bounded size and drawn with the painter, which then applies its transform, clip and
// composition mode. Both ways give the same pixels; the first skips one copy per pixel.
class DestinationRows
{
public:
    // `visible` is the destination area to fill, in the painter's logical coordinates.
    DestinationRows(QPainter &painter, const QRect &visible, QPainter::CompositionMode mode);
    ~DestinationRows();
    DestinationRows(const DestinationRows &) = delete;
    DestinationRows &operator=(const DestinationRows &) = delete;

    // The 0xFFRRGGBB pixels of logical row y, visible.width() of them, for visible.left()
    // onwards. Rows must be asked for in increasing order, each at most once.
    std::uint32_t *row(int y);

    // Draws what is still pending; called by the destructor as well.
    void finish();

private:
    void flush();

    QPainter &m_painter;
    QRect m_visible;
    QPainter::CompositionMode m_mode;
    QImage *m_target = nullptr; // set when rows go straight into the device image
    QPoint m_offset; // logical to device pixels for m_target
    QImage m_band;
    int m_bandTop = 0;
    int m_bandRows = 0;
};
