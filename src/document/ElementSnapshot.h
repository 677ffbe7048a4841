#pragma once

#include "document/ElementList.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The element list as it stood at one moment, kept compactly: the undo history holds one to
// compare the document with, and for a drawing of a million elements a plain copy would cost as
// much memory as the drawing itself.
//
// A record is kept as its eight-byte words that are not zero, after a three-byte header that
// names them; a Start equal to the End of the record before it (the joint of a chain) is not
// kept at all. The records are coded in chunks of ChunkRecords that decode each on its own, so
// that any run of records can be read back without decoding the whole list. Every record comes
// back byte for byte as it was.
class ElementSnapshot
{
public:
    static constexpr std::int32_t ChunkRecords = 64;

    std::int32_t size() const { return m_count; }

    // Takes the list as it stands.
    void assign(const TElementList &list);

    // Takes the list as it stands when only its records in [from, to) can differ from those
    // kept: all of them from `from` on when the number of records changed, otherwise only the
    // chunks that hold [from, to).
    void update(const TElementList &list, std::int32_t from, std::int32_t to);

    // Copies `count` records from `first` on to `out`.
    void read(std::int32_t first, std::int32_t count, TDrawElement *out) const;

    // How many records at the start of the list, and at its end (at most `most`), are byte
    // for byte those kept.
    std::int32_t commonPrefix(const TElementList &list) const;
    std::int32_t commonSuffix(const TElementList &list, std::int32_t most) const;

    // Bytes of the coded records, those left behind included.
    std::size_t bytes() const;

    // Reads the records one after the other from a place on.
    class Reader
    {
    public:
        Reader(const ElementSnapshot &snapshot, std::int32_t first);
        // The next record; valid until the reader moves past its chunk.
        const TDrawElement &next();

    private:
        const ElementSnapshot &m_snapshot;
        std::int32_t m_next;
        std::int32_t m_chunkFirst = -1;
        std::int32_t m_chunkCount = 0;
        TDrawElement m_records[ChunkRecords];
    };

    ElementSnapshot() = default;
    ~ElementSnapshot();
    ElementSnapshot(const ElementSnapshot &) = delete;
    ElementSnapshot &operator=(const ElementSnapshot &) = delete;

private:
    struct Chunk
    {
        unsigned char *data = nullptr;
        std::uint32_t bytes = 0;
    };

    // The coded chunks lie in large slabs backed by huge pages, filled one after the other; a
    // chunk coded anew leaves its old bytes behind until the slabs are filled afresh. Taken
    // from the heap in small pieces, a million elements cost tens of thousands of page faults,
    // which took longer than coding them.
    unsigned char *place(std::size_t bytes);

    // Codes the list's records from chunk `first` on, or only up to chunk `last`.
    void encodeChunks(const TElementList &list, std::size_t first, std::size_t last);
    // Decodes chunk `chunk` into `out` and returns how many records it holds.
    std::int32_t decodeChunk(std::size_t chunk, TDrawElement *out) const;

    std::vector<Chunk> m_chunks;
    std::int32_t m_count = 0;
    // Bytes of the chunks as they are, and bytes left behind in the slabs.
    std::size_t m_bytes = 0;
    std::size_t m_abandoned = 0;
    std::vector<unsigned char *> m_slabs;
    // The slab being filled and how much of it is.
    std::size_t m_slab = 0;
    std::size_t m_slabUsed = 0;
};
