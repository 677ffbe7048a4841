#include "document/ElementIndex.h"

#include "document/Chain.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// An element that would be entered in more cells than this is named by every query instead: a
// few long lines must not make the grid large.
constexpr std::int64_t MostCellsPerElement = 64;
// Grids of more cells than this cost more memory than they save.
constexpr std::int64_t MostCells = std::int64_t { 1 } << 22;

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

struct BoxBuilder
{
    TBoxD box;
    bool isFinite = true;

    explicit BoxBuilder(TPointD p)
        : box { p.x, p.y, p.x, p.y }
        , isFinite(std::isfinite(p.x) && std::isfinite(p.y))
    {
    }
    void take(TPointD p)
    {
        isFinite = isFinite && std::isfinite(p.x) && std::isfinite(p.y);
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    TBoxD result() const
    {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return isFinite ? box : TBoxD { -inf, -inf, inf, inf };
    }
};

// The box of element `index` whose chain starts at `chainStart` (-1 for none).
TBoxD boxWithChainStart(const TElementList &list, std::int32_t index, std::int32_t chainStart)
{
    const TDrawElement &e = list.at(index);
    BoxBuilder b(e.Start);
    b.take(e.End);
    if (usesCtrl1(e.Kind))
        b.take(e.Ctrl1);
    if (usesCtrl2(e.Kind))
        b.take(e.Ctrl2);
    if (e.ClosesChain && chainStart >= 0)
        b.take(list.at(chainStart).Start);
    return b.result();
}

} // namespace

TBoxD elementBox(const TElementList &list, std::int32_t index)
{
    const bool closes = list.at(index).ClosesChain != 0;
    return boxWithChainStart(list, index, closes ? chainStartIndex(list, index) : -1);
}

bool ElementIndex::current(const TElementList &list) const
{
    return m_list == &list && m_version == list.version()
        && static_cast<std::uint32_t>(m_count) == list.Count();
}

