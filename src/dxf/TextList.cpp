#include "dxf/TextList.h"

#include <algorithm>

std::string &TextList::grow(std::size_t needed)
{
    // Blocks start small and double up to BlockSize, so that a short list (a table, the end of
    // the file, a small drawing) does not take a megabyte.
    const std::size_t next =
        m_blocks.empty() ? FirstBlockSize : std::min(2 * m_blocks.back().capacity(), BlockSize);
    m_blocks.emplace_back();
    m_blocks.back().reserve(std::max(needed, next));
    return m_blocks.back();
}

void TextList::clear()
{
    if (!m_blocks.empty()) {
        // The last block is the largest; it takes the lines to come.
        std::string kept = std::move(m_blocks.back());
        kept.clear();
        m_blocks.clear();
        m_blocks.push_back(std::move(kept));
    }
    m_lineCount = 0;
}

std::size_t TextList::byteCount() const
{
    std::size_t total = 0;
    for (const auto &block : m_blocks)
        total += block.size();
    return total;
}

void TextList::writeTo(std::ostream &stream) const
{
    for (const auto &block : m_blocks)
        stream.write(block.data(), static_cast<std::streamsize>(block.size()));
}

std::string TextList::text() const
{
    std::string all;
    all.reserve(byteCount());
    for (const auto &block : m_blocks)
        all.append(block);
    return all;
}
