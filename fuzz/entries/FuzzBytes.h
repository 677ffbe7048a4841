#pragma once

#include "document/ElementList.h"
#include "export/DxfExportParams.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <span>

namespace linovex::fuzz {

// Takes values from the front of a fuzz input. Past the end every value reads as zero, so a
// short input still decodes into something the program can be handed.
class ByteReader
{
public:
    explicit ByteReader(std::span<const std::uint8_t> data)
        : m_data(data)
    {
    }

    bool atEnd() const { return m_pos >= m_data.size(); }
    std::size_t remaining() const { return atEnd() ? 0 : m_data.size() - m_pos; }
    std::span<const std::uint8_t> rest() const
    {
        return m_data.subspan(m_data.size() - remaining());
    }

    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }

    template <typename T> T value()
    {
        T v {};
        const std::size_t n = std::min(sizeof v, remaining());
        if (n > 0)
            std::memcpy(&v, m_data.data() + m_pos, n);
        m_pos += n;
        return v;
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

// A directory of this process for files an entry has to hand over by name; it lives until the
// process ends.
QString scratchDir();

// Export parameters from one byte: a resolution from a list that includes the edges the
// dialog clamps and values it can never produce, millimetres or inches, and a piece count
// that may lie outside the allowed range.
DxfExportParams decodeParams(std::uint8_t selector);

// An element list from the rest of the input. Most coordinates are small fixed-point numbers,
// so the chains, closing lines and degenerate curves a user can draw turn up often; some are
// raw doubles, which reach huge, tiny, infinite and not-a-number values.
void decodeElements(ByteReader &in, TElementList &list);

} // namespace linovex::fuzz
