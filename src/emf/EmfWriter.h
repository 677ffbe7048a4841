#pragma once

#include "emf/EmfRecords.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace emf {

// The device a metafile is recorded against, standing for the screen: its size in pixels and
// in millimetres. One logical unit of the records is one pixel of this device, and readers
// turn units into millimetres through the ratio of the two sizes.
struct ReferenceDevice
{
    Size pixels { 1920, 1080 };
    Size millimetres { 508, 286 };
    Size micrometres { 508000, 285750 };

    // A device of width x height pixels on a physical area of widthMm x heightMm. A size that
    // is not positive (a screen that does not report its physical size) is taken as 96 dpi.
    static ReferenceDevice fromScreen(int width, int height, double widthMm, double heightMm);
    // 1920 x 1080 pixels at 96 dpi, for a machine without a screen.
    static ReferenceDevice standard() { return {}; }
};

// Records drawing operations as enhanced-metafile records in memory. Objects (pens, brushes)
// get the lowest free slot of the object table, as a player expects; the header's bounds,
// frame, record count, byte count and handle count are filled in by finish().
class Writer
{
public:
    explicit Writer(const ReferenceDevice &device = ReferenceDevice::standard());

    // Creates a pen or a brush and returns its object-table index; the object is not selected.
    std::uint32_t createPen(std::uint32_t style, std::int32_t width, std::uint32_t color);
    std::uint32_t createBrush(std::uint32_t style, std::uint32_t color, std::uint32_t hatch = 0);
    // Selects an object created here or a stock object (StockObject | n).
    void selectObject(std::uint32_t index);
    // Frees an object's slot for the next creation.
    void deleteObject(std::uint32_t index);

    void moveTo(Point p);
    void lineTo(Point p);
    // A chain of cubic Bezier curves from the current position: two control points and an end
    // point per curve. Written with 16-bit points when every point fits, else 32-bit.
    void polyBezierTo(const Point *points, std::size_t count);
    // The ellipse inscribed in `box`, outlined with the pen and filled with the brush.
    void ellipse(Rect box);

    // Widens the bounds to hold `p` as well, for a caller that wants a point such as the origin
    // inside them; nothing while nothing has been drawn.
    void includeInBounds(Point p);

    // The device pixels that the drawing so far touches, both edges included; false while
    // nothing has been drawn.
    bool hasBounds() const { return m_hasBounds; }
    Rect bounds() const;
    // The picture frame in hundredths of a millimetre: the whole reference device, grown where
    // the drawing reaches beyond it, so that a reader clips nothing that was drawn.
    Rect frame() const;

    // Appends the end record, fills in the header and hands over the file's bytes. Empty when
    // the file would exceed the 4 GB that the header's byte count can state.
    std::vector<std::uint8_t> finish();

private:
    void beginRecord(std::uint32_t type, std::uint32_t size);
    void put32(std::uint32_t value);
    void putI32(std::int32_t value) { put32(static_cast<std::uint32_t>(value)); }
    void put16(std::uint16_t value);
    void putRect(const Rect &r);
    void include(std::int64_t x, std::int64_t y);
    void includeStroke(std::int64_t x, std::int64_t y);
    std::uint32_t allocateSlot();

    ReferenceDevice m_device;
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_records = 1; // the header
    // Pen width of each object-table slot holding a pen; -1 for a free slot, 0 for a brush.
    std::vector<std::int32_t> m_slots;
    std::uint32_t m_maxHandles = 1; // slot 0 stands for the metafile itself
    std::int32_t m_penWidth = 1;
    Point m_current;
    bool m_hasBounds = false;
    std::int64_t m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
};

} // namespace emf
