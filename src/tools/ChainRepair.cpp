#include "tools/ChainRepair.h"

#include <vector>

namespace {

bool isSelected(const TDrawElement &e)
{
    return e.SelStart || e.SelEnd || e.SelCtrl1 || e.SelCtrl2;
}

} // namespace

std::int32_t deleteSelectedElements(TElementList &list, std::vector<ElementReplacement> *runs)
{
    if (runs)
        runs->clear();
    const auto count = static_cast<std::int32_t>(list.Count());
    if (count == 0)
        return 0;
    // The records are packed in one block, and nothing below grows or shrinks the list until
    // the survivors are in place.
    TDrawElement *records = list.Get(0);

    // For every kept element, the next kept element after it (count when there is none), so
    // that the walks below see the list as it would be with the later deletions already done.
    std::vector<std::int32_t> nextKept(static_cast<std::size_t>(count), count);
    enum Fate : char { Kept, Written, Gone };
    std::vector<char> fate(static_cast<std::size_t>(count), Kept);
    std::int32_t firstKeptAbove = count;
    std::int32_t deleted = 0;

    for (std::int32_t i = count - 1; i >= 0; --i) {
        const TDrawElement &e = records[i];
        if (!isSelected(e)) {
            nextKept[static_cast<std::size_t>(i)] = firstKeptAbove;
            firstKeptAbove = i;
            continue;
        }
        const TPointD start = e.Start;
        const std::int32_t chainPos = e.ChainPos;
        for (std::int32_t j = firstKeptAbove; j < count && records[j].ChainPos != 0;
             j = nextKept[static_cast<std::size_t>(j)]) {
            if (chainPos == 0)
                records[j].ClosesChain = 0;
            --records[j].ChainPos;
            fate[static_cast<std::size_t>(j)] = Written;
        }
        // The element stretched here is the first of those just lowered, so already Written.
        if (chainPos > 0 && firstKeptAbove < count && records[firstKeptAbove].ChainPos != 0)
            records[firstKeptAbove].Start = start;
        fate[static_cast<std::size_t>(i)] = Gone;
        ++deleted;
    }
    if (deleted == 0)
        return 0;

    std::int32_t kept = 0;
    bool inRun = false;
    for (std::int32_t i = 0; i < count; ++i) {
        const char f = fate[static_cast<std::size_t>(i)];
        if (runs && f != Kept) {
            if (!inRun)
                runs->push_back({ i, 0, 0 });
            ++runs->back().removed;
            runs->back().inserted += f == Written ? 1 : 0;
        }
        inRun = f != Kept;
        if (f == Gone)
            continue;
        if (kept != i)
            records[kept] = records[i];
        ++kept;
    }
    // Removing from the end moves no records; the store only shrinks its block now and then.
    for (std::int32_t i = count - 1; i >= kept; --i)
        list.Delete(i);
    return deleted;
}
