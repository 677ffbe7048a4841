#include "FakeToolHost.h"
#include "tools/ChainRepair.h"
#include "tools/LeftCtrlTracker.h"
#include "tools/PointSnapping.h"

#include <optional>

namespace {

using T = ToolButton;

class DrawingTools : public ToolTest
{
};

TEST_F(DrawingTools, TwoPressesAtOnePlaceGiveALineOfLengthZero)
{
    press(40, 40, T::Linie1);
    press(40, 40, T::Linie1);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).Kind, KindLine);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Start, 40, 40);
    EXPECT_POINT(element(0).End, 40, 40);
    // The chain goes on from the end.
    EXPECT_TRUE(drawing.Drawing);
    EXPECT_EQ(drawing.phase(), DrawingTool::Phase::WaitingForEnd);
    EXPECT_EQ(host.repaints, 0);
}

TEST_F(DrawingTools, LeftCtrlMakesACircleAndRightCtrlAloneGivesTheFullRectangle)
{
    // A point near where the pointer ends, to show that Ctrl also stops snapping.
    add(0, KindLine, { 132, 92 }, { 250, 250 });

    press(100, 100, T::CircleBtn);
    move(130, 90, T::CircleBtn, true, true);
    EXPECT_POINT(drawing.CurPt, 110, 90);
    press(130, 90, T::CircleBtn, MouseButton::Left, true, true);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(1).Kind, KindEllipse);
    EXPECT_POINT(element(1).Start, 100, 100);
    EXPECT_POINT(element(1).End, 110, 90); // a square of side 10 to the upper right
    EXPECT_FALSE(drawing.Drawing); // an ellipse ends the chain
    EXPECT_EQ(host.repaints, 1);

    press(100, 100, T::CircleBtn);
    press(130, 90, T::CircleBtn, MouseButton::Left, true, false);
    ASSERT_EQ(count(), 3);
    EXPECT_POINT(element(2).End, 130, 90);

    // Without Ctrl the same press snaps onto the existing point.
    press(100, 100, T::CircleBtn);
    press(130, 90, T::CircleBtn);
    EXPECT_POINT(element(3).End, 132, 92);
}

TEST_F(DrawingTools, CircleConstraintKeepsThePointersQuadrant)
{
    TPointD p { 70, 120 }; // 30 left, 20 down
    circleConstraint({ 100, 100 }, p);
    EXPECT_POINT(p, 80, 120);
    p = { 95, 60 }; // 5 left, 40 up
    circleConstraint({ 100, 100 }, p);
    EXPECT_POINT(p, 95, 95);
}

TEST_F(DrawingTools, ChainStartSnapsEvenWithCtrlButLaterPointsDoNot)
{
    add(0, KindLine, { 50, 50 }, { 80, 50 });
    press(53, 47, T::Linie1, MouseButton::Left, true);
    EXPECT_POINT(drawing.SegStart, 50, 50);
    EXPECT_POINT(drawing.SmoothHandle, 53, 47); // the pressed position, before snapping
    press(78, 52, T::Linie1, MouseButton::Left, true);
    EXPECT_POINT(element(1).End, 78, 52);
    press(78, 52, T::Linie1);
    EXPECT_POINT(element(2).End, 80, 50); // the first element's End comes first in the list
}

TEST_F(DrawingTools, SnappingPrefersListOrderThenStartEndCtrl1Ctrl2)
{
    add(0, KindCubicBezier, { 0, 0 }, { 100, 0 }, { 50, 50 }, { 52, 50 });
    add(0, KindLine, { 51, 51 }, { 200, 0 });
    TPointD p { 51, 50 };
    EXPECT_TRUE(snapPoint(host.list, QPoint(51, 50), 100, p));
    EXPECT_POINT(p, 50, 50);

    // A line's and an ellipse's control points carry stale values and are never snapped to.
    host.list.Clear();
    add(0, KindLine, { 0, 0 }, { 10, 0 }, { 200, 200 }, { 200, 200 });
    add(0, KindEllipse, { 0, 100 }, { 10, 110 }, { 200, 200 }, { 200, 200 });
    add(0, KindQuadBezier, { 0, 50 }, { 10, 50 }, { 300, 300 }, { 202, 202 });
    add(0, KindLine, { 203, 203 }, { 250, 250 });
    p = { 200, 200 };
    EXPECT_TRUE(snapPoint(host.list, QPoint(200, 200), 100, p));
    EXPECT_POINT(p, 203, 203);
}

