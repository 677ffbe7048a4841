#include "document/ElementIndex.h"

#include <algorithm>
#include <cmath>

namespace {

// An element that would be entered in more cells than this is named by every query instead: a
// few long lines must not make the grid large.
constexpr std::int64_t MostCellsPerElement = 64;
// Elements with a box of their own beyond the grid are tested one by one by every query; beyond
// this many, merging them into the grid costs less than testing them.
constexpr std::size_t MostLoose = 4096;

bool finite(const TBoxD &b)
{
    return std::isfinite(b.left) && std::isfinite(b.top) && std::isfinite(b.right)
        && std::isfinite(b.bottom);
}

// A box that is not finite meets every other: an element with such a point is always looked at.
bool meets(const TBoxD &a, const TBoxD &b)
{
    return !(a.right < b.left || a.left > b.right || a.bottom < b.top || a.top > b.bottom);
}

} // namespace

bool ElementIndex::current(const TElementList &list) const
{
    return m_list == &list && m_version == list.version()
        && static_cast<std::uint32_t>(m_count) == list.Count();
}

std::size_t ElementIndex::bytes() const
{
    return m_cellStart.capacity() * sizeof(std::uint32_t)
        + (m_items.capacity() + m_wide.capacity() + m_looseSlot.capacity() + m_result.capacity())
        * sizeof(std::int32_t)
        + m_loose.capacity() * sizeof(Loose) + m_marks.capacity()
        + (m_renamed.capacity() + m_added.capacity()) * sizeof(std::int32_t);
}

bool ElementIndex::cellRange(const TBoxD &box, CellRange &range) const
{
    if (!finite(box) || m_columns == 0)
        return false;
    const auto cell = [this](double v, double origin, std::int32_t cells) {
        const double c = std::floor((v - origin) / m_cell);
        return static_cast<std::int32_t>(std::clamp(c, 0.0, static_cast<double>(cells - 1)));
    };
    range.x0 = cell(box.left, m_left, m_columns);
    range.x1 = cell(box.right, m_left, m_columns);
    range.y0 = cell(box.top, m_top, m_rows);
    range.y1 = cell(box.bottom, m_top, m_rows);
    return range.x0 <= range.x1 && range.y0 <= range.y1;
}

bool ElementIndex::gridded(const TBoxD &box, CellRange &range) const
{
    return cellRange(box, range)
        && std::int64_t { range.x1 - range.x0 + 1 } * (range.y1 - range.y0 + 1)
        <= MostCellsPerElement;
}

void ElementIndex::collectAll(std::int32_t count)
{
    m_result.resize(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i)
        m_result[static_cast<std::size_t>(i)] = i;
}

const std::vector<std::int32_t> &ElementIndex::query(const TElementList &list, const TBoxD &box)
{
    if (!current(list))
        rebuild(list);
    m_result.clear();
    if (!finite(box)) {
        // A box that is not finite asks for everything.
        collectAll(m_count);
        return m_result;
    }
    if (box.left > box.right || box.top > box.bottom)
        return m_result;
    CellRange r {};
    const bool inGrid = cellRange(box, r);
    if (inGrid && r.x0 == 0 && r.y0 == 0 && r.x1 == m_columns - 1 && r.y1 == m_rows - 1) {
        // The whole drawing is asked for: naming every element costs less than gathering them.
        collectAll(m_count);
        return m_result;
    }

    std::size_t named = m_wide.size() + m_loose.size();
    if (inGrid) {
        for (std::int32_t y = r.y0; y <= r.y1; ++y) {
            const std::size_t row =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(m_columns);
            named += m_cellStart[row + static_cast<std::size_t>(r.x1) + 1]
                - m_cellStart[row + static_cast<std::size_t>(r.x0)];
        }
    }
    const auto gather = [&](auto &&take) {
        if (inGrid) {
            for (std::int32_t y = r.y0; y <= r.y1; ++y) {
                const std::size_t row =
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(m_columns);
                const std::uint32_t end = m_cellStart[row + static_cast<std::size_t>(r.x1) + 1];
                for (std::uint32_t k = m_cellStart[row + static_cast<std::size_t>(r.x0)]; k < end;
                     ++k) {
                    if (!stale(m_items[k]))
                        take(m_items[k]);
                }
            }
        }
        for (const std::int32_t i : m_wide) {
            if (!stale(i))
                take(i);
        }
        for (const Loose &l : m_loose) {
            if (meets(l.box, box))
                take(l.index);
        }
    };

    if (named > static_cast<std::size_t>(m_count) / 8) {
        // Many names, most of them repeated across cells: marking and reading the marks in
        // order is cheaper than sorting.
        m_marks.assign(static_cast<std::size_t>(m_count), 0);
        gather([this](std::int32_t i) { m_marks[static_cast<std::size_t>(i)] = 1; });
        for (std::int32_t i = 0; i < m_count; ++i) {
            if (m_marks[static_cast<std::size_t>(i)])
                m_result.push_back(i);
        }
    } else {
        gather([this](std::int32_t i) { m_result.push_back(i); });
        std::sort(m_result.begin(), m_result.end());
        m_result.erase(std::unique(m_result.begin(), m_result.end()), m_result.end());
    }
    return m_result;
}

