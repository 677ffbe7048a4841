#include "document/ElementRuns.h"

#include <cstring>

namespace {

// What the repair of a chain leaves of an element: everything but its Start, chain position,
// closing flag and editing state.
bool sameGeometry(const TDrawElement &a, const TDrawElement &b)
{
    return a.Kind == b.Kind
        && std::memcmp(
               &a.End, &b.End, offsetof(TDrawElement, DragStart) - offsetof(TDrawElement, End))
        == 0;
}

void move(TDrawElement *records, std::int64_t to, std::int64_t from, std::int64_t count)
{
    if (count > 0 && to != from)
        std::memmove(
            records + to, records + from, static_cast<std::size_t>(count) * sizeof(TDrawElement));
}

} // namespace

bool findRemovalRuns(const ElementSnapshot &was, const TElementList &now,
    std::int32_t prefix, std::int32_t oldLen, std::int32_t newLen, std::size_t mostRecords,
    std::vector<ElementReplacement> &runs, std::vector<TDrawElement> &before,
    std::vector<TDrawElement> &after)
{
    runs.clear();
    before.clear();
    after.clear();
    // At least the removed records are kept; growing the vectors by copying them again and
    // again would cost more than the pass itself.
    before.reserve(static_cast<std::size_t>(oldLen - newLen) * 5 / 4);
    after.reserve(static_cast<std::size_t>(oldLen - newLen) / 4);
    const std::int32_t wasEnd = prefix + oldLen;
    const std::int32_t nowEnd = prefix + newLen;
    std::int32_t i = prefix;
    std::int32_t j = prefix;
    bool open = false;
    ElementSnapshot::Reader reader(was, prefix);
    while (j < nowEnd) {
        if (i == wasEnd)
            return false;
        const TDrawElement &o = reader.next();
        const TDrawElement &n = now.at(j);
        if (sameRecord(o, n)) {
            ++i;
            ++j;
            open = false;
            continue;
        }
        if (!open)
            runs.push_back({ i, 0, 0 });
        open = true;
        ++runs.back().removed;
        before.push_back(o);
        ++i;
        if (sameGeometry(o, n)) {
            ++runs.back().inserted;
            after.push_back(n);
            ++j;
        }
        if (before.size() + after.size() > mostRecords)
            return false;
    }
    if (i < wasEnd) {
        if (!open)
            runs.push_back({ i, 0, 0 });
        runs.back().removed += wasEnd - i;
        for (; i < wasEnd; ++i)
            before.push_back(reader.next());
    }
    return before.size() + after.size() <= mostRecords;
}

std::int32_t applyRunsForward(TDrawElement *records, std::int32_t count,
    const std::vector<ElementReplacement> &runs, const TDrawElement *after)
{
    // Every run ends at or before where it began in the older list, so the records between the
    // runs only ever move down and nothing is overwritten before it has been moved.
    std::int64_t read = 0;
    std::int64_t write = 0;
    for (const ElementReplacement &r : runs) {
        move(records, write, read, r.offset - read);
        write += r.offset - read;
        if (r.inserted > 0)
            std::memcpy(records + write, after,
                static_cast<std::size_t>(r.inserted) * sizeof(TDrawElement));
        after += r.inserted;
        write += r.inserted;
        read = std::int64_t { r.offset } + r.removed;
    }
    move(records, write, read, count - read);
    return static_cast<std::int32_t>(write + (count - read));
}

std::int32_t applyRunsBack(TDrawElement *records, std::int32_t count,
    const std::vector<ElementReplacement> &runs, const TDrawElement *before)
{
    // The same walk from the end: the records between the runs only move up.
    const std::int64_t oldCount = count + recordsLost(runs);
    std::int64_t shift = -recordsLost(runs); // where the older list's records now stand
    std::int64_t read = count;
    std::int64_t write = oldCount;
    std::size_t beforeEnd = 0;
    for (const ElementReplacement &r : runs)
        beforeEnd += static_cast<std::size_t>(r.removed);
    for (auto k = runs.size(); k-- > 0;) {
        const ElementReplacement &r = runs[k];
        shift -= r.inserted - r.removed;
        const std::int64_t runEnd = r.offset + shift + r.inserted; // in the newer list
        const std::int64_t tail = read - runEnd;
        write -= tail;
        move(records, write, runEnd, tail);
        write -= r.removed;
        beforeEnd -= static_cast<std::size_t>(r.removed);
        if (r.removed > 0)
            std::memcpy(records + write, before + beforeEnd,
                static_cast<std::size_t>(r.removed) * sizeof(TDrawElement));
        read = r.offset + shift;
    }
    return static_cast<std::int32_t>(oldCount);
}

std::vector<ElementReplacement> invertedRuns(const std::vector<ElementReplacement> &runs)
{
    std::vector<ElementReplacement> inverted;
    inverted.reserve(runs.size());
    std::int32_t shift = 0;
    for (const ElementReplacement &r : runs) {
        inverted.push_back({ r.offset + shift, r.inserted, r.removed });
        shift += r.inserted - r.removed;
    }
    return inverted;
}

std::int64_t recordsLost(const std::vector<ElementReplacement> &runs)
{
    std::int64_t lost = 0;
    for (const ElementReplacement &r : runs)
        lost += r.removed - r.inserted;
    return lost;
}