TEST_F(DrawingTools, SnapToleranceIsFiveScreenPixelsWithBoundsIncluded)
{
    add(0, KindLine, { 100, 100 }, { 400, 400 });
    TPointD p {};
    EXPECT_TRUE(snapPoint(host.list, QPoint(105, 95), 100, p));
    EXPECT_FALSE(snapPoint(host.list, QPoint(106, 100), 100, p));
    EXPECT_FALSE(snapPoint(host.list, QPoint(100, 94), 100, p));

    // At 200 % with scrolled view: the tolerance stays 5 screen pixels (2.5 picture pixels).
    host.zoomValue = 200;
    host.scrollX = 10;
    host.scrollY = 20;
    press(195 - 10, 205 - 20, T::Linie1);
    EXPECT_POINT(drawing.SegStart, 100, 100);
    drawing.endChain();
    press(206 - 10, 200 - 20, T::Linie1);
    EXPECT_POINT(drawing.SegStart, 103, 100);
}

TEST_F(DrawingTools, ThreeThenTwoQuadraticPressesGiveTwoChainedElements)
{
    press(0, 100, T::Bezier1);
    press(30, 100, T::Bezier1);
    EXPECT_EQ(count(), 0);
    press(15, 80, T::Bezier1);
    press(60, 100, T::Bezier1);
    press(45, 120, T::Bezier1);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).Kind, KindQuadBezier);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Ctrl1, 15, 80);
    EXPECT_EQ(element(1).Kind, KindQuadBezier);
    EXPECT_EQ(element(1).ChainPos, 1);
    EXPECT_POINT(element(1).Start, 30, 100);
    EXPECT_POINT(element(1).End, 60, 100);
    EXPECT_POINT(element(1).Ctrl1, 45, 120);
}

TEST_F(DrawingTools, RightButtonDropsAHalfPlacedCubicAndTheNextChainStartsAtZero)
{
    for (QPoint p : { QPoint(0, 0), QPoint(100, 0), QPoint(30, 30), QPoint(70, 30) })
        press(p.x(), p.y(), T::Bezier2);
    ASSERT_EQ(count(), 1);
    press(200, 0, T::Bezier2); // the end of a second cubic
    press(150, 150, T::Bezier2, MouseButton::Right);
    release(150, 150, T::Bezier2, MouseButton::Right);
    EXPECT_FALSE(drawing.Drawing);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(host.repaints, 1);

    for (QPoint p : { QPoint(0, 200), QPoint(100, 200), QPoint(30, 230), QPoint(70, 230) })
        press(p.x(), p.y(), T::Bezier2);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(1).ChainPos, 0);
    EXPECT_POINT(element(1).Start, 0, 200);
}

TEST_F(DrawingTools, CloseBtnEndsTheChainAndMarksOnlyTheLastElement)
{
    press(10, 10, T::Linie1);
    tools.CloseBtnClick(); // empty list: only the chain ends
    EXPECT_FALSE(drawing.Drawing);
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(host.repaints, 1);

    press(10, 10, T::Linie1);
    press(60, 10, T::Linie1);
    press(160, 160, T::CircleBtn); // the chain goes on: an ellipse from (60, 10)
    tools.CloseBtnClick();
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).ClosesChain, 0);
    EXPECT_EQ(element(1).Kind, KindEllipse);
    EXPECT_EQ(element(1).ClosesChain, 1);
}

