#include "base/DynaArray.h"
#include "document/DrawElement.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

struct Rec
{
    std::int32_t id;
    std::int32_t payload[3];
};

constexpr std::int32_t kBlockBytes = 100 * static_cast<std::int32_t>(sizeof(Rec));

void fill(TDynaArray<Rec> &store, int n)
{
    for (int i = 0; i < n; ++i) {
        Rec *r = store.Append();
        ASSERT_NE(r, nullptr);
        r->id = i;
        r->payload[0] = i * 10;
    }
}

std::vector<int> ids(TDynaArray<Rec> &store)
{
    std::vector<int> out;
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(store.Count()); ++i)
        out.push_back(store.at(i).id);
    return out;
}

} // namespace

TEST(DynaArray, NewStoreHasNothingToWalk)
{
    Rec *cursor = reinterpret_cast<Rec *>(0x1); // must not be written by Create
    TDynaArray<Rec> store(&cursor);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.allocatedBytes(), 0);
    EXPECT_EQ(cursor, reinterpret_cast<Rec *>(0x1));
    EXPECT_FALSE(store.Next());
    store.First();
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_EQ(cursor, reinterpret_cast<Rec *>(0x1));
}

TEST(DynaArray, GrowsAndShrinksInBlocksOfHundred)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 100);
    EXPECT_EQ(store.allocatedBytes(), kBlockBytes);

    Rec *r = store.Append();
    ASSERT_NE(r, nullptr);
    r->id = 100;
    EXPECT_EQ(store.allocatedBytes(), 2 * kBlockBytes);
    EXPECT_EQ(cursor, r);
    EXPECT_EQ(store.currentIndex(), 100);
    // The records moved into the new block with their contents intact.
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(store.at(i).id, i);

    store.Delete(100);
    EXPECT_EQ(store.Count(), 100u);
    EXPECT_EQ(store.allocatedBytes(), kBlockBytes);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(store.at(i).payload[0], i * 10);

    store.Delete(0);
    EXPECT_EQ(store.allocatedBytes(), kBlockBytes); // 99 records still need one block
}

TEST(DynaArray, DeleteOutsideTheListChangesNothing)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 3);
    Rec *current = store.Get(1);
    for (std::int32_t bad : { -1, 3, 1000 }) {
        store.Delete(bad);
        EXPECT_EQ(store.Count(), 3u) << bad;
        EXPECT_EQ(store.currentIndex(), 1) << bad;
        EXPECT_EQ(cursor, current) << bad;
    }
}

TEST(DynaArray, DeleteKeepsOrderAndEndsIteration)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 5);
    store.First();
    ASSERT_TRUE(store.Next());
    store.Delete(2);
    EXPECT_EQ(ids(store), (std::vector<int> { 0, 1, 3, 4 }));
    EXPECT_EQ(cursor, nullptr);
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_FALSE(store.Next());
    EXPECT_EQ(cursor, nullptr);

    store.First();
    std::vector<int> seen;
    while (store.Next())
        seen.push_back(cursor->id);
    EXPECT_EQ(seen, (std::vector<int> { 0, 1, 3, 4 }));
    // The loop leaves the cursor on the last record.
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->id, 4);
    EXPECT_EQ(store.currentIndex(), 4);
}

TEST(DynaArray, DeletingTheOnlyRecordFreesStorageAndNextAppendIsZeroed)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    Rec *r = store.Append();
    r->id = 77;
    r->payload[2] = -5;
    store.Delete(0);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.allocatedBytes(), 0);
    r = store.Append();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->id, 0);
    EXPECT_EQ(r->payload[2], 0);
}

TEST(DynaArray, LargeStoreKeepsEveryRecordAndNewBlocksStartZeroed)
{
    // Large stores grow in place; the records must survive every step and a block given back
    // by a delete must come back zeroed, not with the bytes it held before.
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 200000);
    EXPECT_EQ(store.allocatedBytes(), 2000 * kBlockBytes);
    for (int i = 0; i < 200000; i += 997)
        ASSERT_EQ(store.at(i).id, i);
    for (int i = 0; i < 150; ++i)
        store.Delete(static_cast<std::int32_t>(store.Count()) - 1);
    EXPECT_EQ(store.allocatedBytes(), 1999 * kBlockBytes);
    for (int i = 0; i < 51; ++i)
        ASSERT_NE(store.Append(), nullptr);
    EXPECT_EQ(store.allocatedBytes(), 2000 * kBlockBytes);
    // Slots 199850 to 199899 lie in the block that was kept and still hold their old bytes;
    // 199900 lies in the block that was given back.
    EXPECT_EQ(store.at(199899).id, 199899);
    EXPECT_EQ(store.at(199900).id, 0);
    EXPECT_EQ(store.at(199900).payload[0], 0);
}

