#pragma once

#include <cstdint>

// The record types, object styles and plain geometry of the enhanced metafile format, as the
// writer and the reader share them. All values in a file are little-endian.
namespace emf {

struct Point
{
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Edges of a rectangle; the format counts both right and bottom as inside.
struct Rect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct Size
{
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

enum RecordType : std::uint32_t {
    EMR_HEADER = 1,
    EMR_POLYBEZIERTO = 5,
    EMR_EOF = 14,
    EMR_MOVETOEX = 27,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ELLIPSE = 42,
    EMR_LINETO = 54,
    EMR_POLYBEZIERTO16 = 88,
};

// " EMF" read as a little-endian 32-bit number.
constexpr std::uint32_t HeaderSignature = 0x464D4520;
constexpr std::uint32_t HeaderVersion = 0x00010000;
// The header with both extensions (pixel format fields and the size in micrometres).
constexpr std::uint32_t HeaderSize = 108;
constexpr std::uint32_t EofSize = 20;

constexpr std::uint32_t PS_SOLID = 0;
constexpr std::uint32_t BS_SOLID = 0;
constexpr std::uint32_t BS_NULL = 1;

// Stock objects are selected by these indexes and need no creation record.
constexpr std::uint32_t StockObject = 0x80000000;
constexpr std::uint32_t WHITE_BRUSH = StockObject | 0;
constexpr std::uint32_t NULL_BRUSH = StockObject | 5;
constexpr std::uint32_t BLACK_PEN = StockObject | 7;

// A colour as the format stores it: 0x00BBGGRR.
constexpr std::uint32_t colorRef(int red, int green, int blue)
{
    return static_cast<std::uint32_t>(red & 0xFF) | static_cast<std::uint32_t>(green & 0xFF) << 8
        | static_cast<std::uint32_t>(blue & 0xFF) << 16;
}

} // namespace emf