TEST_F(DrawingTools, BreakBtnThenAPressAtTheOldEndStartsANewChainThere)
{
    press(0, 0, T::Linie1);
    press(50, 0, T::Linie1);
    tools.BreakBtnClick();
    EXPECT_FALSE(drawing.Drawing);
    press(52, 2, T::Linie1);
    press(50, 50, T::Linie1);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(1).ChainPos, 0);
    EXPECT_POINT(element(1).Start, 50, 0);
}

// A chain in progress survives "Linien Neu", an opened project and an area delete; what it
// appends next must still number its chain from 0 without gaps, and never join another chain.
TEST_F(DrawingTools, ChainInProgressNumbersOnFromWhatIsLeftOfIt)
{
    struct Case
    {
        const char *name;
        int otherChain; // elements of a finished chain drawn first
        int dropFromEnd; // records removed from the end of the list
        bool dropMiddle; // the chain's middle element removed instead
        std::int32_t expected;
    };
    const Case cases[] = {
        { "untouched", 0, 0, false, 3 },
        { "list cleared", 0, 3, false, 0 },
        { "middle deleted", 0, 0, true, 2 },
        { "chain deleted after a longer chain", 4, 3, false, 0 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        host.list.Clear();
        for (int i = 0; i < c.otherChain; ++i)
            add(i, KindLine, { 0.0 + i, 200 }, { 1.0 + i, 200 });
        drawing = DrawingTool {};
        for (int x : { 0, 40, 80, 120 })
            press(x, 0, T::Linie1);
        for (int i = 0; i < c.dropFromEnd; ++i)
            host.list.Delete(count() - 1);
        if (c.dropMiddle) {
            host.list.Get(count() - 2)->SelStart = 1;
            deleteSelectedElements(host.list); // renumbers the rest of the chain
        }
        press(160, 0, T::Linie1);
        EXPECT_EQ(element(count() - 1).ChainPos, c.expected);
    }
}

TEST_F(DrawingTools, CubicRubberBandHasBothControlPointsAtThePointer)
{
    press(0, 0, T::Bezier2);
    press(100, 0, T::Bezier2);
    const RubberBand band = drawing.rubberBand(host.at(50, 40, T::Bezier2), host.list, 100);
    EXPECT_EQ(band.shape, RubberBand::Shape::Cubic);
    EXPECT_POINT(band.end, 100, 0);
    EXPECT_POINT(band.c1, 50, 40);
    EXPECT_POINT(band.c2, 50, 40);

    // Through the handler: painted over the buffer and shown. The curve's middle lies at
    // (50, 30), three quarters of the way to the pointer.
    move(50, 40, T::Bezier2);
    EXPECT_EQ(host.bufferRepaints, 1);
    EXPECT_EQ(host.shows, 1);
    EXPECT_EQ(host.helperLines, 1);
    EXPECT_EQ(host.buffer.pixel(50, 30), qRgb(255, 0, 0));
    EXPECT_EQ(host.buffer.pixel(50, 40), qRgb(255, 255, 255));
    EXPECT_EQ(count(), 0); // the segment's stored points do not change either
    EXPECT_POINT(drawing.SegEnd, 100, 0);
}

TEST_F(DrawingTools, RubberBandOfEachPhase)
{
    press(0, 0, T::Bezier1);
    auto band = drawing.rubberBand(host.at(60, 30, T::Bezier1), host.list, 100);
    EXPECT_EQ(band.shape, RubberBand::Shape::Line);
    EXPECT_POINT(band.end, 60, 30);
    press(90, 0, T::Bezier1);
    band = drawing.rubberBand(host.at(30, 60, T::Bezier1), host.list, 100);
    // The quadratic whose control point is the pointer, raised to a cubic.
    EXPECT_EQ(band.shape, RubberBand::Shape::Cubic);
    EXPECT_POINT(band.c1, 20, 40);
    EXPECT_POINT(band.c2, 50, 40);

    drawing.endChain();
    press(0, 100, T::Bezier2);
    press(90, 100, T::Bezier2);
    press(20, 150, T::Bezier2);
    band = drawing.rubberBand(host.at(70, 140, T::Bezier2), host.list, 100);
    EXPECT_POINT(band.c1, 20, 150);
    EXPECT_POINT(band.c2, 70, 140);
    EXPECT_POINT(band.end, 90, 100);
}

TEST_F(DrawingTools, RubberBandUsesTheDrawingPenAtTheZoom)
{
    host.zoomValue = 200;
    host.lineWidthValue = 1.5; // 3 pixels at 200 %
    press(0, 100, T::Linie1);
    move(200, 100, T::Linie1);
    for (int y = 99; y <= 101; ++y)
        EXPECT_EQ(host.buffer.pixel(100, y), qRgb(255, 0, 0)) << y;
    EXPECT_EQ(host.buffer.pixel(100, 98), qRgb(255, 255, 255));
    EXPECT_EQ(host.buffer.pixel(100, 102), qRgb(255, 255, 255));
}

TEST_F(DrawingTools, KindComesFromPlacedPointsWhenTheToolChangesMidSegment)
{
    press(0, 0, T::Bezier2);
    press(100, 0, T::Bezier2);
    press(30, 30, T::Bezier2);
    move(70, 30, T::Zeiger1); // a non-drawing tool down: the band follows SegClicks
    EXPECT_EQ(host.bufferRepaints, 1);
    press(70, 30, T::Linie1);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).Kind, KindCubicBezier);
    EXPECT_POINT(element(0).Ctrl1, 30, 30);
    EXPECT_POINT(element(0).Ctrl2, 70, 30);
}

