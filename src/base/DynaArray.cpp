#include "base/DynaArray.h"

#include "base/HugePages.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

DynaArrayBase::AllocationFailureHandler &failureHandler()
{
    static DynaArrayBase::AllocationFailureHandler handler;
    return handler;
}

void *defaultAllocator(std::size_t bytes)
{
    return std::calloc(1, bytes);
}

DynaArrayBase::BlockAllocator g_allocator = &defaultAllocator;

// Versions are drawn from one counter for all stores, so that a store made in the place of
// another (an opened project replacing the drawing) never repeats a version a cache saw.
std::atomic<std::uint64_t> g_lastVersion { 0 };

} // namespace

DynaArrayBase::DynaArrayBase(std::int32_t recordSize, void *cursor, BindFn bind)
    : m_cursor(cursor)
    , m_bind(bind)
    , m_recordSize(recordSize)
{
    markChanged();
}

void DynaArrayBase::markChanged()
{
    m_version = g_lastVersion.fetch_add(1, std::memory_order_relaxed) + 1;
}

DynaArrayBase::~DynaArrayBase()
{
    std::free(m_storage);
}

void DynaArrayBase::setAllocationFailureHandler(AllocationFailureHandler handler)
{
    failureHandler() = std::move(handler);
}

void DynaArrayBase::setBlockAllocator(BlockAllocator allocator)
{
    g_allocator = allocator ? allocator : &defaultAllocator;
}

std::string DynaArrayBase::allocationFailureMessage(std::int64_t bytes)
{
    return "Error while trying to allocate " + std::to_string(bytes)
        + " bytes of RAM. Not enough memory.";
}

void *DynaArrayBase::allocateBlock(std::int64_t bytes)
{
    // The allocated size is kept as a signed 32-bit number, so anything larger cannot be held.
    if (bytes <= 0 || bytes > INT32_MAX)
        return nullptr;
    return g_allocator(static_cast<std::size_t>(bytes));
}