void ElementIndex::loosen(const TElementList &list, std::int32_t index)
{
    if (m_looseSlot.empty())
        m_looseSlot.assign(static_cast<std::size_t>(m_count), -1);
    std::int32_t &slot = m_looseSlot[static_cast<std::size_t>(index)];
    const TBoxD box = elementBox(list, index);
    if (slot < 0) {
        slot = static_cast<std::int32_t>(m_loose.size());
        m_loose.push_back({ index, box });
    } else {
        m_loose[static_cast<std::size_t>(slot)].box = box;
    }
}

void ElementIndex::caughtUp(const TElementList &list)
{
    if (m_loose.size() > MostLoose)
        mergeLoose({});
    m_version = list.version();
}

void ElementIndex::changed(
    const TElementList &list, std::uint64_t versionBefore, const std::vector<std::int32_t> &changed)
{
    if (m_list != &list || m_version != versionBefore
        || static_cast<std::uint32_t>(m_count) != list.Count())
        return;
    for (const std::int32_t i : changed) {
        if (i < 0 || i >= m_count)
            return;
        loosen(list, i);
        if (list.at(i).ChainPos != 0)
            continue;
        // The closing lines of this chain end at its Start, so their boxes move with it.
        for (std::int32_t j = i; j < m_count && (j == i || list.at(j).ChainPos != 0); ++j) {
            if (list.at(j).ClosesChain)
                loosen(list, j);
        }
    }
    caughtUp(list);
}

void ElementIndex::replaced(const TElementList &list, std::uint64_t versionBefore,
    const std::vector<ElementReplacement> &replacements)
{
    if (m_list != &list || m_version != versionBefore)
        return;
    std::int64_t newCount = m_count;
    std::int64_t end = 0;
    bool shifts = false;
    for (const ElementReplacement &r : replacements) {
        if (r.offset < end || r.removed < 0 || r.inserted < 0
            || std::int64_t { r.offset } + r.removed > m_count)
            return;
        end = std::int64_t { r.offset } + r.removed;
        newCount += r.inserted - r.removed;
        shifts = shifts || r.inserted != r.removed;
    }
    if (newCount != static_cast<std::int64_t>(list.Count()))
        return;
    // Cells sized for a much smaller drawing would each name many elements.
    if (newCount > 2 * std::int64_t { m_builtCount } + static_cast<std::int64_t>(MostLoose)) {
        rebuild(list);
        return;
    }
    if (shifts)
        renumber(replacements, static_cast<std::int32_t>(newCount));

    // Renumbering dropped the names of the replaced records, so the new ones have no stale
    // names to hide and many of them can go straight into the grid.
    std::vector<Loose> fresh;
    if (shifts) {
        std::size_t inserted = 0;
        for (const ElementReplacement &r : replacements)
            inserted += static_cast<std::size_t>(r.inserted);
        fresh.reserve(inserted);
    }
    std::int32_t shift = 0;
    for (std::size_t k = 0; k < replacements.size(); ++k) {
        const ElementReplacement &r = replacements[k];
        const std::int32_t first = r.offset + shift;
        const std::int32_t last = first + r.inserted;
        shift += r.inserted - r.removed;
        const std::int32_t next =
            k + 1 < replacements.size() ? replacements[k + 1].offset + shift : m_count;
        for (std::int32_t i = first; i < last; ++i) {
            if (shifts)
                fresh.push_back({ i, elementBox(list, i) });
            else
                loosen(list, i);
        }
        // The records up to the next chain start may now belong to another chain, whose start
        // their closing lines run to. Those beyond the next replacement are its to look at.
        for (std::int32_t j = last; j < next && list.at(j).ChainPos != 0; ++j) {
            if (list.at(j).ClosesChain)
                loosen(list, j);
        }
    }
    if (m_loose.size() + fresh.size() > MostLoose) {
        mergeLoose(fresh);
    } else {
        for (const Loose &l : fresh)
            loosen(list, l.index);
    }
    caughtUp(list);
}