TEST_F(DrawingTools, ToolChoiceAndNodePressesLeaveTheChainInProgress)
{
    press(0, 0, T::Linie1);
    press(200, 200, T::Zeiger1); // node selection takes the press; it misses
    release(200, 200, T::Zeiger1);
    move(40, 0, T::Zeiger1);
    EXPECT_TRUE(drawing.Drawing);
    press(40, 0, T::Linie1);
    ASSERT_EQ(count(), 1);
    EXPECT_POINT(element(0).Start, 0, 0);
}

TEST_F(DrawingTools, SmoothChainHasContinuousTangents)
{
    add(0, KindLine, { 0, 0 }, { -100, 0 });
    press(3, 3, T::bezierbtn3); // snaps to (0, 0)
    press(100, 0, T::bezierbtn3);

    // While the handle is placed, the band shows it: a white-on-black line from the pointer
    // to its mirror, with a node marker at the pointer.
    move(150, 50, T::bezierbtn3);
    EXPECT_POINT(drawing.Mirror, 50, -50);
    EXPECT_EQ(host.buffer.pixel(156, 50), qRgb(0, 0, 0));
    EXPECT_EQ(host.buffer.pixel(155, 50), qRgb(255, 255, 255));
    EXPECT_EQ(host.buffer.pixel(157, 50), qRgb(255, 255, 255));
    EXPECT_EQ(host.buffer.pixel(125, 25), qRgb(255, 255, 255));
    EXPECT_EQ(host.buffer.pixel(125, 24), qRgb(0, 0, 0));

    press(150, 50, T::bezierbtn3);
    press(200, 0, T::bezierbtn3);
    press(250, -40, T::bezierbtn3);
    ASSERT_EQ(count(), 3);
    const TDrawElement &a = element(1);
    const TDrawElement &b = element(2);
    EXPECT_EQ(a.Kind, KindCubicBezier);
    EXPECT_EQ(b.Kind, KindCubicBezier);
    EXPECT_EQ(b.ChainPos, 1);
    EXPECT_POINT(a.Start, 0, 0);
    EXPECT_POINT(a.Ctrl1, 3, 3); // the first pressed position
    EXPECT_POINT(a.Ctrl2, 50, -50);
    EXPECT_POINT(b.Start, 100, 0);
    EXPECT_POINT(b.Ctrl1, 150, 50);
    EXPECT_POINT(b.Ctrl2, 150, 40);
    // Opposite handles about the joint.
    EXPECT_POINT(a.Ctrl2 - a.End, -(b.Ctrl1 - b.Start).x, -(b.Ctrl1 - b.Start).y);
}

