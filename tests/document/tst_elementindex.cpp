#include "document/ElementIndex.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

bool meets(const TBoxD &a, const TBoxD &b)
{
    return !(a.right < b.left || a.left > b.right || a.bottom < b.top || a.top > b.bottom);
}

// What a query must answer once the caller has tested each named element exactly.
std::vector<std::int32_t> walk(const TElementList &list, const TBoxD &q)
{
    std::vector<std::int32_t> hits;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(list.Count()); ++i) {
        if (meets(elementBox(list, i), q))
            hits.push_back(i);
    }
    return hits;
}

std::vector<std::int32_t> indexed(ElementIndex &index, const TElementList &list, const TBoxD &q)
{
    const std::vector<std::int32_t> &named = index.query(list, q);
    EXPECT_TRUE(std::is_sorted(named.begin(), named.end()));
    EXPECT_EQ(std::adjacent_find(named.begin(), named.end()), named.end());
    std::vector<std::int32_t> hits;
    for (const std::int32_t i : named) {
        if (meets(elementBox(list, i), q))
            hits.push_back(i);
    }
    return hits;
}

} // namespace

// Replaces the records that `replacements` name (ascending) by random ones and returns the
// replacements as the index is told of them.
template <typename MakeElement>
std::vector<ElementReplacement> replaceRandomRuns(
    TElementList &list, std::mt19937 &random, int runs, int longest, MakeElement &&make)
{
    std::vector<TDrawElement> records;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(list.Count()); ++i)
        records.push_back(list.at(i));
    std::uniform_int_distribution<int> length(0, longest);
    std::vector<ElementReplacement> replacements;
    std::vector<TDrawElement> result;
    std::int32_t from = 0;
    for (int k = 0; k < runs; ++k) {
        const auto count = static_cast<std::int32_t>(records.size());
        std::uniform_int_distribution<std::int32_t> gap(0, count / runs + 1);
        const std::int32_t offset = std::min(count, from + gap(random));
        const ElementReplacement r { offset, std::min(count - offset, length(random)),
            length(random) };
        result.insert(result.end(), records.begin() + from, records.begin() + offset);
        for (std::int32_t i = 0; i < r.inserted; ++i)
            result.push_back(make(static_cast<std::int32_t>(result.size())));
        from = r.offset + r.removed;
        replacements.push_back(r);
    }
    result.insert(result.end(), records.begin() + from, records.end());
    // The store is written in place, as the tools and the undo history do it.
    while (list.Count() > result.size())
        list.Delete(static_cast<std::int32_t>(list.Count()) - 1);
    while (list.Count() < result.size())
        list.Append();
    for (std::size_t i = 0; i < result.size(); ++i)
        *list.Get(static_cast<std::int32_t>(i)) = result[i];
    return replacements;
}

