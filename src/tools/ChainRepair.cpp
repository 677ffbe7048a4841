#include "tools/ChainRepair.h"

namespace {

bool isSelected(const TDrawElement &e)
{
    return e.SelStart || e.SelEnd || e.SelCtrl1 || e.SelCtrl2;
}

} // namespace

std::int32_t deleteSelectedElements(TElementList &list, std::vector<ElementReplacement> *runs)
{
    std::vector<std::int32_t> selected;
    const auto count = static_cast<std::int32_t>(list.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        if (isSelected(list.at(i)))
            selected.push_back(i);
    }
    return deleteElements(list, selected, runs);
}

std::int32_t deleteElements(TElementList &list, const std::vector<std::int32_t> &selected,
    std::vector<ElementReplacement> *runs)
{
    if (runs)
        runs->clear();
    const auto count = static_cast<std::int32_t>(list.Count());
    if (selected.empty())
        return 0;
    // The records are packed in one block, and nothing below grows or shrinks the list until
    // the survivors are in place.
    TDrawElement *records = list.Get(0);

    // Every record to delete is marked gone at once, so that the walks below, which only look
    // at the records after the one being deleted, see the list as it would be with the later
    // deletions already done.
    enum Fate : char { Kept, Written, Gone };
    std::vector<char> fate(static_cast<std::size_t>(count), Kept);
    for (const std::int32_t i : selected)
        fate[static_cast<std::size_t>(i)] = Gone;
    const auto nextKept = [&](std::int32_t j) {
        do
            ++j;
        while (j < count && fate[static_cast<std::size_t>(j)] == Gone);
        return j;
    };

    std::int32_t firstKeptAbove = count;
    for (auto s = selected.size(); s-- > 0;) {
        const std::int32_t i = selected[s];
        // The next deleted record, when it follows right behind, had the same kept one after it.
        if (s + 1 == selected.size() || selected[s + 1] != i + 1)
            firstKeptAbove = nextKept(i);
        const TPointD start = records[i].Start;
        const std::int32_t chainPos = records[i].ChainPos;
        for (std::int32_t j = firstKeptAbove; j < count && records[j].ChainPos != 0;
             j = nextKept(j)) {
            if (chainPos == 0)
                records[j].ClosesChain = 0;
            --records[j].ChainPos;
            fate[static_cast<std::size_t>(j)] = Written;
        }
        // The element stretched here is the first of those just lowered, so already Written.
        if (chainPos > 0 && firstKeptAbove < count && records[firstKeptAbove].ChainPos != 0)
            records[firstKeptAbove].Start = start;
    }

    // Only the records from the first deleted one on move, and only they can have changed.
    std::int32_t kept = selected.front();
    bool inRun = false;
    for (std::int32_t i = kept; i < count; ++i) {
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
    // Removing from the end moves no records; the store shrinks its block once.
    list.Truncate(static_cast<std::uint32_t>(kept));
    return static_cast<std::int32_t>(selected.size());
}
