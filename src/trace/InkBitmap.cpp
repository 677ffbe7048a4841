#include "trace/InkBitmap.h"

#include <bit>

namespace {

constexpr int BandRows = 2048;

} // namespace

bool InkBitmap::fill(const cv::Mat &grey, int threshold, const TraceControl &control)
{
    const int w = grey.cols, h = grey.rows;
    const int dy = (w + WordBits - 1) / WordBits;
    m_words.assign(std::size_t(dy) * std::size_t(h), 0);
    m_bitmap = { w, h, dy, m_words.data() };
    const int full = w / WordBits;
    for (int y = 0; y < h; ++y) {
        if (y % BandRows == 0 && control.cancelled())
            return false;
        const std::uint8_t *row = grey.ptr<std::uint8_t>(y);
        potrace_word *out = m_words.data() + std::size_t(y) * std::size_t(dy);
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
    return true;
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
