#pragma once

#include "document/Chain.h"
#include "document/ElementIndex.h"

#include <cstdint>
#include <vector>

// Deletes every element with at least one selection flag set and repairs the chains they
// belonged to, with the result of visiting the elements from the last to the first and, for
// each selected one:
//   1. taking S := its Start;
//   2. if its ChainPos is 0, clearing ClosesChain on the following elements up to the next
//      one with ChainPos 0 (a chain without its first element cannot close back to it);
//   3. lowering ChainPos by 1 on those same following elements;
//   4. if its own ChainPos is above 0 and the element right after it now has a ChainPos other
//      than 0, stretching that element back to start at S (bridging the gap);
//   5. removing it from the list.
// Removing records one by one would move the rest of the list for every deletion, which for
// a large drawing and a large area freezes the editor for seconds. The repair is therefore
// done on records marked as gone, and the survivors are moved down once at the end.
// Returns the number of elements deleted. With `runs`, also tells which records changed, as
// the element index takes it: each run of deleted records and of records the repair wrote to,
// the latter kept.
std::int32_t deleteSelectedElements(
    TElementList &list, std::vector<ElementReplacement> *runs = nullptr);

// The same for the records named in `selected` (ascending, each once), whatever their flags:
// a caller that knows which records it selected spares the walk over every record.
std::int32_t deleteElements(TElementList &list, const std::vector<std::int32_t> &selected,
    std::vector<ElementReplacement> *runs = nullptr);
