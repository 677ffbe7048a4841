#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <vector>

// One segment of a CNC polyline as the geometry leaves it: from start to end, straight when the
// bulge is 0.
struct CncSegment
{
    double startX, startY, endX, endY, bulge;
};

// Carries the segments of a drawing, in their order, from the thread that computes them to the
// thread that writes their text, so that the two overlap. Segments travel in blocks; only a few
// blocks are under way at once, so memory stays small however large the drawing is.
//
// The computing side calls add() and, when it is done (or has failed), close(). The writing side
// calls take() until it returns false, and cancel() when it does not want any more.
class SegmentPipe
{
public:
    static constexpr std::size_t BlockSize = 4096;
    static constexpr std::size_t BlocksUnderWay = 4;

    SegmentPipe();

    void add(const CncSegment &segment)
    {
        m_filling.push_back(segment);
        if (m_filling.size() >= BlockSize)
            handOver();
    }
    // Hands the last block over; `error`, when set, is kept for the writing side.
    void close(std::exception_ptr error = nullptr);
    // True once the writing side has cancelled: the computing side may stop early.
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    // Replaces `block` by the next block, giving the old one back for reuse. Waits for it; false
    // when every block has been taken and the computing side has closed.
    bool take(std::vector<CncSegment> &block);
    void cancel();
    // What made the computing side stop, if anything did.
    std::exception_ptr error();

private:
    void handOver();

    std::vector<CncSegment> m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<CncSegment>> m_full; // oldest first
    std::vector<std::vector<CncSegment>> m_spare;
    bool m_closed = false;
    std::exception_ptr m_error;
    std::atomic<bool> m_cancelled { false };
};