// Random edits of every kind the editor makes, each followed by random queries that must name
// exactly the elements a walk over the whole list finds: moves reported to the index (chain
// starts of closed chains among them, whose closing lines move along), records appended,
// replaced or deleted in runs and reported (enough of them now and then that the index merges
// them into its grid), writes it is not told of, points that are not numbers and a list
// replaced by another.
TEST(ElementIndex, EveryQueryEqualsAFullWalk)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coord(0, 2000), step(-30, 30), size(0, 300);
    std::uniform_int_distribution<int> pick(0, 99);
    TDrawElement *cur = nullptr;
    TElementList list(&cur);
    ElementIndex index;
    const auto randomElement = [&](std::int32_t chainPos) {
        TDrawElement e {};
        e.ChainPos = chainPos;
        e.Kind = pick(random) < 60 ? KindLine : pick(random) < 50 ? KindCubicBezier : KindEllipse;
        e.Start = { coord(random), coord(random) };
        e.End = { e.Start.x + step(random), e.Start.y + step(random) };
        e.Ctrl1 = { e.Start.x + step(random) * 5, e.Start.y + step(random) };
        e.Ctrl2 = { e.End.x + step(random), e.End.y + step(random) * 5 };
        e.ClosesChain = pick(random) < 20;
        if (pick(random) == 0)
            e.End.x = 1e12; // wider than the grid should ever be
        return e;
    };
    for (std::int32_t i = 0; i < 3000; ++i)
        *list.Append() = randomElement(i % 7);

    TPointD lastMoved {};
    for (int round = 0; round < 300; ++round) {
        const auto count = static_cast<std::int32_t>(list.Count());
        std::uniform_int_distribution<std::int32_t> element(0, count - 1);
        const int what = pick(random);
        if (what < 70) {
            // A node drag: a few records moved in place, and the index is told which.
            const std::uint64_t before = list.version();
            std::vector<std::int32_t> moved;
            for (int k = pick(random) % 5 + 1; k > 0; --k) {
                const std::int32_t i = element(random);
                lastMoved = list.Get(i)->Start = { coord(random), coord(random) };
                list.Get(i)->Ctrl2.y += step(random) * 10;
                moved.push_back(i);
            }
            index.changed(list, before, moved);
        } else if (what < 76) {
            // Appending, deleting scattered runs, undoing and redoing: runs replaced and reported.
            const std::uint64_t before = list.version();
            const int runs = what < 72 ? 1 : pick(random) % 40 + 1;
            const int longest = pick(random) < 30 ? 400 : 6;
            const auto replacements = replaceRandomRuns(list, random, runs, longest,
                [&](std::int32_t at) { return randomElement(pick(random) < 30 ? 0 : at % 5); });
            index.replaced(list, before, replacements);
            ASSERT_TRUE(index.current(list) || replacements.empty()) << "round " << round;
        } else if (what < 78) {
            list.Get(element(random))->End = { coord(random), coord(random) };
        } else if (what < 84) {
            *list.Append() = randomElement(pick(random) % 3);
        } else if (what < 90) {
            list.Delete(element(random));
        } else if (what < 92) {
            list.Get(element(random))->Ctrl1.y = std::numeric_limits<double>::quiet_NaN();
            list.Get(element(random))->Kind = KindQuadBezier;
        } else if (what < 94) {
            TElementList other;
            *other.Append() = randomElement(0);
            ASSERT_EQ(
                indexed(index, other, { 0, 0, 2000, 2000 }), walk(other, { 0, 0, 2000, 2000 }));
        }
        for (int q = 0; q < 5; ++q) {
            // The first box is at the last point moved, where the index is most likely wrong.
            const double x = q == 0 ? lastMoved.x - 1 : coord(random) - 100;
            const double y = q == 0 ? lastMoved.y - 1 : coord(random) - 100;
            const TBoxD box { x, y, x + size(random) * (q == 4 ? 10 : 1), y + size(random) };
            ASSERT_EQ(indexed(index, list, box), walk(list, box)) << "round " << round;
        }
    }
    constexpr double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(indexed(index, list, { -inf, -inf, inf, inf }).size(), list.Count());
    EXPECT_TRUE(indexed(index, list, { 10, 10, 5, 5 }).empty());
}

// A list long enough to be indexed by two threads, with a chain that runs across the middle
// and closes back to its start in the first half: the second thread must find that start.
TEST(ElementIndex, TwoThreadsIndexAsOneWould)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> coord(0, 5000);
    TElementList list;
    constexpr std::int32_t count = 140000;
    for (std::int32_t i = 0; i < count; ++i) {
        TDrawElement e {};
        e.ChainPos = i < count / 2 - 50 ? i % 6 : i - (count / 2 - 50);
        e.Kind = KindLine;
        e.Start = { coord(random), coord(random) };
        e.End = { e.Start.x + 5, e.Start.y - 5 };
        e.ClosesChain = i == count / 2 + 50;
        *list.Append() = e;
    }
    ElementIndex index;
    for (int q = 0; q < 40; ++q) {
        const TPointD at =
            q == 0 ? list.at(count / 2 - 50).Start : TPointD { coord(random), coord(random) };
        const TBoxD box { at.x - 20, at.y - 20, at.x + 20, at.y + 20 };
        ASSERT_EQ(indexed(index, list, box), walk(list, box)) << "query " << q;
    }
}
