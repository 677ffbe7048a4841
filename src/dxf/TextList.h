#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// A list of text lines that becomes part of a DXF file. The lines are kept as file bytes,
// each already followed by carriage return and line feed, in blocks of up to about a megabyte,
// so a large drawing is never copied when the list grows and takes little more memory than
// the file it produces.
class TextList
{
public:
    static constexpr std::size_t FirstBlockSize = 1 << 12;
    static constexpr std::size_t BlockSize = 1 << 20;

    // Appends a line and its line end. The text may hold several lines separated by carriage
    // return and line feed; `lines` says how many.
    void add(std::string_view text, std::size_t lines = 1)
    {
        std::string &block = current(text.size() + 2);
        block.append(text);
        block.append("\r\n", 2);
        m_lineCount += lines;
    }

    // Empties the list but keeps its largest block, so a list that is filled and written out
    // over and over reuses the same memory.
    void clear();
    bool empty() const { return m_lineCount == 0; }
    std::size_t lineCount() const { return m_lineCount; }
    std::size_t byteCount() const;

    // Writes every line to the stream in order.
    void writeTo(std::ostream &stream) const;
    // All lines as one string, as they appear in the file.
    std::string text() const;

private:
    // The last block, with room for `needed` more characters.
    std::string &current(std::size_t needed)
    {
        if (!m_blocks.empty() && m_blocks.back().size() + needed <= m_blocks.back().capacity())
            return m_blocks.back();
        return grow(needed);
    }
    std::string &grow(std::size_t needed);

    std::vector<std::string> m_blocks;
    std::size_t m_lineCount = 0;
};
