#include "document/Chain.h"

#include <gtest/gtest.h>

namespace {

void add(TElementList &list, std::int32_t chainPos, std::uint8_t closes = 0)
{
    TDrawElement *e = list.Append();
    *e = {};
    e->ChainPos = chainPos;
    e->ClosesChain = closes;
}

} // namespace

TEST(Chain, StartIsNearestChainPosZeroAtOrBefore)
{
    TDrawElement *cur = nullptr;
    TElementList list(&cur);
    add(list, 1); // a damaged list: continues a chain that never started
    add(list, 0);
    add(list, 1);
    add(list, 2);
    add(list, 0);
    add(list, 1, 1);

    EXPECT_EQ(chainStartIndex(list, 0), -1);
    EXPECT_EQ(chainStartIndex(list, 1), 1);
    EXPECT_EQ(chainStartIndex(list, 3), 1);
    EXPECT_EQ(chainStartIndex(list, 4), 4);
    EXPECT_EQ(chainStartIndex(list, 5), 4);
    // The search reads through the list without moving its cursor.
    list.Get(2);
    chainStartIndex(list, 5);
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(cur, &list.at(2));
}

TEST(Chain, QuadraticRaisedToCubic)
{
    // Start (0,0), control (30,15), end (30,0): C1 = (20,10), C2 = (30,10).
    const CubicControls c = raiseQuadratic({ 0, 0 }, { 30, 15 }, { 30, 0 });
    EXPECT_DOUBLE_EQ(c.c1.x, 20);
    EXPECT_DOUBLE_EQ(c.c1.y, 10);
    EXPECT_DOUBLE_EQ(c.c2.x, 30);
    EXPECT_DOUBLE_EQ(c.c2.y, 10);
    // The raise is computed as (Ctrl - Start) * 2 / 3, which differs in the last bit from
    // multiplying by a rounded 2/3; exports rely on the exact form.
    const CubicControls d = raiseQuadratic({ 0, 0 }, { 0.1, 0 }, { 0, 0 });
    EXPECT_EQ(d.c1.x, 0.1 * 2 / 3);
    EXPECT_EQ(d.c2.x, 0.1 + (0 - 0.1) / 3);
}

TEST(Chain, DefiningPointsPerKind)
{
    EXPECT_FALSE(usesCtrl1(KindLine));
    EXPECT_TRUE(usesCtrl1(KindQuadBezier));
    EXPECT_FALSE(usesCtrl2(KindQuadBezier));
    EXPECT_TRUE(usesCtrl2(KindCubicBezier));
    EXPECT_FALSE(usesCtrl1(KindEllipse));
    EXPECT_FALSE(usesCtrl1(7)); // damaged kinds have no control points
}
