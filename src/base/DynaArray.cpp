#include "base/DynaArray.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__linux__)
#    include <sys/mman.h>
#endif

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

#if defined(__linux__)
// Stores from this size on get address space of their own, as much as the largest store can
// ever take, and grow and shrink in place within it: no record ever moves and the pages are
// backed by huge pages. Through the heap, a large store was copied or its pages were moved at
// every growth (advising part of a heap block for huge pages splits it, after which the heap
// can no longer remap it and copies it whole).
constexpr std::int64_t MapFrom = std::int64_t { 4 } << 20;
constexpr std::size_t HugePage = std::size_t { 2 } << 20;
constexpr std::size_t Reserved = std::size_t { 1 } << 31; // above INT32_MAX bytes
constexpr std::size_t PageSize = 4096;

std::size_t mappedLength(std::int64_t bytes)
{
    return (static_cast<std::size_t>(bytes) + PageSize - 1) & ~(PageSize - 1);
}

// Reserves the address space, aligned to a huge page, with nothing yet usable in it.
unsigned char *reserveAddressSpace()
{
    void *raw = ::mmap(nullptr, Reserved + HugePage, PROT_NONE,
        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + HugePage - 1) & ~(std::uintptr_t { HugePage } - 1);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (aligned + Reserved < start + Reserved + HugePage)
        ::munmap(reinterpret_cast<void *>(aligned + Reserved), start + HugePage - aligned);
    auto *base = reinterpret_cast<unsigned char *>(aligned);
    ::madvise(base, Reserved, MADV_HUGEPAGE);
    return base;
}
#endif

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
    releaseStorage();
}

void DynaArrayBase::releaseStorage()
{
#if defined(__linux__)
    if (m_mapped) {
        ::munmap(m_storage, Reserved);
        m_mapped = false;
        m_usable = 0;
        m_storage = nullptr;
        return;
    }
#endif
    std::free(m_storage);
    m_storage = nullptr;
}

unsigned char *DynaArrayBase::resizeBlock(std::int64_t bytes)
{
    if (bytes > INT32_MAX)
        return nullptr;
#if defined(__linux__)
    // Where the address space cannot be had (a 32-bit process), the heap holds the store.
    unsigned char *base = !m_mapped && bytes >= MapFrom && bytes > m_allocated
        ? reserveAddressSpace()
        : nullptr;
    if (base) {
        if (::mprotect(base, mappedLength(bytes), PROT_READ | PROT_WRITE) != 0) {
            ::munmap(base, Reserved);
            return nullptr;
        }
        if (m_storage)
            std::memcpy(base, m_storage, static_cast<std::size_t>(m_allocated));
        std::free(m_storage);
        m_storage = base;
        m_mapped = true;
        m_usable = mappedLength(bytes);
        return base;
    }
    if (m_mapped) {
        const std::size_t wants = mappedLength(bytes);
        if (wants > m_usable) {
            if (::mprotect(m_storage + m_usable, wants - m_usable, PROT_READ | PROT_WRITE) != 0)
                return nullptr;
            m_usable = wants;
        }
        // Up to a quarter beyond what the records need stays in use. Only once twice that
        // and some huge pages more lie unused are the pages beyond it freed (they come back
        // zeroed), from a huge page boundary on: a store shrinking record by record would
        // otherwise split and free a page at every step.
        const std::size_t slack = std::min(wants / 4, std::size_t { 64 } << 20);
        if (m_usable > wants + 2 * slack + 2 * HugePage) {
            const std::size_t from = (wants + slack + HugePage - 1) & ~(HugePage - 1);
            ::madvise(m_storage + from, m_usable - from, MADV_DONTNEED);
            ::mprotect(m_storage + from, m_usable - from, PROT_NONE);
            m_usable = from;
        }
        return m_storage;
    }
#endif
    return static_cast<unsigned char *>(std::realloc(m_storage, static_cast<std::size_t>(bytes)));
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
    if (g_allocator == &defaultAllocator) {
        // Growing in place (or by remapping pages, for large blocks) keeps appending linear;
        // copying the whole store every hundred records made a large drawing quadratic.
        const bool wasMapped = m_mapped;
        const auto usableBefore = static_cast<std::int64_t>(m_usable);
        block = resizeBlock(needed);
        std::int64_t dirtyEnd = needed;
        // A fresh mapping and the pages a mapping gains come zeroed; only those it kept in use
        // may hold bytes of records given back before.
        if (m_mapped)
            dirtyEnd = wasMapped ? std::min(needed, usableBefore) : m_allocated;
        if (block && dirtyEnd > m_allocated)
            std::memset(block + m_allocated, 0, static_cast<std::size_t>(dirtyEnd - m_allocated));
    } else {
        // A fresh block from the allocator is zero already.
        block = static_cast<unsigned char *>(allocateBlock(needed));
        if (block && m_storage) {
            std::memcpy(block, m_storage, static_cast<std::size_t>(m_allocated));
            releaseStorage();
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
    // Growing once to the final size: record by record, a store kept on the heap may be copied
    // at every growth, which makes reading a large project quadratic.
    unsigned char *first = appendBlank(count);
    if (!first)
        return false;
    std::memcpy(first, records, static_cast<std::size_t>(count) * static_cast<std::size_t>(m_recordSize));
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
    if (needed != m_allocated && !growTo(needed))
        return nullptr;
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
    shrinkToCount();
    clearCurrent();
}

void DynaArrayBase::Truncate(std::uint32_t count)
{
    if (count >= m_count)
        return;
    m_count = count;
    shrinkToCount();
    clearCurrent();
}

void DynaArrayBase::shrinkToCount()
{
    if (m_count == 0) {
        releaseStorage();
        m_allocated = 0;
        return;
    }
    const std::int64_t needed = neededBytes(m_count);
    if (needed == m_allocated)
        return;
    unsigned char *block = nullptr;
    if (g_allocator == &defaultAllocator) {
        // Shrinking in place: copying the whole store into a smaller block every hundred records
        // made deleting many records from the end of a large list quadratic.
        block = resizeBlock(needed);
    } else {
        // A smaller block is asked for twice before the store keeps the larger one.
        block = static_cast<unsigned char *>(allocateBlock(needed));
        if (!block)
            block = static_cast<unsigned char *>(allocateBlock(needed));
        if (block) {
            std::memcpy(block, m_storage, static_cast<std::size_t>(needed));
            releaseStorage();
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

void DynaArrayBase::Clear()
{
    releaseStorage();
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