static void reportAllocationFailure(std::int64_t bytes)
{
    const std::string message = DynaArrayBase::allocationFailureMessage(bytes);
    if (auto &handler = failureHandler())
        handler(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

std::int64_t DynaArrayBase::neededBytes(std::uint32_t count) const
{
    return (static_cast<std::int64_t>(count - 1) / GrowBlock + 1) * m_recordSize * GrowBlock;
}

void DynaArrayBase::makeCurrent(std::int32_t index)
{
    markChanged();
    m_currentIndex = index;
    m_current =
        m_storage + static_cast<std::size_t>(index) * static_cast<std::size_t>(m_recordSize);
    if (m_cursor)
        m_bind(m_cursor, m_current);
}

void DynaArrayBase::clearCurrent()
{
    markChanged();
    m_currentIndex = -1;
    m_current = nullptr;
    if (m_cursor)
        m_bind(m_cursor, nullptr);
}

unsigned char *DynaArrayBase::getRecord(std::int32_t index)
{
    makeCurrent(index);
    return m_current;
}

bool DynaArrayBase::growTo(std::int64_t needed)
{
    unsigned char *block = nullptr;
    if (m_storage && g_allocator == &defaultAllocator) {
        // Growing in place (or by remapping pages, for large blocks) keeps appending linear;
        // copying the whole store every hundred records made a large drawing quadratic.
        block = static_cast<unsigned char *>(needed <= INT32_MAX
                ? std::realloc(m_storage, static_cast<std::size_t>(needed))
                : nullptr);
        if (block)
            std::memset(block + m_allocated, 0, static_cast<std::size_t>(needed - m_allocated));
    } else {
        // A fresh block from the allocator is zero already; untouched, its pages cost nothing
        // until they are filled.
        block = static_cast<unsigned char *>(allocateBlock(needed));
        if (block && m_storage) {
            std::memcpy(block, m_storage, static_cast<std::size_t>(m_allocated));
            std::free(m_storage);
        }
    }
    if (!block) {
        // Nothing has changed yet: the store keeps its records and the caller stops.
        reportAllocationFailure(needed);
        return false;
    }
    m_storage = block;
    m_allocated = static_cast<std::int32_t>(needed);
    return true;
}

unsigned char *DynaArrayBase::appendRecord()
{
    const std::uint32_t newCount = m_count + 1;
    const std::int64_t needed = neededBytes(newCount);
    if (needed != m_allocated && !growTo(needed))
        return nullptr;
    m_count = newCount;
    return getRecord(static_cast<std::int32_t>(m_count - 1));
}

bool DynaArrayBase::appendRecords(const void *records, std::uint32_t count)
{
    if (count == 0)
        return true;
    const std::uint32_t oldCount = m_count;
    // Growing once to the final size: record by record, a store kept on the heap may be copied
    // at every growth, which makes reading a large project quadratic.
    if (!appendRecord())
        return false;
    if (count > 1) {
        const std::int64_t needed = neededBytes(oldCount + count);
        unsigned char *block = needed <= INT32_MAX && g_allocator == &defaultAllocator
            ? static_cast<unsigned char *>(
                std::realloc(m_storage, static_cast<std::size_t>(needed)))
            : nullptr;
        if (!block) {
            if (needed <= INT32_MAX && g_allocator != &defaultAllocator) {
                block = static_cast<unsigned char *>(allocateBlock(needed));
                if (block) {
                    std::memcpy(block, m_storage, static_cast<std::size_t>(m_allocated));
                    std::free(m_storage);
                }
            }
            if (!block) {
                Delete(static_cast<std::int32_t>(oldCount));
                reportAllocationFailure(needed);
                return false;
            }
        }
        std::memset(block + m_allocated, 0, static_cast<std::size_t>(needed - m_allocated));
        m_storage = block;
        m_allocated = static_cast<std::int32_t>(needed);
    }
    m_count = oldCount + count;
    std::memcpy(
        m_storage + static_cast<std::size_t>(oldCount) * static_cast<std::size_t>(m_recordSize),
        records, static_cast<std::size_t>(count) * static_cast<std::size_t>(m_recordSize));
    makeCurrent(static_cast<std::int32_t>(m_count - 1));
    return true;
}

unsigned char *DynaArrayBase::appendBlank(std::uint32_t count)
{
    if (count == 0)
        return nullptr;
    const std::uint32_t oldCount = m_count;
    // A count that would wrap the record counter asks for more than the store can ever hold.
    const std::int64_t needed = count > UINT32_MAX - oldCount
        ? static_cast<std::int64_t>(INT32_MAX) + 1
        : neededBytes(oldCount + count);
    if (needed != m_allocated) {
        if (!growTo(needed))
            return nullptr;
        if (g_allocator == &defaultAllocator)
            adviseHugePages(m_storage, static_cast<std::size_t>(needed));
    }
    m_count = oldCount + count;
    makeCurrent(static_cast<std::int32_t>(m_count - 1));
    return m_storage + static_cast<std::size_t>(oldCount) * static_cast<std::size_t>(m_recordSize);
}

void DynaArrayBase::bindCursor(void *cursor)
{
    m_cursor = cursor;
    // The cursor is a writable pointer into the records, like the one Get hands out.
    markChanged();
    if (m_cursor)
        m_bind(m_cursor, m_current);
}

void DynaArrayBase::Delete(std::int32_t index)
{
    if (index < 0 || static_cast<std::uint32_t>(index) >= m_count)
        return;
    const std::size_t size = static_cast<std::size_t>(m_recordSize);
    unsigned char *slot = m_storage + static_cast<std::size_t>(index) * size;
    std::memmove(slot, slot + size, (m_count - 1 - static_cast<std::uint32_t>(index)) * size);
    --m_count;
    if (m_count == 0) {
        std::free(m_storage);
        m_storage = nullptr;
        m_allocated = 0;
    } else {
        const std::int64_t needed = neededBytes(m_count);
        if (needed != m_allocated) {
            unsigned char *block = nullptr;
            if (g_allocator == &defaultAllocator) {
                // Shrinking in place: copying the whole store into a smaller block every hundred
                // records made deleting many records from the end of a large list quadratic.
                block = static_cast<unsigned char *>(
                    std::realloc(m_storage, static_cast<std::size_t>(needed)));
            } else {
                block = static_cast<unsigned char *>(allocateBlock(needed));
                if (!block)
                    block = static_cast<unsigned char *>(allocateBlock(needed));
                if (block) {
                    std::memcpy(block, m_storage, static_cast<std::size_t>(needed));
                    std::free(m_storage);
                }
            }
            if (block) {
                m_storage = block;
                m_allocated = static_cast<std::int32_t>(needed);
            } else {
                // The old, larger block still holds every record, so the store stays usable.
                reportAllocationFailure(needed);
            }
        }
    }
    clearCurrent();
}

void DynaArrayBase::Clear()
{
    std::free(m_storage);
    m_storage = nullptr;
    m_count = 0;
    m_allocated = 0;
    clearCurrent();
}

void DynaArrayBase::Swap(std::int32_t a, std::int32_t b)
{
    if (a < 0 || b < 0 || static_cast<std::uint32_t>(a) >= m_count
        || static_cast<std::uint32_t>(b) >= m_count)
        return;
    const std::size_t size = static_cast<std::size_t>(m_recordSize);
    std::vector<unsigned char> temp(size);
    unsigned char *ra = m_storage + static_cast<std::size_t>(a) * size;
    unsigned char *rb = m_storage + static_cast<std::size_t>(b) * size;
    std::memcpy(temp.data(), ra, size);
    std::memmove(ra, rb, size);
    std::memcpy(rb, temp.data(), size);
    makeCurrent(b);
}

void DynaArrayBase::First()
{
    if (m_count == 0)
        return;
    makeCurrent(0);
}

bool DynaArrayBase::Next()
{
    if (m_count == 0 || m_currentIndex < 0 || static_cast<std::uint32_t>(m_currentIndex) >= m_count)
        return false;
    makeCurrent(m_currentIndex);
    ++m_currentIndex;
    return true;
}
