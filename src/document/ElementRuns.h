#pragma once

#include "document/ElementIndex.h"
#include "document/ElementList.h"
#include "document/ElementSnapshot.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Changes of the element list described as runs of replaced records (ElementReplacement:
// `removed` records from `offset` on, in the older list, gave way to `inserted` records), with
// the records of all runs kept one after another. The undo history keeps a change this way and
// moves the records between the runs in one pass, however many runs there are.

// Finds how the records `was[prefix, prefix + oldLen)` became `now[prefix, prefix + newLen)`
// by removals alone, some records left behind them changed in place (as the repair of the
// chains changes the elements after a deleted one): one pass with a pointer into each list. A
// record of `was` whose geometry (kind, End, control points) matches the next record of `now`
// is taken as that record, changed or not; any other is taken as removed. Fails when that does
// not lead to `now` or when the runs would hold more than `mostRecords` records; the caller then
// keeps the whole run. Every run found removes at least as many records as it inserts.
bool findRemovalRuns(const ElementSnapshot &was, const TElementList &now,
    std::int32_t prefix, std::int32_t oldLen, std::int32_t newLen, std::size_t mostRecords,
    std::vector<ElementReplacement> &runs, std::vector<TDrawElement> &before,
    std::vector<TDrawElement> &after);

// Turns the older list `records[0, count)` into the newer one in place and returns its length.
// No run may insert more records than it removes.
std::int32_t applyRunsForward(TDrawElement *records, std::int32_t count,
    const std::vector<ElementReplacement> &runs, const TDrawElement *after);

// Turns the newer list `records[0, count)` into the older one in place, growing it to the
// returned length; `records` has room for it.
std::int32_t applyRunsBack(TDrawElement *records, std::int32_t count,
    const std::vector<ElementReplacement> &runs, const TDrawElement *before);

// The same change seen the other way, from the newer list to the older one.
std::vector<ElementReplacement> invertedRuns(const std::vector<ElementReplacement> &runs);

// How many records the list loses going forward.
std::int64_t recordsLost(const std::vector<ElementReplacement> &runs);