void ElementIndex::renumber(
    const std::vector<ElementReplacement> &replacements, std::int32_t newCount)
{
    // Where each element of the list before the change stands now, or -1 when it was removed.
    std::vector<std::int32_t> &to = m_renamed;
    to.resize(static_cast<std::size_t>(m_count));
    std::int32_t from = 0;
    std::int32_t at = 0;
    const auto keepUpTo = [&](std::int32_t end) {
        while (from < end)
            to[static_cast<std::size_t>(from++)] = at++;
    };
    for (const ElementReplacement &r : replacements) {
        keepUpTo(r.offset);
        for (std::int32_t k = 0; k < r.removed; ++k)
            to[static_cast<std::size_t>(from++)] = -1;
        at += r.inserted;
    }
    keepUpTo(m_count);

    const std::size_t cells = m_cellStart.size() - 1;
    std::uint32_t written = 0;
    std::uint32_t begin = m_cellStart[0];
    for (std::size_t c = 0; c < cells; ++c) {
        const std::uint32_t end = m_cellStart[c + 1];
        m_cellStart[c] = written;
        for (std::uint32_t k = begin; k < end; ++k) {
            const std::int32_t now = to[static_cast<std::size_t>(m_items[k])];
            if (now >= 0)
                m_items[written++] = now;
        }
        begin = end;
    }
    m_cellStart[cells] = written;
    m_items.resize(written);
    const auto renamed = [&to](std::int32_t &i) {
        i = to[static_cast<std::size_t>(i)];
        return i < 0;
    };
    m_wide.erase(std::remove_if(m_wide.begin(), m_wide.end(), renamed), m_wide.end());
    m_loose.erase(
        std::remove_if(m_loose.begin(), m_loose.end(), [&](Loose &l) { return renamed(l.index); }),
        m_loose.end());
    m_count = newCount;
    m_looseSlot.clear();
    if (!m_loose.empty()) {
        m_looseSlot.assign(static_cast<std::size_t>(m_count), -1);
        for (std::size_t k = 0; k < m_loose.size(); ++k)
            m_looseSlot[static_cast<std::size_t>(m_loose[k].index)] = static_cast<std::int32_t>(k);
    }
}

void ElementIndex::mergeLoose(const std::vector<Loose> &fresh)
{
    // The grid is made anew from its own names that still hold, the loose boxes and the fresh
    // ones, in its own storage and without looking at the list: with a million elements, fresh
    // memory for a second grid would cost more than the merge itself.
    const std::size_t cells = m_cellStart.size() - 1;
    std::uint32_t written = m_cellStart[cells];
    if (!m_loose.empty()) {
        written = 0;
        std::uint32_t begin = m_cellStart[0];
        for (std::size_t c = 0; c < cells; ++c) {
            const std::uint32_t end = m_cellStart[c + 1];
            m_cellStart[c] = written;
            for (std::uint32_t k = begin; k < end; ++k) {
                if (!stale(m_items[k]))
                    m_items[written++] = m_items[k];
            }
            begin = end;
        }
        m_cellStart[cells] = written;
    }
    m_wide.erase(
        std::remove_if(m_wide.begin(), m_wide.end(), [this](std::int32_t i) { return stale(i); }),
        m_wide.end());

    // added[c] becomes the number of loose names of the cells before c.
    std::vector<std::uint32_t> &added = m_added;
    added.assign(cells + 1, 0);
    const auto forCells = [this](const CellRange &r, auto &&visit) {
        for (std::int32_t y = r.y0; y <= r.y1; ++y) {
            for (std::int32_t x = r.x0; x <= r.x1; ++x)
                visit(cellIndex(x, y));
        }
    };
    CellRange r {};
    const auto eachNew = [&](auto &&take) {
        for (const Loose &l : m_loose)
            take(l);
        for (const Loose &l : fresh)
            take(l);
    };
    eachNew([&](const Loose &l) {
        if (gridded(l.box, r))
            forCells(r, [&](std::size_t c) { ++added[c + 1]; });
        else
            m_wide.push_back(l.index);
    });
    for (std::size_t c = 0; c < cells; ++c)
        added[c + 1] += added[c];
    const std::uint32_t total = written + added[cells];
    // Room to spare, so that the next merges do not move the names again.
    if (total > m_items.capacity())
        m_items.reserve(total + total / 8);
    m_items.resize(total);

    // From the last cell down, each cell's names move up by what the cells before it take,
    // leaving room behind them for its own loose names; added[c + 1] then tells where those go.
    std::uint32_t end = written;
    for (std::size_t c = cells; c-- > 0;) {
        const std::uint32_t from = m_cellStart[c];
        const std::uint32_t to = from + added[c];
        // Cells hold a few names each: a loop costs less than a call per cell.
        for (std::uint32_t k = end; to != from && k-- > from;)
            m_items[k - from + to] = m_items[k];
        added[c + 1] = to + (end - from);
        m_cellStart[c] = to;
        end = from;
    }
    m_cellStart[cells] = total;
    eachNew([&](const Loose &l) {
        if (gridded(l.box, r))
            forCells(r, [&](std::size_t c) { m_items[added[c + 1]++] = l.index; });
    });
    m_loose.clear();
    m_looseSlot.clear();
}
