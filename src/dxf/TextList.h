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

    void add(std::string_view line);
    // Starts a line, lets the caller append its text (at most `length` characters plus a few
    // dozen) to the returned string, and must be followed by endLine(). A caller may put
    // several lines in one go, separated by carriage return and line feed, and says how many
    // in endLine. Used by the writers to format in place.
    std::string &beginLine(std::size_t length = 0);
    void endLine(std::size_t lines = 1);

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
    std::string &current(std::size_t needed);

    std::vector<std::string> m_blocks;
    std::size_t m_lineCount = 0;
};