std::size_t ElementIndex::bytes() const
{
    return m_cellStart.capacity() * sizeof(std::uint32_t)
        + (m_items.capacity() + m_wide.capacity() + m_movedSlot.capacity() + m_result.capacity())
        * sizeof(std::int32_t)
        + m_moved.capacity() * sizeof(Moved) + m_marks.capacity();
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

void ElementIndex::rebuild(const TElementList &list)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    m_list = &list;
    m_version = list.version();
    m_count = count;
    m_items.clear();
    m_wide.clear();
    m_moved.clear();
    m_movedSlot.clear();
    m_columns = m_rows = 0;
    m_cellStart.assign(1, 0);

    std::vector<TBoxD> boxes(static_cast<std::size_t>(count));
    std::int32_t chainStart = -1;
    for (std::int32_t i = 0; i < count; ++i) {
        if (list.at(i).ChainPos == 0)
            chainStart = i;
        boxes[static_cast<std::size_t>(i)] = boxWithChainStart(list, i, chainStart);
    }
    // The grid spans where nearly all elements are; a few strays far off, which would stretch
    // it until every element shared one cell, land in the outer cells or among the wide ones.
    const std::size_t sampleStep = std::max<std::size_t>(1, boxes.size() / 65536);
    std::vector<double> xs, ys;
    for (std::size_t i = 0; i < boxes.size(); i += sampleStep) {
        if (!finite(boxes[i]))
            continue;
        xs.push_back(boxes[i].left);
        xs.push_back(boxes[i].right);
        ys.push_back(boxes[i].top);
        ys.push_back(boxes[i].bottom);
    }
    if (xs.empty()) {
        for (std::int32_t i = 0; i < count; ++i)
            m_wide.push_back(i);
        return;
    }
    const auto quantile = [](std::vector<double> &v, double q) {
        const auto at =
            v.begin() + static_cast<std::ptrdiff_t>(q * static_cast<double>(v.size() - 1));
        std::nth_element(v.begin(), at, v.end());
        return *at;
    };
    const TBoxD bounds { quantile(xs, 0.005), quantile(ys, 0.005), quantile(xs, 0.995),
        quantile(ys, 0.995) };

    // About two elements to a cell: a query then looks at few cells and few names per cell.
    const double width = bounds.right - bounds.left;
    const double height = bounds.bottom - bounds.top;
    const double target = std::max(1.0, count / 2.0);
    m_cell = std::sqrt(std::max(width * height, 1e-12) / target);
    m_cell = std::max({ m_cell, std::max(width, height) / static_cast<double>(MostCells), 1e-9 });
    for (;;) {
        const double columns = std::floor(width / m_cell) + 1;
        const double rows = std::floor(height / m_cell) + 1;
        if (columns * rows <= static_cast<double>(MostCells)) {
            m_columns = static_cast<std::int32_t>(columns);
            m_rows = static_cast<std::int32_t>(rows);
            break;
        }
        m_cell *= 2;
    }
    m_left = bounds.left;
    m_top = bounds.top;

    const auto cells = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    m_cellStart.assign(cells + 1, 0);
    const auto forCells = [this](const CellRange &r, auto &&visit) {
        for (std::int32_t y = r.y0; y <= r.y1; ++y) {
            const std::size_t row =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(m_columns);
            for (std::int32_t x = r.x0; x <= r.x1; ++x)
                visit(row + static_cast<std::size_t>(x));
        }
    };
    const auto gridded = [this](const TBoxD &b, CellRange &r) {
        return cellRange(b, r)
            && std::int64_t { r.x1 - r.x0 + 1 } * (r.y1 - r.y0 + 1) <= MostCellsPerElement;
    };
    CellRange r {};
    for (std::int32_t i = 0; i < count; ++i) {
        if (gridded(boxes[static_cast<std::size_t>(i)], r))
            forCells(r, [this](std::size_t c) { ++m_cellStart[c + 1]; });
        else
            m_wide.push_back(i);
    }
    for (std::size_t c = 0; c < cells; ++c)
        m_cellStart[c + 1] += m_cellStart[c];
    m_items.resize(m_cellStart[cells]);
    std::vector<std::uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (std::int32_t i = 0; i < count; ++i) {
        if (gridded(boxes[static_cast<std::size_t>(i)], r))
            forCells(r, [&](std::size_t c) { m_items[fill[c]++] = i; });
    }
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

    const bool anyMoved = !m_moved.empty();
    const auto stale = [&](std::int32_t i) {
        return anyMoved && m_movedSlot[static_cast<std::size_t>(i)] >= 0;
    };
    std::size_t named = m_wide.size() + m_moved.size();
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
        for (const Moved &m : m_moved) {
            if (meets(m.box, box))
                take(m.index);
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

void ElementIndex::move(const TElementList &list, std::int32_t index)
{
    if (m_movedSlot.empty())
        m_movedSlot.assign(static_cast<std::size_t>(m_count), -1);
    std::int32_t &slot = m_movedSlot[static_cast<std::size_t>(index)];
    const TBoxD box = elementBox(list, index);
    if (slot < 0) {
        slot = static_cast<std::int32_t>(m_moved.size());
        m_moved.push_back({ index, box });
    } else {
        m_moved[static_cast<std::size_t>(slot)].box = box;
    }
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
        move(list, i);
        if (list.at(i).ChainPos != 0)
            continue;
        // The closing lines of this chain end at its Start, so their boxes move with it.
        for (std::int32_t j = i; j < m_count && (j == i || list.at(j).ChainPos != 0); ++j) {
            if (list.at(j).ClosesChain)
                move(list, j);
        }
    }
    if (m_moved.size() > std::max<std::size_t>(4096, static_cast<std::size_t>(m_count) / 4))
        rebuild(list);
    else
        m_version = list.version();
}