TEST(DynaArray, ReusedSlotKeepsBytesOfTheRecordLastStoredThere)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 4);
    // Deleting record 1 moves 2 and 3 down; slot 3 still holds the old last record.
    store.Delete(1);
    Rec *r = store.Append();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->id, 3);
    EXPECT_EQ(r->payload[0], 30);
}

TEST(DynaArray, ClearEmptiesEverythingAndNullsTheCursor)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 150);
    store.Clear();
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.allocatedBytes(), 0);
    EXPECT_EQ(store.currentIndex(), -1);
    EXPECT_EQ(cursor, nullptr);
    EXPECT_FALSE(store.Next());
}

TEST(DynaArray, SwapExchangesBytesAndMakesSecondCurrent)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 3);
    store.Swap(0, 2);
    EXPECT_EQ(ids(store), (std::vector<int> { 2, 1, 0 }));
    EXPECT_EQ(store.currentIndex(), 2);
    EXPECT_EQ(cursor, &store.at(2));

    store.Swap(1, 1);
    EXPECT_EQ(ids(store), (std::vector<int> { 2, 1, 0 }));
    EXPECT_EQ(store.currentIndex(), 1);
    EXPECT_EQ(cursor->id, 1);

    store.Swap(-1, 1);
    store.Swap(0, 3);
    EXPECT_EQ(ids(store), (std::vector<int> { 2, 1, 0 }));
    EXPECT_EQ(store.currentIndex(), 1);
}

TEST(DynaArray, StoreWithoutCursorStillTracksCurrentIndex)
{
    TDynaArray<Rec> store;
    fill(store, 2);
    store.First();
    EXPECT_TRUE(store.Next());
    EXPECT_TRUE(store.Next());
    EXPECT_FALSE(store.Next());
}

TEST(DynaArray, HoldsElementRecordsBytewise)
{
    TDrawElement *cur = nullptr;
    TDynaArray<TDrawElement> list(&cur);
    EXPECT_EQ(list.recordSize(), 144);
    TDrawElement *e = list.Append();
    e->Kind = KindCubicBezier;
    e->Ctrl2 = { 1.5, -2.25 };
    e->ClosesChain = 1;
    EXPECT_EQ(cur, e);
    unsigned char bytes[144];
    std::memcpy(bytes, e, sizeof bytes);
    EXPECT_EQ(bytes[4], 2);
    EXPECT_EQ(bytes[136], 1);
    double x;
    std::memcpy(&x, bytes + 56, 8);
    EXPECT_EQ(x, 1.5);
}

// --- Allocation failure ---

namespace {

int g_allowedAllocations = 0;

void *limitedAllocator(std::size_t bytes)
{
    if (g_allowedAllocations <= 0)
        return nullptr;
    --g_allowedAllocations;
    return std::calloc(1, bytes);
}

class AllocationFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DynaArrayBase::setAllocationFailureHandler(
            [this](const std::string &m) { messages.push_back(m); });
    }
    void TearDown() override
    {
        DynaArrayBase::setBlockAllocator(nullptr);
        DynaArrayBase::setAllocationFailureHandler(nullptr);
    }
    std::vector<std::string> messages;
};

} // namespace

