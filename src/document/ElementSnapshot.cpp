#include "document/ElementSnapshot.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#    include <sys/mman.h>
#endif

namespace {

constexpr int Words = sizeof(TDrawElement) / 8;
static_assert(sizeof(TDrawElement) % 8 == 0);
static_assert(Words <= 18, "the header names the words in 18 bits");
// The first of the two words of Start.
constexpr int StartWord = offsetof(TDrawElement, Start) / 8;
// Header bit: Start is the End of the record before.
constexpr std::uint32_t JointBit = 1u << 18;
constexpr std::size_t HeaderBytes = 3;
constexpr std::size_t MostRecordBytes = HeaderBytes + sizeof(TDrawElement);
constexpr std::size_t ReadSlack = sizeof(TDrawElement);

// Codes `record` at `out` and returns the bytes written; `previous` is the record before it in
// the same chunk, or null. Every word is written and only those kept are counted, so `out` needs
// room for a whole record beyond what it keeps; without branches per word the coding runs at
// the speed of memory.
std::size_t encode(const TDrawElement &record, const TDrawElement *previous, unsigned char *out)
{
    std::uint64_t w[Words];
    std::memcpy(w, &record, sizeof(TDrawElement));
    std::uint32_t header = 0;
    if (previous && std::memcmp(&record.Start, &previous->End, sizeof(TPointD)) == 0) {
        header |= JointBit;
        w[StartWord] = 0;
        w[StartWord + 1] = 0;
    }
    std::size_t at = HeaderBytes;
    for (int i = 0; i < Words; ++i) {
        const std::uint32_t kept = w[i] != 0;
        header |= kept << i;
        std::memcpy(out + at, &w[i], 8);
        at += kept * 8;
    }
    out[0] = static_cast<unsigned char>(header);
    out[1] = static_cast<unsigned char>(header >> 8);
    out[2] = static_cast<unsigned char>(header >> 16);
    return at;
}

// Reads a record coded at `in` and returns where the next one starts. Reads whole words beyond
// what the record keeps, so the coded bytes need ReadSlack bytes of room after them.
const unsigned char *decode(const unsigned char *in, const TDrawElement *previous, TDrawElement &out)
{
    const std::uint32_t header = in[0] | (std::uint32_t { in[1] } << 8) | (std::uint32_t { in[2] } << 16);
    in += HeaderBytes;
    std::uint64_t w[Words];
    for (int i = 0; i < Words; ++i) {
        const std::uint64_t kept = (header >> i) & 1u;
        std::memcpy(&w[i], in, 8);
        w[i] &= 0 - kept;
        in += kept * 8;
    }
    std::memcpy(&out, w, sizeof(TDrawElement));
    if ((header & JointBit) && previous)
        out.Start = previous->End;
    return in;
}

constexpr std::size_t SlabBytes = std::size_t { 8 } << 20;
static_assert(ElementSnapshot::ChunkRecords * MostRecordBytes <= SlabBytes);

unsigned char *newSlab()
{
#if defined(__linux__)
    void *slab = ::mmap(
        nullptr, SlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (slab == MAP_FAILED)
        throw std::bad_alloc();
    ::madvise(slab, SlabBytes, MADV_HUGEPAGE);
    return static_cast<unsigned char *>(slab);
#else
    return static_cast<unsigned char *>(::operator new(SlabBytes));
#endif
}

void freeSlab(unsigned char *slab)
{
#if defined(__linux__)
    ::munmap(slab, SlabBytes);
#else
    ::operator delete(slab);
#endif
}

} // namespace

ElementSnapshot::~ElementSnapshot()
{
    for (unsigned char *slab : m_slabs)
        freeSlab(slab);
}

unsigned char *ElementSnapshot::place(std::size_t bytes)
{
    const bool full = m_slabUsed + bytes + ReadSlack > SlabBytes;
    if (m_slabs.empty() || (full && m_slab + 1 == m_slabs.size())) {
        // Room first, so that a slab is never lost to a vector that cannot grow.
        m_slabs.reserve(m_slabs.size() + 1);
        m_slabs.push_back(newSlab());
        if (m_slabs.size() == 1)
            m_slab = 0;
    }
    if (full) {
        ++m_slab;
        m_slabUsed = 0;
    }
    unsigned char *at = m_slabs[m_slab] + m_slabUsed;
    m_slabUsed += bytes;
    return at;
}

void ElementSnapshot::assign(const TElementList &list)
{
    // The slabs are filled again from the first: pages in use already cost no faults.
    m_chunks.clear();
    m_bytes = 0;
    m_count = 0;
    m_abandoned = 0;
    m_slab = 0;
    m_slabUsed = 0;
    encodeChunks(list, 0, SIZE_MAX);
    const std::size_t used = m_count > 0 ? m_slab + 1 : 0;
    for (std::size_t k = used; k < m_slabs.size(); ++k)
        freeSlab(m_slabs[k]);
    m_slabs.resize(used);
}

void ElementSnapshot::update(const TElementList &list, std::int32_t from, std::int32_t to)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    from = std::clamp(from, 0, count);
    const auto first = static_cast<std::size_t>(from / ChunkRecords);
    const std::size_t keep = std::min(first, m_chunks.size());
    std::size_t last = m_chunks.size();
    if (count == m_count)
        last = to > from ? static_cast<std::size_t>((std::min(to, count) - 1) / ChunkRecords) + 1 : keep;
    std::size_t dropped = 0;
    for (std::size_t c = keep; c < last; ++c)
        dropped += m_chunks[c].bytes;
    // Once more would lie left behind than stays in use, the slabs are filled afresh, the old
    // ones let go of first.
    if (m_abandoned + dropped > m_bytes - dropped + SlabBytes) {
        assign(list);
        return;
    }
    if (count == m_count) {
        if (last > keep)
            encodeChunks(list, keep, last - 1);
        return;
    }
    for (std::size_t c = keep; c < m_chunks.size(); ++c) {
        m_bytes -= m_chunks[c].bytes;
        m_abandoned += m_chunks[c].bytes;
    }
    m_chunks.resize(keep);
    m_count = static_cast<std::int32_t>(keep) * ChunkRecords;
    encodeChunks(list, keep, SIZE_MAX);
}

