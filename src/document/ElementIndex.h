#pragma once

#include "document/ElementList.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A rectangle in picture coordinates, bounds included.
struct TBoxD
{
    double left;
    double top;
    double right;
    double bottom;
};

// The rectangle an element's geometry stays in: its defining points (a curve stays within their
// hull, an ellipse within the rectangle of its two points) and, for an element that closes its
// chain, the Start of the chain's first element, where the closing line ends.
TBoxD elementBox(const TElementList &list, std::int32_t index);

// One place where records of the list were replaced: `removed` records from `offset` on, in the
// list as it stood before the change, gave way to `inserted` new ones. Appending is a
// replacement at the end that removes nothing; deleting scattered records is one replacement
// per run of them.
struct ElementReplacement
{
    std::int32_t offset;
    std::int32_t removed;
    std::int32_t inserted;
};

// Which elements lie near a place, without walking the whole list: a uniform grid over the
// picture whose cells name the elements whose boxes meet them. Painting, snapping, node selection
// and the area tools ask it for the few elements that can matter and test only those exactly.
//
// The index follows its list by the store's version: a query finds out by itself when the list
// changed in any way and builds the grid afresh, so no change can be missed. A caller that knows
// what it changed tells the index instead (changed() for records changed in place, replaced() for
// records added, removed or replaced), and the grid is patched: with a million elements a rebuild
// reads the whole list, a patch only the records concerned and the grid's own names.
class ElementIndex
{
public:
    // The elements whose boxes meet `box`, ascending, each once. It may name a few more (the
    // caller tests exactly); it never leaves one out. The vector stays valid until the next call.
    const std::vector<std::int32_t> &query(const TElementList &list, const TBoxD &box);

    // The caller changed, since the store stood at `versionBefore`, only the records named in
    // `changed`, in place. When the index was current at that version, it takes the new boxes of
    // those records and is current again; otherwise it stays behind and the next query rebuilds.
    void changed(const TElementList &list, std::uint64_t versionBefore,
        const std::vector<std::int32_t> &changed);

    // The caller changed, since the store stood at `versionBefore`, only the records that
    // `replacements` (ascending, not overlapping) name; the records between them kept their
    // drawing, whatever their selection flags. When the index was current at that version, it
    // renumbers its names, takes the boxes of the new records and of the closing elements whose
    // chain start may have moved, and is current again; otherwise the next query rebuilds.
    void replaced(const TElementList &list, std::uint64_t versionBefore,
        const std::vector<ElementReplacement> &replacements);

    // Whether the index describes the list as it stands, so a query will not rebuild.
    bool current(const TElementList &list) const;

    // Builds the grid for the list as it stands.
    void rebuild(const TElementList &list);

    // Memory held, in bytes.
    std::size_t bytes() const;

private:
    struct Loose
    {
        std::int32_t index;
        TBoxD box;
    };
    struct CellRange
    {
        std::int32_t x0, y0, x1, y1;
    };

    bool cellRange(const TBoxD &box, CellRange &range) const;
    // Whether an element with this box goes into the grid, and into which cells; otherwise it is
    // one of the wide ones.
    bool gridded(const TBoxD &box, CellRange &range) const;
    std::size_t cellIndex(std::int32_t x, std::int32_t y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_columns)
            + static_cast<std::size_t>(x);
    }
    bool stale(std::int32_t index) const
    {
        return !m_loose.empty() && m_looseSlot[static_cast<std::size_t>(index)] >= 0;
    }
    void chooseGrid(const TElementList &list);
    void fillGrid(const TElementList &list);
    void collectAll(std::int32_t count);
    void loosen(const TElementList &list, std::int32_t index);
    void renumber(const std::vector<ElementReplacement> &replacements, std::int32_t newCount);
    // Merges the loose boxes, and `fresh` ones of elements that have no names in the grid, into
    // the grid.
    void mergeLoose(const std::vector<Loose> &fresh);
    void caughtUp(const TElementList &list);

    const TElementList *m_list = nullptr;
    std::uint64_t m_version = 0;
    std::int32_t m_count = 0;
    // The number of elements when the grid's cells were last sized to the drawing.
    std::int32_t m_builtCount = 0;

    // The grid: cell (x, y) covers [left + x * cell, left + (x + 1) * cell) and so on; the
    // outer cells also take everything beyond. Cell c names m_items[m_cellStart[c]] up to
    // m_items[m_cellStart[c + 1]].
    double m_left = 0;
    double m_top = 0;
    double m_cell = 1;
    std::int32_t m_columns = 0;
    std::int32_t m_rows = 0;
    std::vector<std::uint32_t> m_cellStart;
    std::vector<std::int32_t> m_items;
    // Elements that would cover too many cells, or whose box is not finite: named by every query.
    std::vector<std::int32_t> m_wide;
    // Elements changed or added since the grid was built: their grid entries, if any, are stale
    // and are skipped; their boxes now are kept here and tested one by one, until there are so
    // many that they are merged into the grid. m_looseSlot[i] is i's place in m_loose, or -1.
    std::vector<Loose> m_loose;
    std::vector<std::int32_t> m_looseSlot;

    std::vector<std::int32_t> m_result;
    std::vector<std::uint8_t> m_marks;
    // Working memory of renumber() and mergeLoose(), kept: with a million elements, fresh
    // memory for them cost more in page faults than the work done in it.
    std::vector<std::int32_t> m_renamed;
    std::vector<std::uint32_t> m_added;
};

// The elements a caller has to look at for a box, ascending: those the index names, or every
// element of the list when there is no index.
class NearElements
{
public:
    NearElements(ElementIndex *index, const TElementList &list, const TBoxD &box)
        : m_count(static_cast<std::int32_t>(list.Count()))
        , m_named(index ? &index->query(list, box) : nullptr)
    {
    }

    std::int32_t size() const
    {
        return m_named ? static_cast<std::int32_t>(m_named->size()) : m_count;
    }
    std::int32_t operator[](std::int32_t k) const
    {
        return m_named ? (*m_named)[static_cast<std::size_t>(k)] : k;
    }

private:
    std::int32_t m_count;
    const std::vector<std::int32_t> *m_named;
};
