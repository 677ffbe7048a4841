#pragma once

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <vector>

// The pixels of thin strokes, kept by shape, so that a drawing of many tiny elements at a small
// zoom costs a table look-up per stroke instead of a call into the painter.
//
// The painter's one-pixel, aliased stroker steps in fixed point from a stroke's points and
// splits curves in halves, so a stroke between whole-pixel positions, moved by whole pixels,
// covers the same pixels moved alike, as long as no edge of the image cuts it and no
// coordinate turns negative (the fixed point cuts toward zero). An ellipse without width or
// height is the exception (its curves come from general arithmetic); the caller leaves it to
// the painter. So a stroke is drawn by the painter once, into an image of its own, and its
// pixels are kept as offsets from its first point; every stroke of the same shape well inside
// the buffer then writes those pixels. The painter's tests compare whole paints both ways.
class StrokeStamps
{
public:
    enum Shape {
        Line, // from the origin to points[0]
        Cubic, // from the origin through points[0] and points[1] to points[2]
        Ellipse, // inscribed in the rectangle from the origin to points[0], both not negative
    };

    // Pixel offsets from the stroke's origin, two bytes (x, y) a pixel.
    struct Stamp
    {
        const std::int8_t *offsets = nullptr;
        int count = 0;
    };

    // The farthest a point may lie from the origin, in pixels, for its shape to be kept.
    static constexpr int Reach = 31;
    // How far the pixels of a stroke can lie outside the box of its points: the round cap's
    // last pixel and the rounding to pixel centres.
    static constexpr int Spill = 2;

    // Must be called before the first stamp of a paint with the pen of that paint (one pixel
    // wide, opaque), and finish() after its last, from the thread that paints.
    void begin(const QPen &pen);
    void finish();

    // The pixels of the shape, drawn by the painter when they are not kept yet. False when the
    // shape reaches too far to be kept, or its pixels lie further than Spill outside the box
    // of its points; the caller then draws it itself.
    bool find(Shape shape, const QPoint *points, Stamp &stamp);
    // Asks for the shape's place in the table from memory, ahead of find().
    void prefetch(Shape shape, const QPoint *points) const;

private:
    struct Slot
    {
        std::uint64_t key = 0; // 0: empty
        std::uint32_t first = 0; // into m_pixels
        std::uint32_t count = 0;
    };

    static bool keepable(Shape shape, const QPoint *points);
    void clear();
    void grow();
    Slot capture(Shape shape, const QPoint *points);

    std::vector<Slot> m_slots;
    int m_count = 0;
    std::vector<std::int8_t> m_pixels;
    QPen m_pen;
    QImage m_scratch;
    std::unique_ptr<QPainter> m_painter; // on m_scratch while a paint lasts
};
