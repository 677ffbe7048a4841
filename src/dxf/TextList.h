#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// A list of text lines that becomes part of a DXF file. The lines are kept as file bytes,
// each already followed by carriage return and line feed, in blocks of about a megabyte, so
// a large drawing is never copied when the list grows and takes little more memory than the
// file it produces.
class TextList
{
public:
    static constexpr std::size_t BlockSize = 1 << 20;

    void add(std::string_view line);
    // Starts a line, lets the caller append its text to the returned string, and must be
    // followed by endLine(). Used by the number writer to format in place.
    std::string &beginLine();
    void endLine();

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
