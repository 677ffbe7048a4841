#pragma once

#include "base/DynaArray.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// One entry of the translation index: a source text and the record that holds it.
struct TIndexEntry
{
    const char *text; // zero-terminated copy owned by the index
    std::int32_t length;
    std::int32_t recNo;
};

// The in-memory index of the translation table: 256 buckets chosen by the first byte of a
// source text. Buckets are sorted once after the table has been read; texts added later stand
// at the end of their bucket, and a lookup scans its bucket in order and takes the first match.
class TranslationIndex
{
public:
    TranslationIndex();
    TranslationIndex(const TranslationIndex &) = delete;
    TranslationIndex &operator=(const TranslationIndex &) = delete;

    void clear();
    // Appends an entry to the end of the bucket of the text's first byte. Empty texts are not
    // indexed. Returns false when the bucket could not grow.
    bool add(const QByteArray &text, std::int32_t recNo);
    // Record number of the first entry holding exactly this text, or 0.
    std::int32_t find(const QByteArray &text) const;

    // Sorts the entries first..last of one bucket in ascending byte order (unsigned bytes, a
    // prefix before its extensions).
    void sortBucket(int bucket, std::int32_t first, std::int32_t last);
    void sortAll();

    TDynaArray<TIndexEntry> &bucket(int b) { return *m_buckets[static_cast<std::size_t>(b)]; }
    QByteArray textAt(int b, std::int32_t i) const;
    std::int32_t bucketSize(int b) const
    {
        return static_cast<std::int32_t>(m_buckets[static_cast<std::size_t>(b)]->Count());
    }
    std::size_t entryCount() const;

    // Byte-wise comparison used by the sort: negative, zero or positive.
    static int compare(const char *a, std::int32_t aLength, const char *b, std::int32_t bLength);

private:
    TIndexEntry *m_cursor = nullptr;
    std::array<std::unique_ptr<TDynaArray<TIndexEntry>>, 256> m_buckets;
    std::vector<std::unique_ptr<char[]>> m_texts;
};
