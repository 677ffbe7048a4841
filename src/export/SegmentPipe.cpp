#include "export/SegmentPipe.h"

#include <utility>

SegmentPipe::SegmentPipe()
{
    m_filling.reserve(BlockSize);
}

void SegmentPipe::handOver()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_full.size() < BlocksUnderWay || m_cancelled.load(); });
    if (m_cancelled.load()) {
        m_filling.clear();
        return;
    }
    m_full.push_back(std::move(m_filling));
    if (m_spare.empty()) {
        m_filling = {};
        m_filling.reserve(BlockSize);
    } else {
        m_filling = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    m_changed.notify_all();
}

void SegmentPipe::close(std::exception_ptr error)
{
    if (!error && !m_filling.empty())
        handOver();
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_error = error;
    }
    m_changed.notify_all();
}

bool SegmentPipe::take(std::vector<CncSegment> &block)
{
    std::unique_lock lock(m_mutex);
    if (block.capacity() > 0) {
        block.clear();
        m_spare.push_back(std::move(block));
    }
    block = {};
    m_changed.wait(lock, [this] { return !m_full.empty() || m_closed; });
    if (m_full.empty())
        return false;
    block = std::move(m_full.front());
    m_full.pop_front();
    lock.unlock();
    m_changed.notify_all();
    return true;
}

void SegmentPipe::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled.store(true);
    }
    m_changed.notify_all();
}

std::exception_ptr SegmentPipe::error()
{
    std::lock_guard lock(m_mutex);
    return m_error;
}
