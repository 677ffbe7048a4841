// Building the element index's grid from scratch: the boxes of all elements, the size of the
// cells, and the names in them. Everything else the index does is in ElementIndex.cpp.
#include "document/Chain.h"
#include "document/ElementIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <thread>

namespace {

// Grids of more cells than this cost more memory than they save.
constexpr std::int64_t MostCells = std::int64_t { 1 } << 22;
// Below this many elements a second thread costs more to start than it saves.
constexpr std::int32_t ElementsPerThread = 65536;

bool finite(const TBoxD &b)
{
    return std::isfinite(b.left) && std::isfinite(b.top) && std::isfinite(b.right)
        && std::isfinite(b.bottom);
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

// The cells an element covers, worked out once and used by both passes over the elements:
// `columns` is 0 for an element that goes among the wide ones.
struct Span
{
    std::uint32_t cell;
    std::uint8_t columns;
    std::uint8_t rows;
};

// Runs work(0) on this thread and work(1) on another when there are enough elements for two.
template <typename Work> void inParts(int parts, Work &&work)
{
    if (parts == 1) {
        work(0);
        return;
    }
    std::thread second([&work] { work(1); });
    work(0);
    second.join();
}

} // namespace

TBoxD elementBox(const TElementList &list, std::int32_t index)
{
    const bool closes = list.at(index).ClosesChain != 0;
    return boxWithChainStart(list, index, closes ? chainStartIndex(list, index) : -1);
}

void ElementIndex::rebuild(const TElementList &list)
{
    m_list = &list;
    m_version = list.version();
    m_count = m_builtCount = static_cast<std::int32_t>(list.Count());
    m_items.clear();
    m_wide.clear();
    m_loose.clear();
    m_looseSlot.clear();
    m_columns = m_rows = 0;
    m_cellStart.assign(1, 0);
    chooseGrid(list);
    fillGrid(list);
}

void ElementIndex::chooseGrid(const TElementList &list)
{
    // The grid spans where nearly all elements are; a few strays far off, which would stretch
    // it until every element shared one cell, land in the outer cells or among the wide ones.
    // A sample of the boxes tells where that is.
    const auto sampleStep = std::max<std::int32_t>(1, m_count / 16384);
    std::vector<double> xs, ys;
    for (std::int32_t i = 0; i < m_count; i += sampleStep) {
        const TBoxD box = elementBox(list, i);
        if (!finite(box))
            continue;
        xs.push_back(box.left);
        xs.push_back(box.right);
        ys.push_back(box.top);
        ys.push_back(box.bottom);
    }
    if (xs.empty())
        return; // no grid: every element is a wide one
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
    const double target = std::max(1.0, m_count / 2.0);
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
}

void ElementIndex::fillGrid(const TElementList &list)
{
    const std::int32_t count = m_count;
    const std::size_t cells =
        static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    m_cellStart.assign(cells + 1, 0);
    if (count == 0)
        return;

    // The two halves of the list are done on two threads. Each counts and later fills on its
    // own: the first half's names go first in every cell, so the grid comes out exactly as one
    // thread would make it.
    const int parts = count >= 2 * ElementsPerThread ? 2 : 1;
    const std::int32_t bounds[3] = { 0, parts == 2 ? count / 2 : count, count };
    const std::unique_ptr<Span[]> spans(new Span[static_cast<std::size_t>(count)]);
    std::vector<std::uint32_t> cellCounts[2];
    std::vector<std::int32_t> wide[2];
    inParts(parts, [&](int part) {
        std::vector<std::uint32_t> &counts = cellCounts[part];
        counts.assign(cells, 0);
        const std::int32_t begin = bounds[part];
        std::int32_t chainStart = begin > 0 ? chainStartIndex(list, begin - 1) : -1;
        CellRange r {};
        for (std::int32_t i = begin; i < bounds[part + 1]; ++i) {
            if (list.at(i).ChainPos == 0)
                chainStart = i;
            Span &span = spans[static_cast<std::size_t>(i)];
            if (!gridded(boxWithChainStart(list, i, chainStart), r)) {
                span = { 0, 0, 0 };
                wide[part].push_back(i);
                continue;
            }
            span = { static_cast<std::uint32_t>(cellIndex(r.x0, r.y0)),
                static_cast<std::uint8_t>(r.x1 - r.x0 + 1),
                static_cast<std::uint8_t>(r.y1 - r.y0 + 1) };
            for (std::int32_t y = r.y0; y <= r.y1; ++y) {
                for (std::int32_t x = r.x0; x <= r.x1; ++x)
                    ++counts[cellIndex(x, y)];
            }
        }
    });

    // The counts become where each part writes its next name in each cell.
    for (std::size_t c = 0; c < cells; ++c) {
        const std::uint32_t first = cellCounts[0][c];
        cellCounts[0][c] = m_cellStart[c];
        std::uint32_t total = first;
        if (parts == 2) {
            total += cellCounts[1][c];
            cellCounts[1][c] = m_cellStart[c] + first;
        }
        m_cellStart[c + 1] = m_cellStart[c] + total;
    }
    m_items.resize(m_cellStart[cells]);
    inParts(parts, [&](int part) {
        std::uint32_t *fill = cellCounts[part].data();
        std::int32_t *items = m_items.data();
        const auto columns = static_cast<std::size_t>(m_columns);
        for (std::int32_t i = bounds[part]; i < bounds[part + 1]; ++i) {
            const Span span = spans[static_cast<std::size_t>(i)];
            for (std::size_t y = 0; y < span.rows; ++y) {
                const std::size_t row = span.cell + y * columns;
                for (std::size_t x = 0; x < span.columns; ++x)
                    items[fill[row + x]++] = i;
            }
        }
    });
    m_wide = std::move(wide[0]);
    m_wide.insert(m_wide.end(), wide[1].begin(), wide[1].end());
}