void ElementSnapshot::encodeChunks(const TElementList &list, std::size_t first, std::size_t last)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    const auto chunks = static_cast<std::size_t>((count + ChunkRecords - 1) / ChunkRecords);
    last = std::min(last, chunks == 0 ? 0 : chunks - 1);
    if (m_chunks.size() < chunks)
        m_chunks.resize(chunks);
    unsigned char buffer[ChunkRecords * MostRecordBytes + ReadSlack];
    for (std::size_t c = first; c <= last && c < chunks; ++c) {
        const auto begin = static_cast<std::int32_t>(c) * ChunkRecords;
        const std::int32_t end = std::min(begin + ChunkRecords, count);
        std::size_t at = 0;
        const TDrawElement *previous = nullptr;
        for (std::int32_t i = begin; i < end; ++i) {
            const TDrawElement &record = list.at(i);
            at += encode(record, previous, buffer + at);
            previous = &record;
        }
        Chunk &chunk = m_chunks[c];
        m_bytes -= chunk.bytes;
        if (chunk.data && at <= chunk.bytes) {
            // Written over in place; what it no longer needs is left behind.
            m_abandoned += chunk.bytes - at;
            std::memcpy(chunk.data, buffer, at);
        } else {
            m_abandoned += chunk.bytes;
            unsigned char *data = place(at);
            std::memcpy(data, buffer, at);
            chunk.data = data;
        }
        chunk.bytes = static_cast<std::uint32_t>(at);
        m_bytes += at;
    }
    m_count = count;
}

std::int32_t ElementSnapshot::decodeChunk(std::size_t chunk, TDrawElement *out) const
{
    const auto begin = static_cast<std::int32_t>(chunk) * ChunkRecords;
    const std::int32_t records = std::min(ChunkRecords, m_count - begin);
    const unsigned char *in = m_chunks[chunk].data;
    for (std::int32_t k = 0; k < records; ++k)
        in = decode(in, k > 0 ? &out[k - 1] : nullptr, out[k]);
    return records;
}

void ElementSnapshot::read(std::int32_t first, std::int32_t count, TDrawElement *out) const
{
    Reader reader(*this, first);
    for (std::int32_t k = 0; k < count; ++k)
        out[k] = reader.next();
}

std::int32_t ElementSnapshot::commonPrefix(const TElementList &list) const
{
    const std::int32_t most = std::min(m_count, static_cast<std::int32_t>(list.Count()));
    TDrawElement records[ChunkRecords];
    for (std::int32_t begin = 0; begin < most; begin += ChunkRecords) {
        const std::int32_t n = decodeChunk(static_cast<std::size_t>(begin / ChunkRecords), records);
        for (std::int32_t k = 0; k < n; ++k) {
            if (begin + k == most || !sameRecord(records[k], list.at(begin + k)))
                return begin + k;
        }
    }
    return most;
}

std::int32_t ElementSnapshot::commonSuffix(const TElementList &list, std::int32_t most) const
{
    const auto listCount = static_cast<std::int32_t>(list.Count());
    most = std::clamp(most, 0, std::min(m_count, listCount));
    TDrawElement records[ChunkRecords];
    std::int32_t same = 0;
    for (auto chunk = static_cast<std::int32_t>(m_chunks.size()); chunk-- > 0 && same < most;) {
        const std::int32_t n = decodeChunk(static_cast<std::size_t>(chunk), records);
        for (std::int32_t k = n; k-- > 0;) {
            if (same == most || !sameRecord(records[k], list.at(listCount - 1 - same)))
                return same;
            ++same;
        }
    }
    return same;
}

std::size_t ElementSnapshot::bytes() const
{
    return m_bytes + m_abandoned + m_chunks.capacity() * sizeof(Chunk);
}

ElementSnapshot::Reader::Reader(const ElementSnapshot &snapshot, std::int32_t first)
    : m_snapshot(snapshot)
    , m_next(first)
{
}

const TDrawElement &ElementSnapshot::Reader::next()
{
    if (m_chunkFirst < 0 || m_next >= m_chunkFirst + m_chunkCount) {
        m_chunkFirst = m_next / ChunkRecords * ChunkRecords;
        m_chunkCount = m_snapshot.decodeChunk(static_cast<std::size_t>(m_next / ChunkRecords), m_records);
    }
    return m_records[m_next++ - m_chunkFirst];
}
