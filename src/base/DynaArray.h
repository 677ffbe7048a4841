#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>

// A growable array of fixed-size records, stored packed in one block that grows and shrinks
// in whole blocks of GrowBlock records. The store keeps a caller-owned pointer (the bound
// cursor) equal to its current record, so callers walk it with First/Next and read the
// record through their own pointer without copying.
class DynaArrayBase
{
public:
    // Called with the message text when a storage block cannot be allocated.
    using AllocationFailureHandler = std::function<void(const std::string &message)>;
    // Allocates a zero-filled block; tests replace it to simulate exhaustion.
    using BlockAllocator = void *(*)(std::size_t bytes);

    static constexpr std::int32_t GrowBlock = 100;

    DynaArrayBase(const DynaArrayBase &) = delete;
    DynaArrayBase &operator=(const DynaArrayBase &) = delete;

    std::uint32_t Count() const { return m_count; }
    std::int32_t currentIndex() const { return m_currentIndex; }
    std::int32_t allocatedBytes() const { return m_allocated; }
    std::int32_t recordSize() const { return m_recordSize; }

    // Changes whenever the records may have changed: every call that adds, removes or swaps
    // records or hands out a writable pointer to one (Get, First, Next) takes a new value,
    // unique among all stores. Caches of what the records hold compare it to tell whether they
    // are still current; a caller that writes through a pointer it kept calls markChanged().
    std::uint64_t version() const { return m_version; }
    void markChanged();

    void Delete(std::int32_t index);
    // Removes the records from `count` on, as deleting them one by one from the end would, but
    // shrinks the block once. Nothing happens when `count` is not below Count().
    void Truncate(std::uint32_t count);
    void Clear();
    void Swap(std::int32_t a, std::int32_t b);
    void First();
    bool Next();

    // The message shown when allocation fails; the UI installs a handler that shows it in
    // an error box. Without a handler the message goes to stderr.
    static void setAllocationFailureHandler(AllocationFailureHandler handler);
    static void setBlockAllocator(BlockAllocator allocator);
    static std::string allocationFailureMessage(std::int64_t bytes);

protected:
    using BindFn = void (*)(void *cursor, unsigned char *record);

    DynaArrayBase(std::int32_t recordSize, void *cursor, BindFn bind);
    ~DynaArrayBase();

    unsigned char *getRecord(std::int32_t index);
    unsigned char *appendRecord();
    bool appendRecords(const void *records, std::uint32_t count);
    unsigned char *appendBlank(std::uint32_t count);
    void bindCursor(void *cursor);
    const unsigned char *recordAt(std::int32_t index) const
    {
        return m_storage + static_cast<std::size_t>(index) * static_cast<std::size_t>(m_recordSize);
    }

private:
    std::int64_t neededBytes(std::uint32_t count) const;
    // Grows (or first allocates) the storage to `needed` bytes, zeroing what is new; reports the
    // failure and changes nothing when that is not possible.
    bool growTo(std::int64_t needed);
    // Shrinks the block to hold m_count records; when that fails the larger block stays.
    void shrinkToCount();
    // Resizes the block with the default allocator, keeping the records it holds (bytes beyond
    // the old size are not zeroed); null when that is not possible, the block then unchanged.
    unsigned char *resizeBlock(std::int64_t bytes);
    void releaseStorage();
    void makeCurrent(std::int32_t index);
    void clearCurrent();
    static void *allocateBlock(std::int64_t bytes);

    void *m_cursor;
    BindFn m_bind;
    unsigned char *m_current = nullptr;
    unsigned char *m_storage = nullptr;
    std::uint32_t m_count = 0;
    std::int32_t m_currentIndex = -1;
    std::int32_t m_allocated = 0;
    std::int32_t m_recordSize;
    // Whether the block is a mapping of its own (large stores) rather than from the heap, and
    // how much of it is usable: a shrinking store keeps some pages beyond its records, so that
    // growing back (undo of an area delete) does not fault them in afresh.
    bool m_mapped = false;
    std::size_t m_usable = 0;
    std::uint64_t m_version = 0;
};

// The typed store. T must be a plain record that owns nothing: records are moved with memcpy.
template <typename T> class TDynaArray : public DynaArrayBase
{
    static_assert(std::is_trivially_copyable_v<T>, "records are moved as raw bytes");

public:
    // The bound cursor may be null; it is remembered, not written, until a record becomes current.
    explicit TDynaArray(T **boundCursor = nullptr)
        : DynaArrayBase(static_cast<std::int32_t>(sizeof(T)), boundCursor, &bind)
    {
    }

    // Makes the record at index current and returns it. 0 <= index < Count() is the caller's duty.
    T *Get(std::int32_t index) { return reinterpret_cast<T *>(getRecord(index)); }

    // Adds a record at the end and makes it current. Its bytes are those last stored in the slot
    // (zero in fresh storage). Returns null when the storage could not grow; the store is then
    // unchanged.
    T *Append() { return reinterpret_cast<T *>(appendRecord()); }

    // Adds `count` records at the end with one growth of the store and makes the last current,
    // as appending them one by one would.
    // Returns false when the storage could not grow; the store is then unchanged.
    bool AppendAll(const T *records, std::uint32_t count) { return appendRecords(records, count); }

    // Adds `count` (at least 1) records at the end with one growth of the store and returns the
    // first, for a caller that fills them in place, such as a reader that reads a file straight
    // into the store. Their bytes are those last stored in the slots (zero in fresh storage), as
    // with Append, and the last becomes current. Returns null when the storage could not grow;
    // the store is then unchanged and the failure has been reported.
    T *AppendRecords(std::uint32_t count) { return reinterpret_cast<T *>(appendBlank(count)); }

    // Binds `cursor` in place of the one given at construction and points it at the current
    // record, or at null when there is none, so a store filled elsewhere can become the
    // document's.
    void BindCursor(T **cursor) { bindCursor(cursor); }

    // Read access that leaves the current record alone.
    const T &at(std::int32_t index) const { return *reinterpret_cast<const T *>(recordAt(index)); }

private:
    static void bind(void *cursor, unsigned char *record)
    {
        *static_cast<T **>(cursor) = reinterpret_cast<T *>(record);
    }
};
