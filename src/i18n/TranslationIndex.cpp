#include "i18n/TranslationIndex.h"

#include <algorithm>
#include <cstring>

TranslationIndex::TranslationIndex()
{
    clear();
}

void TranslationIndex::clear()
{
    for (auto &b : m_buckets)
        b = std::make_unique<TDynaArray<TIndexEntry>>(&m_cursor);
    m_texts.clear();
    m_cursor = nullptr;
}

bool TranslationIndex::add(const QByteArray &text, std::int32_t recNo)
{
    if (text.isEmpty())
        return false;
    auto copy = std::make_unique<char[]>(static_cast<std::size_t>(text.size()) + 1);
    std::memcpy(copy.get(), text.constData(), static_cast<std::size_t>(text.size()) + 1);
    TIndexEntry *entry = bucket(static_cast<unsigned char>(text[0])).Append();
    if (!entry)
        return false;
    *entry = TIndexEntry { copy.get(), static_cast<std::int32_t>(text.size()), recNo };
    m_texts.push_back(std::move(copy));
    return true;
}

std::int32_t TranslationIndex::find(const QByteArray &text) const
{
    if (text.isEmpty())
        return 0;
    const auto &b = *m_buckets[static_cast<unsigned char>(text[0])];
    const auto n = static_cast<std::int32_t>(b.Count());
    for (std::int32_t i = 0; i < n; ++i) {
        const TIndexEntry &e = b.at(i);
        if (e.length == text.size() && std::memcmp(e.text, text.constData(), e.length) == 0)
            return e.recNo;
    }
    return 0;
}

int TranslationIndex::compare(
    const char *a, std::int32_t aLength, const char *b, std::int32_t bLength)
{
    const int common = std::memcmp(a, b, static_cast<std::size_t>(std::min(aLength, bLength)));
    if (common != 0)
        return common;
    return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

void TranslationIndex::sortBucket(int b, std::int32_t first, std::int32_t last)
{
    TDynaArray<TIndexEntry> &store = bucket(b);
    std::int32_t i = first;
    std::int32_t j = last;
    // The pivot is copied because the swaps below move the entry it came from.
    const QByteArray pivot = textAt(b, (first + last) / 2);
    auto less = [&](std::int32_t k) {
        const TIndexEntry &e = store.at(k);
        return compare(e.text, e.length, pivot.constData(), pivot.size()) < 0;
    };
    auto greater = [&](std::int32_t k) {
        const TIndexEntry &e = store.at(k);
        return compare(e.text, e.length, pivot.constData(), pivot.size()) > 0;
    };
    do {
        while (less(i))
            ++i;
        while (greater(j))
            --j;
        if (i <= j) {
            store.Swap(i, j);
            ++i;
            --j;
        }
    } while (i <= j);
    if (first < j)
        sortBucket(b, first, j);
    if (i < last)
        sortBucket(b, i, last);
}

void TranslationIndex::sortAll()
{
    for (int b = 0; b < 256; ++b) {
        const auto n = static_cast<std::int32_t>(bucket(b).Count());
        if (n > 0)
            sortBucket(b, 0, n - 1);
    }
}

QByteArray TranslationIndex::textAt(int b, std::int32_t i) const
{
    const TIndexEntry &e = m_buckets[static_cast<std::size_t>(b)]->at(i);
    return QByteArray(e.text, e.length);
}

std::size_t TranslationIndex::entryCount() const
{
    std::size_t n = 0;
    for (const auto &b : m_buckets)
        n += b->Count();
    return n;
}