TEST_F(AllocationFailure, AppendStopsAndLeavesTheStoreAsItWas)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 100);
    Rec *current = store.Get(42);

    g_allowedAllocations = 0;
    DynaArrayBase::setBlockAllocator(&limitedAllocator);
    EXPECT_EQ(store.Append(), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
        "Error while trying to allocate " + std::to_string(2 * kBlockBytes)
            + " bytes of RAM. Not enough memory.");
    EXPECT_EQ(store.Count(), 100u);
    EXPECT_EQ(store.allocatedBytes(), kBlockBytes);
    EXPECT_EQ(cursor, current);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(store.at(i).id, i);

    // Within the block no allocation is needed, so nothing fails.
    store.Delete(99);
    EXPECT_NE(store.Append(), nullptr);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(AllocationFailure, ShrinkRetriesOnceThenKeepsTheLargerBlock)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 101);

    g_allowedAllocations = 1; // the second attempt succeeds
    DynaArrayBase::setBlockAllocator([](std::size_t bytes) -> void * {
        static bool failedOnce = false;
        if (!failedOnce) {
            failedOnce = true;
            return nullptr;
        }
        return limitedAllocator(bytes);
    });
    store.Delete(0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(store.allocatedBytes(), kBlockBytes);

    Rec *r = nullptr;
    DynaArrayBase::setBlockAllocator(nullptr);
    r = store.Append();
    r->id = 500;
    g_allowedAllocations = 0;
    DynaArrayBase::setBlockAllocator(&limitedAllocator);
    store.Delete(0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(store.Count(), 100u);
    EXPECT_EQ(store.allocatedBytes(), 2 * kBlockBytes);
    EXPECT_EQ(store.at(0).id, 2);
    EXPECT_EQ(store.at(99).id, 500);
}

TEST_F(AllocationFailure, AppendingInPlaceStopsAndLeavesTheStoreAsItWas)
{
    Rec *cursor = nullptr;
    TDynaArray<Rec> store(&cursor);
    fill(store, 150);
    Rec *current = store.Get(7);

    g_allowedAllocations = 0;
    DynaArrayBase::setBlockAllocator(&limitedAllocator);
    EXPECT_EQ(store.AppendRecords(51), nullptr);
    // A count that would wrap the record counter is refused as too large, not wrapped.
    EXPECT_EQ(store.AppendRecords(UINT32_MAX), nullptr);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
        "Error while trying to allocate " + std::to_string(3 * kBlockBytes)
            + " bytes of RAM. Not enough memory.");
    EXPECT_EQ(
        messages[1], "Error while trying to allocate 2147483648 bytes of RAM. Not enough memory.");
    EXPECT_EQ(store.Count(), 150u);
    EXPECT_EQ(store.allocatedBytes(), 2 * kBlockBytes);
    EXPECT_EQ(cursor, current);
    EXPECT_EQ(ids(store).back(), 149);

    // A store filled elsewhere takes the cursor it is given and points it at its current record.
    Rec *other = nullptr;
    store.BindCursor(&other);
    EXPECT_EQ(other, current);
}

