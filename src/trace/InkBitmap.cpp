#include "trace/InkBitmap.h"

#include <bit>

void InkBitmap::create(int width, int height)
{
    const int dy = (width + WordBits - 1) / WordBits;
    m_words.assign(std::size_t(dy) * std::size_t(height), 0);
    m_bitmap = { width, height, dy, m_words.data() };
}

void InkBitmap::clear()
{
    m_words = {};
    m_bitmap = {};
}

void InkBitmap::fillRows(const cv::Mat &grey, int firstRow, int threshold)
{
    const int w = grey.cols, dy = m_bitmap.dy;
    const int full = w / WordBits;
    for (int y = 0; y < grey.rows; ++y) {
        const std::uint8_t *row = grey.ptr<std::uint8_t>(y);
        potrace_word *out = m_words.data() + std::size_t(firstRow + y) * std::size_t(dy);
        // Whole words first: a branch-free loop the compiler can vectorise.
        for (int i = 0; i < full; ++i) {
            const std::uint8_t *p = row + std::size_t(i) * WordBits;
            potrace_word word = 0;
            for (int b = 0; b < WordBits; ++b)
                word = (word << 1) | potrace_word(p[b] < threshold);
            out[i] = word;
        }
        for (int x = full * WordBits; x < w; ++x) {
            if (row[x] < threshold)
                out[x / WordBits] |= potrace_word(1) << (WordBits - 1 - x % WordBits);
        }
    }
}

std::size_t InkBitmap::inkCount() const
{
    std::size_t n = 0;
    for (potrace_word w : m_words)
        n += std::size_t(std::popcount(w));
    return n;
}

std::size_t InkBitmap::transitionCount() const
{
    std::size_t n = 0;
    const std::size_t dy = std::size_t(m_bitmap.dy);
    for (std::size_t y = 0; y < std::size_t(m_bitmap.h); ++y) {
        const potrace_word *row = m_words.data() + y * dy;
        for (std::size_t i = 0; i < dy; ++i) {
            const potrace_word next = i + 1 < dy ? row[i + 1] >> (WordBits - 1) : 0;
            n += std::size_t(std::popcount(row[i] ^ ((row[i] << 1) | next)));
        }
    }
    return n;
}
