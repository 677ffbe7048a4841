#include "emf/EmfReader.h"

namespace emf {

namespace {

std::uint32_t le32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

ReadResult failure(std::string why)
{
    ReadResult r;
    r.error = std::move(why);
    return r;
}

} // namespace

std::uint32_t Record::u32(std::size_t offset) const
{
    if (offset + 4 > data.size())
        return 0;
    return le32(data.data() + offset);
}

std::int16_t Record::i16(std::size_t offset) const
{
    if (offset + 2 > data.size())
        return 0;
    return static_cast<std::int16_t>(data[offset] | data[offset + 1] << 8);
}

Rect Record::rect(std::size_t offset) const
{
    return { i32(offset), i32(offset + 4), i32(offset + 8), i32(offset + 12) };
}

std::vector<Point> Record::points() const
{
    switch (type) {
    case EMR_MOVETOEX:
    case EMR_LINETO:
        return { { i32(0), i32(4) } };
    case EMR_POLYBEZIERTO:
    case EMR_POLYBEZIERTO16: {
        const bool small = type == EMR_POLYBEZIERTO16;
        const std::size_t each = small ? 4 : 8;
        const std::uint32_t count = u32(16);
        if (data.size() < 20 || count > (data.size() - 20) / each)
            return {};
        std::vector<Point> points;
        points.reserve(count);
        for (std::size_t i = 0, at = 20; i < count; ++i, at += each)
            points.push_back(
                small ? Point { i16(at), i16(at + 2) } : Point { i32(at), i32(at + 4) });
        return points;
    }
    default:
        return {};
    }
}

ReadResult read(const std::uint8_t *bytes, std::size_t size)
{
    std::vector<Record> all;
    std::size_t at = 0;
    while (at < size) {
        if (size - at < 8)
            return failure("a record is cut off before its size");
        Record r;
        r.type = le32(bytes + at);
        r.size = le32(bytes + at + 4);
        if (r.size < 8 || r.size % 4 != 0)
            return failure("record " + std::to_string(all.size()) + " has a bad size");
        if (r.size > size - at)
            return failure("record " + std::to_string(all.size()) + " reaches past the end");
        r.data.assign(bytes + at + 8, bytes + at + r.size);
        at += r.size;
        all.push_back(std::move(r));
    }
    if (all.empty() || all.front().type != EMR_HEADER)
        return failure("the file does not start with a header");
    const Record &h = all.front();
    if (h.size < 88)
        return failure("the header is too short");

    ReadResult result;
    Header &header = result.header;
    header.bounds = h.rect(0);
    header.frame = h.rect(16);
    header.signature = h.u32(32);
    header.version = h.u32(36);
    header.bytes = h.u32(40);
    header.records = h.u32(44);
    header.handles = static_cast<std::uint16_t>(h.u32(48) & 0xFFFF);
    header.descriptionLength = h.u32(52);
    header.paletteEntries = h.u32(60);
    header.device = { h.i32(64), h.i32(68) };
    header.millimetres = { h.i32(72), h.i32(76) };
    if (h.size >= 108)
        header.micrometres = { h.i32(92), h.i32(96) };

    if (header.signature != HeaderSignature)
        return failure("the header's signature is wrong");
    if (header.bytes != size)
        return failure("the header's byte count differs from the file's size");
    if (header.records != all.size())
        return failure("the header's record count differs from the records in the file");
    if (all.back().type != EMR_EOF)
        return failure("the file does not end with an end record");

    result.records.assign(
        std::make_move_iterator(all.begin() + 1), std::make_move_iterator(all.end()));
    result.ok = true;
    return result;
}

} // namespace emf