TEST_F(AllocationFailure, SizesBeyondThirtyTwoBitsAreRefusedNotWrapped)
{
    struct Big
    {
        unsigned char bytes[30'000'000];
    };
    static_assert(std::is_trivially_copyable_v<Big>);
    TDynaArray<Big> store;
    // 100 records of 30 MB need 3 GB, more than the store's 32-bit size can hold.
    EXPECT_EQ(store.Append(), nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(
        messages[0], "Error while trying to allocate 3000000000 bytes of RAM. Not enough memory.");
    EXPECT_EQ(store.Count(), 0u);
}

TEST(DynaArray, AppendingManyAtOnceIsAppendingThemOneByOne)
{
    // The store grows once, yet ends as record-by-record appending leaves it: the same blocks,
    // records and current record, whether it held records before or not.
    for (const int before : { 0, 1, 99, 100, 250 }) {
        for (const int added : { 0, 1, 100, 1234 }) {
            std::vector<Rec> records(static_cast<std::size_t>(added));
            for (int i = 0; i < added; ++i)
                records[static_cast<std::size_t>(i)] = Rec { before + i, 0 };
            Rec *oneCursor = nullptr, *allCursor = nullptr, *inPlaceCursor = nullptr;
            TDynaArray<Rec> one(&oneCursor), all(&allCursor), inPlace(&inPlaceCursor);
            fill(one, before + added);
            fill(all, before);
            ASSERT_TRUE(all.AppendAll(records.data(), static_cast<std::uint32_t>(added)));
            EXPECT_EQ(ids(all), ids(one)) << before << " + " << added;
            EXPECT_EQ(all.allocatedBytes(), one.allocatedBytes()) << before << " + " << added;
            EXPECT_EQ(all.currentIndex(), one.currentIndex()) << before << " + " << added;

            // Records added to be filled in place arrive zeroed in fresh storage and end the
            // same way; adding none is refused without a change.
            fill(inPlace, before);
            Rec *first = inPlace.AppendRecords(static_cast<std::uint32_t>(added));
            ASSERT_EQ(first == nullptr, added == 0) << before << " + " << added;
            for (int i = 0; i < added; ++i) {
                EXPECT_EQ(first[i].id, 0) << before << " + " << i;
                first[i] = records[static_cast<std::size_t>(i)];
            }
            EXPECT_EQ(ids(inPlace), ids(one)) << before << " + " << added;
            EXPECT_EQ(inPlace.allocatedBytes(), one.allocatedBytes()) << before << " + " << added;
            EXPECT_EQ(inPlace.currentIndex(), one.currentIndex()) << before << " + " << added;
            const int count = before + added;
            EXPECT_EQ(inPlaceCursor, count == 0 ? nullptr : &inPlace.at(count - 1));
        }
    }
}

TEST(DynaArray, TruncatingIsDeletingFromTheEndOneByOne)
{
    // Cut at once or record by record, the store ends the same: records, blocks, no current
    // record, and, grown back, the same bytes in every slot (zero in blocks given back). The
    // large cases lie beyond the size from which a store is remapped rather than reallocated.
    const struct
    {
        int count;
        int kept;
    } cases[] = { { 0, 0 }, { 5, 0 }, { 150, 101 }, { 150, 100 }, { 150, 99 }, { 150, 150 },
        { 400000, 300050 }, { 400000, 150 }, { 400000, 0 } };
    for (const auto &c : cases) {
        Rec *oneCursor = nullptr, *cutCursor = nullptr;
        TDynaArray<Rec> one(&oneCursor), cut(&cutCursor);
        // Filled in one growth: record by record, a sanitizer's heap copies the store every time.
        std::vector<Rec> records(static_cast<std::size_t>(c.count));
        for (int i = 0; i < c.count; ++i)
            records[static_cast<std::size_t>(i)] = Rec { i, { i * 10, 0, 0 } };
        ASSERT_TRUE(one.AppendAll(records.data(), static_cast<std::uint32_t>(c.count)));
        ASSERT_TRUE(cut.AppendAll(records.data(), static_cast<std::uint32_t>(c.count)));
        for (int i = c.count - 1; i >= c.kept; --i)
            one.Delete(i);
        cut.Truncate(static_cast<std::uint32_t>(c.kept));
        EXPECT_EQ(ids(cut), ids(one)) << c.count << " to " << c.kept;
        EXPECT_EQ(cut.allocatedBytes(), one.allocatedBytes()) << c.count << " to " << c.kept;
        if (c.kept < c.count) {
            EXPECT_EQ(cut.currentIndex(), -1);
            EXPECT_EQ(cutCursor, nullptr);
        }
        ASSERT_TRUE(one.AppendRecords(static_cast<std::uint32_t>(c.count - c.kept + 1)));
        ASSERT_TRUE(cut.AppendRecords(static_cast<std::uint32_t>(c.count - c.kept + 1)));
        for (int i = 0; i <= c.count; ++i)
            ASSERT_EQ(std::memcmp(&cut.at(i), &one.at(i), sizeof(Rec)), 0) << c.count << " to "
                                                                            << c.kept << " at " << i;
        const int firstGivenBack = (c.kept + 99) / 100 * 100;
        if (firstGivenBack < c.count) {
            EXPECT_EQ(cut.at(c.count - 1).id, 0) << c.count << " to " << c.kept;
        }
    }
}

#if defined(__linux__)
TEST(DynaArray, LargeStoreGrowsAndShrinksWithoutMovingItsRecords)
{
    // Moving meant copying: a store read in one go from a project was copied whole at every
    // growth of a hundred records after it, 144 MB each time for a million elements.
    TDynaArray<Rec> store;
    ASSERT_NE(store.AppendRecords(400000), nullptr);
    const Rec *first = &store.at(0);
    for (int i = 0; i < 1000; ++i)
        ASSERT_NE(store.Append(), nullptr);
    EXPECT_EQ(&store.at(0), first);
    store.Truncate(1000);
    ASSERT_NE(store.AppendRecords(300000), nullptr);
    EXPECT_EQ(&store.at(0), first);
}
#endif
