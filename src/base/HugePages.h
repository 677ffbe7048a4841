#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

// Asks the kernel to back the whole 2 MB pages of a large block with huge pages where it would
// otherwise fault it in 4 KB page by page. A block of a hundred megabytes filled afresh then
// costs a few hundred faults instead of tens of thousands, which on virtual machines costs more
// than writing the bytes. Contents and sizes are the same either way; it is only a hint, and a
// block whose pages were already touched keeps them.
void adviseHugePages(void *block, std::size_t bytes);

// An allocator for vectors of many records (the undo history's copy of a large drawing) whose
// blocks of several megabytes are advised as above before they are first written.
template <typename T> struct HugePageAllocator
{
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U> &) noexcept { }

    T *allocate(std::size_t n)
    {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        void *block = ::operator new(n * sizeof(T));
        adviseHugePages(block, n * sizeof(T));
        return static_cast<T *>(block);
    }
    void deallocate(T *block, std::size_t) noexcept { ::operator delete(block); }

    template <typename U> bool operator==(const HugePageAllocator<U> &) const noexcept
    {
        return true;
    }
};
