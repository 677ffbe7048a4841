#pragma once

#include "trace/TraceSettings.h"

#include <opencv2/core/mat.hpp>
#include <potracelib.h>
#include <vector>

// The black-and-white picture potrace traces: one bit per pixel, set for ink, in potrace's own
// layout (rows of machine words, the leftmost pixel in the highest bit). Row n of the bitmap is
// row n of the grey picture, so the two share coordinates.
class InkBitmap
{
public:
    // A bitmap of paper only.
    void create(int width, int height);
    // Marks every pixel of `grey`, a band of rows starting at row `firstRow`, darker than
    // `threshold` as ink.
    void fillRows(const cv::Mat &grey, int firstRow, int threshold);
    // Frees the bitmap.
    void clear();

    const potrace_bitmap_t &bitmap() const { return m_bitmap; }
    bool ink(int x, int y) const
    {
        const potrace_word w = m_words[std::size_t(y) * m_bitmap.dy + std::size_t(x) / WordBits];
        return (w >> (WordBits - 1 - x % WordBits)) & 1;
    }
    std::size_t inkCount() const;
    // Places where a pixel differs from its right-hand neighbour: about half the pixels in
    // noise, a few per hundred in a drawing.
    std::size_t transitionCount() const;

    static constexpr int WordBits = sizeof(potrace_word) * 8;

private:
    std::vector<potrace_word> m_words;
    potrace_bitmap_t m_bitmap {};
};
