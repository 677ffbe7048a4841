#pragma once

#include "emf/EmfRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace emf {

// One record as read back: its type and the bytes after the type and size fields.
struct Record
{
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;

    // Little-endian fields of the record's data; 0 for an offset past its end.
    std::uint32_t u32(std::size_t offset) const;
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::int16_t i16(std::size_t offset) const;
    Rect rect(std::size_t offset) const;
    // The points of a move, line or poly-Bezier record (16-bit points widened); empty for any
    // other record.
    std::vector<Point> points() const;
};

struct Header
{
    Rect bounds;
    Rect frame;
    std::uint32_t signature = 0;
    std::uint32_t version = 0;
    std::uint32_t bytes = 0;
    std::uint32_t records = 0;
    std::uint16_t handles = 0;
    std::uint32_t descriptionLength = 0;
    std::uint32_t paletteEntries = 0;
    Size device;
    Size millimetres;
    Size micrometres; // zero when the header has no second extension
};

struct ReadResult
{
    bool ok = false;
    std::string error; // why the bytes are not a well-formed metafile
    Header header;
    std::vector<Record> records; // every record after the header, the end record included
};

// Reads a whole metafile and checks its framing: every record's size within the bytes that
// are there and a multiple of four, a header whose signature, byte count and record count
// agree with the file, and the end record last.
ReadResult read(const std::uint8_t *bytes, std::size_t size);
inline ReadResult read(const std::vector<std::uint8_t> &bytes)
{
    return read(bytes.data(), bytes.size());
}

} // namespace emf