void *failingAllocator(std::size_t)
{
    return nullptr;
}

TEST_F(DrawingTools, FailedAppendKeepsTheSegmentForTheNextPress)
{
    std::string shown;
    DynaArrayBase::setAllocationFailureHandler([&](const std::string &m) { shown = m; });
    press(0, 0, T::bezierbtn3);
    press(100, 0, T::bezierbtn3);
    DynaArrayBase::setBlockAllocator(&failingAllocator);
    press(150, 50, T::bezierbtn3);
    DynaArrayBase::setBlockAllocator(nullptr);
    DynaArrayBase::setAllocationFailureHandler(nullptr);
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(drawing.phase(), DrawingTool::Phase::WaitingForControl);

    press(150, 50, T::bezierbtn3);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Ctrl2, 50, -50);
}

TEST_F(DrawingTools, PanAndRightButtonComeBeforeEveryOtherBranch)
{
    press(0, 0, T::Linie1);
    press(50, 50, T::HandBtn);
    EXPECT_TRUE(host.panning);
    move(60, 60, T::HandBtn);
    EXPECT_EQ(host.panSteps, 1);
    EXPECT_EQ(host.bufferRepaints, 0); // no rubber band while panning
    EXPECT_EQ(host.helperLines, 1);
    release(60, 60, T::HandBtn);
    EXPECT_FALSE(host.panning);
    EXPECT_EQ(count(), 0);

    press(50, 50, T::Zeiger1, MouseButton::Right);
    EXPECT_FALSE(drawing.Drawing);
    EXPECT_FALSE(editing.NodeDragging);
}

TEST(LeftCtrlTracker, FollowsOnlyTheLeftKeyAndNeverOutlivesTheModifier)
{
    LeftCtrlTracker keys;
    keys.keyPressed(LeftCtrlTracker::RightCtrlKeysym);
    EXPECT_FALSE(keys.held(true));
    keys.keyPressed(LeftCtrlTracker::LeftCtrlKeysym);
    EXPECT_TRUE(keys.held(true));
    EXPECT_FALSE(keys.held(false)); // a release missed while another window had the focus
    keys.keyReleased(LeftCtrlTracker::RightCtrlKeysym);
    EXPECT_TRUE(keys.held(true));
    keys.keyReleased(LeftCtrlTracker::LeftCtrlKeysym);
    EXPECT_FALSE(keys.held(true));
    keys.keyPressed(LeftCtrlTracker::LeftCtrlKeysym);
    keys.reset();
    EXPECT_FALSE(keys.held(true));
}

TEST(LeftCtrlTracker, AMousePressAsksTheKeyboardWhereItCanAndKeepsTheKeyEventsOtherwise)
{
    // Whether the key events saw the left key go down, what the keyboard says at the press
    // (no value: it cannot tell), and whether the key counts as held afterwards.
    const struct
    {
        bool pressSeen;
        std::optional<bool> keyboard;
        bool held;
    } cases[] = {
        { false, true, true }, // pressed before the window became active
        { true, false, false }, // released while another window was active
        { true, std::nullopt, true },
        { false, std::nullopt, false },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        LeftCtrlTracker keys;
        int asked = 0;
        keys.setKeyboardQuery([&] {
            ++asked;
            return c.keyboard;
        });
        if (c.pressSeen)
            keys.keyPressed(LeftCtrlTracker::LeftCtrlKeysym);
        EXPECT_EQ(asked, 0); // key events never ask
        keys.pointerPressed();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(keys.held(true), c.held);
    }
}

} // namespace
