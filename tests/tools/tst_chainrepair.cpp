#include "tools/ChainRepair.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

// The repair done the plain way: walk backwards and remove each selected record at once,
// so that every step sees the list exactly as it is at that moment.
void deleteOneByOne(TElementList &list)
{
    for (std::int32_t i = static_cast<std::int32_t>(list.Count()) - 1; i >= 0; --i) {
        const TDrawElement e = list.at(i);
        if (!(e.SelStart || e.SelEnd || e.SelCtrl1 || e.SelCtrl2))
            continue;
        const auto count = static_cast<std::int32_t>(list.Count());
        for (std::int32_t j = i + 1; j < count && list.at(j).ChainPos != 0; ++j) {
            TDrawElement *f = list.Get(j);
            if (e.ChainPos == 0)
                f->ClosesChain = 0;
            --f->ChainPos;
        }
        if (e.ChainPos > 0 && i + 1 < count && list.at(i + 1).ChainPos != 0)
            list.Get(i + 1)->Start = e.Start;
        list.Delete(i);
    }
}

// Chains of random length with random selections; with `damaged`, some ChainPos values are
// out of sequence as only a damaged file can hold them.
void fillRandom(std::mt19937 &random, TElementList &a, TElementList &b, bool damaged)
{
    std::uniform_int_distribution<int> size(0, 260);
    std::uniform_int_distribution<int> percent(0, 99);
    const int n = size(random);
    std::int32_t chainPos = 0;
    for (int i = 0; i < n; ++i) {
        TDrawElement e {};
        if (percent(random) < 20)
            chainPos = 0;
        e.ChainPos = chainPos++;
        if (damaged && percent(random) < 10)
            e.ChainPos = percent(random) % 5 - 1;
        e.Kind = KindLine;
        e.Start = { double(i), double(percent(random)) };
        e.End = { double(i + 1), double(percent(random)) };
        e.ClosesChain = percent(random) < 15;
        e.SelEnd = percent(random) < 30;
        *a.Append() = e;
        *b.Append() = e;
    }
}

TEST(ChainRepair, MatchesDeletingOneRecordAtATime)
{
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        TElementList fast;
        TElementList plain;
        fillRandom(random, fast, plain, round % 4 == 3);
        const std::uint32_t before = fast.Count();
        std::vector<TDrawElement> original;
        for (std::uint32_t i = 0; i < before; ++i)
            original.push_back(fast.at(static_cast<std::int32_t>(i)));
        std::vector<ElementReplacement> runs;
        const std::int32_t deleted = deleteSelectedElements(fast, &runs);
        deleteOneByOne(plain);
        // Every record outside the runs reported to the index is kept as it was.
        std::int32_t from = 0;
        std::int32_t to = 0;
        const auto keepUpTo = [&](std::int32_t end) {
            for (; from < end; ++from, ++to)
                ASSERT_EQ(std::memcmp(&original[static_cast<std::size_t>(from)], &fast.at(to),
                              sizeof(TDrawElement)),
                    0)
                    << "round " << round << " record " << from;
        };
        for (const ElementReplacement &r : runs) {
            keepUpTo(r.offset);
            from += r.removed;
            to += r.inserted;
        }
        keepUpTo(static_cast<std::int32_t>(before));
        ASSERT_EQ(to, static_cast<std::int32_t>(fast.Count())) << "round " << round;
        ASSERT_EQ(fast.Count(), plain.Count()) << "round " << round;
        EXPECT_EQ(before - fast.Count(), static_cast<std::uint32_t>(deleted));
        EXPECT_EQ(fast.allocatedBytes(), plain.allocatedBytes());
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(fast.Count()); ++i)
            ASSERT_EQ(std::memcmp(&fast.at(i), &plain.at(i), sizeof(TDrawElement)), 0)
                << "round " << round << " element " << i;
    }
}

TEST(ChainRepair, DeletingEverythingEmptiesTheStoreAndUnbindsTheCursor)
{
    TDrawElement *cursor = nullptr;
    TElementList list(&cursor);
    for (int i = 0; i < 150; ++i) {
        TDrawElement *e = list.Append();
        *e = {};
        e->ChainPos = i % 3;
        e->SelStart = 1;
    }
    EXPECT_EQ(deleteSelectedElements(list), 150);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.allocatedBytes(), 0);
    EXPECT_EQ(cursor, nullptr);
}

} // namespace
