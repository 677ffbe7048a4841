#include "FakeToolHost.h"
#include "document/ElementIndex.h"

#include <cstring>
#include <random>

namespace {

using T = ToolButton;

class NodeEditing : public ToolTest
{
protected:
    // Drags an area with one of the area tools from one drawing-area point to another.
    void dragArea(T tool, QPoint from, QPoint to)
    {
        press(from.x(), from.y(), tool);
        move(to.x(), to.y(), tool);
        release(to.x(), to.y(), tool);
    }
    // A chain of lines through the given points.
    void addPolyline(std::initializer_list<TPointD> points)
    {
        const TPointD *p = points.begin();
        for (std::int32_t i = 0; p + 1 != points.end(); ++p, ++i)
            add(i, KindLine, p[0], p[1]);
    }
};

TEST_F(NodeEditing, PressOnAJointDragsBothPointsTogether)
{
    addPolyline({ { 0, 0 }, { 50, 0 }, { 100, 0 } });
    press(52, 1, T::Zeiger1);
    EXPECT_TRUE(editing.NodeDragging);
    EXPECT_EQ(element(0).SelEnd, 1);
    EXPECT_EQ(element(1).SelStart, 1);
    EXPECT_EQ(element(0).SelStart + element(1).SelEnd, 0);
    EXPECT_EQ(host.repaints, 0);

    move(62, 21, T::Zeiger1);
    move(57, 11, T::Zeiger1);
    // The points keep their offset from the pointer and do not snap.
    EXPECT_POINT(element(0).End, 55, 10);
    EXPECT_POINT(element(1).Start, 55, 10);
    EXPECT_POINT(element(0).Start, 0, 0);
    EXPECT_EQ(host.repaints, 2);

    release(57, 11, T::Zeiger1);
    EXPECT_FALSE(editing.NodeDragging);
    EXPECT_EQ(host.repaints, 3);
    EXPECT_EQ(element(0).SelEnd, 1); // flags stay until the next selection
}

TEST_F(NodeEditing, AMissSelectsNothingAndDragsNothing)
{
    addPolyline({ { 0, 0 }, { 50, 0 } });
    click(0, 0, T::Zeiger1);
    press(200, 200, T::Zeiger1);
    EXPECT_FALSE(editing.NodeDragging);
    EXPECT_EQ(element(0).SelStart, 0);
    move(220, 220, T::Zeiger1);
    EXPECT_POINT(element(0).Start, 0, 0);
}

TEST_F(NodeEditing, LineAndEllipseControlPointsAreNeverHit)
{
    add(0, KindLine, { 0, 0 }, { 10, 0 }, { 100, 100 }, { 100, 100 });
    add(0, KindEllipse, { 0, 50 }, { 10, 60 }, { 100, 100 }, { 100, 100 });
    add(0, KindQuadBezier, { 0, 150 }, { 10, 150 }, { 200, 200 }, { 100, 100 });
    press(100, 100, T::Zeiger1);
    EXPECT_FALSE(editing.NodeDragging);

    dragArea(T::VerschiebBtn, { 95, 95 }, { 105, 105 });
    EXPECT_EQ(element(0).SelStart + element(1).SelStart + element(2).SelStart, 0);

    // A cubic curve whose only point in the area is Ctrl2 is deleted; the others stay.
    add(0, KindCubicBezier, { 0, 250 }, { 10, 250 }, { 5, 280 }, { 100, 100 });
    click(100, 100, T::DelBtn);
    ASSERT_EQ(count(), 3);
    EXPECT_EQ(element(2).Kind, KindQuadBezier);
}

TEST_F(NodeEditing, AreaMarginIsThreePictureUnitsAtEveryZoom)
{
    // At 1000 % the area (10, 10)-(20, 20) is drawn at 100..200; a point 25 screen pixels
    // outside the drawn rectangle lies 2.5 picture units outside and is still in the area.
    host.zoomValue = 1000;
    add(0, KindLine, { 22.5, 15 }, { 60, 60 });
    add(0, KindLine, { 23.5, 15 }, { 60, 60 });
    dragArea(T::DelBtn, { 100, 100 }, { 200, 200 });
    ASSERT_EQ(count(), 1);
    EXPECT_DOUBLE_EQ(element(0).Start.x, 23.5);

    // At 10 % one screen pixel outside is ten picture units outside.
    host.list.Clear();
    host.zoomValue = 10;
    add(0, KindLine, { 210, 150 }, { 600, 600 });
    add(0, KindLine, { 203, 150 }, { 600, 600 });
    dragArea(T::DelBtn, { 10, 10 }, { 20, 20 });
    ASSERT_EQ(count(), 1);
    EXPECT_DOUBLE_EQ(element(0).Start.x, 210);
}

TEST_F(NodeEditing, ClickWithDelBtnDeletesWhatLiesWithinThreeUnits)
{
    add(0, KindLine, { 53, 47 }, { 150, 150 });
    add(0, KindLine, { 150, 150 }, { 53.5, 50 });
    add(0, KindLine, { 200, 200 }, { 250, 250 });
    click(50, 50, T::DelBtn);
    ASSERT_EQ(count(), 2);
    EXPECT_POINT(element(0).End, 53.5, 50);
    EXPECT_FALSE(editing.AreaDeleting);
    EXPECT_EQ(host.repaints, 1);
}

TEST_F(NodeEditing, DeletedInnerElementsAreBridged)
{
    // Three elements; only the middle one has a point (a control point) off the chain.
    add(0, KindLine, { 0, 0 }, { 10, 0 });
    add(1, KindCubicBezier, { 10, 0 }, { 20, 0 }, { 15, 50 }, { 16, 50 });
    add(2, KindLine, { 20, 0 }, { 30, 0 });
    click(15, 50, T::DelBtn);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_EQ(element(1).ChainPos, 1);
    EXPECT_POINT(element(1).Start, 10, 0);
    EXPECT_POINT(element(1).End, 30, 0);

    // Two neighbours deleted at once are bridged one after the other, walking backwards.
    host.list.Clear();
    add(0, KindLine, { 0, 0 }, { 10, 0 });
    add(1, KindQuadBezier, { 10, 0 }, { 20, 0 }, { 15, 50 });
    add(2, KindQuadBezier, { 20, 0 }, { 30, 0 }, { 25, 50 });
    add(3, KindLine, { 30, 0 }, { 40, 0 }).ClosesChain = 1;
    add(0, KindLine, { 0, 100 }, { 10, 100 });
    dragArea(T::DelBtn, { 14, 48 }, { 26, 52 });
    ASSERT_EQ(count(), 3);
    EXPECT_EQ(element(1).ChainPos, 1);
    EXPECT_POINT(element(1).Start, 10, 0);
    EXPECT_EQ(element(1).ClosesChain, 1); // an inner deletion keeps the chain closed
    EXPECT_EQ(element(2).ChainPos, 0);
}

TEST_F(NodeEditing, DeletingTheFirstElementOpensAClosedChain)
{
    add(0, KindLine, { 0, 0 }, { 40, 0 });
    add(1, KindLine, { 40, 0 }, { 40, 40 });
    add(2, KindLine, { 40, 40 }, { 0, 40 }).ClosesChain = 1;
    click(0, 0, T::DelBtn);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Start, 40, 0); // not bridged: it becomes the chain's start
    EXPECT_EQ(element(1).ChainPos, 1);
    EXPECT_EQ(element(1).ClosesChain, 0);
}

TEST_F(NodeEditing, DeletingAWholeChainLeavesTheOthersUntouched)
{
    addPolyline({ { 0, 0 }, { 20, 0 }, { 20, 20 } });
    add(0, KindLine, { 100, 100 }, { 120, 100 });
    add(1, KindCubicBezier, { 120, 100 }, { 120, 120 }, { 140, 100 }, { 140, 120 });
    add(0, KindEllipse, { 0, 200 }, { 30, 230 }).ClosesChain = 1;
    std::vector<TDrawElement> before;
    for (int i : { 0, 1, 4 })
        before.push_back(element(i));

    dragArea(T::DelBtn, { 90, 90 }, { 150, 130 });
    ASSERT_EQ(count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&element(i), &before[static_cast<std::size_t>(i)], 136), 0) << i;
}

TEST_F(NodeEditing, AreaRectangleIsGreenThreePixelsOverTheBuffer)
{
    press(20, 20, T::DelBtn);
    move(60, 50, T::DelBtn);
    EXPECT_EQ(host.bufferRepaints, 1);
    EXPECT_EQ(host.shows, 1);
    EXPECT_EQ(host.helperLines, 1);
    const QRgb green = qRgb(0, 128, 0);
    EXPECT_EQ(host.buffer.pixel(40, 19), green);
    EXPECT_EQ(host.buffer.pixel(40, 21), green);
    EXPECT_EQ(host.buffer.pixel(40, 23), qRgb(255, 255, 255));
    EXPECT_EQ(host.buffer.pixel(60, 35), green);
    EXPECT_EQ(host.buffer.pixel(40, 50), green);
    EXPECT_EQ(host.buffer.pixel(20, 35), green);
    EXPECT_EQ(host.buffer.pixel(40, 35), qRgb(255, 255, 255));
}

TEST_F(NodeEditing, AreaMoveCarriesWholeChainsUntilTheNextRelease)
{
    addPolyline({ { 0, 0 }, { 20, 0 }, { 20, 20 }, { 40, 20 } });
    add(0, KindLine, { 100, 100 }, { 120, 100 });
    const TDrawElement other = element(3);

    // The area holds only the middle element's End; the whole chain is picked up.
    dragArea(T::VerschiebBtn, { 18, 18 }, { 22, 22 });
    EXPECT_TRUE(editing.NodeDragging);
    EXPECT_EQ(element(0).SelCtrl2, 1);
    EXPECT_EQ(element(3).SelStart, 0);

    // Moves without a button carry the chain by the pointer's displacement from the release.
    move(32, 27, T::VerschiebBtn);
    EXPECT_POINT(element(0).Start, 10, 5);
    EXPECT_POINT(element(2).End, 50, 25);
    EXPECT_EQ(std::memcmp(&element(3), &other, 136), 0);

    // A pan in between does not put the chain down.
    press(0, 0, T::HandBtn);
    move(5, 5, T::HandBtn);
    release(5, 5, T::HandBtn);
    EXPECT_TRUE(editing.NodeDragging);
    move(22, 26, T::HandBtn);
    EXPECT_POINT(element(0).Start, 0, 4);

    // A click elsewhere with VerschiebBtn selects nothing: nothing follows any more.
    press(200, 200, T::VerschiebBtn);
    move(210, 210, T::VerschiebBtn);
    EXPECT_POINT(element(0).Start, 0, 4); // nothing is carried during the area drag
    release(210, 210, T::VerschiebBtn);
    move(250, 250, T::VerschiebBtn);
    EXPECT_POINT(element(0).Start, 0, 4);

    // A release that ends neither an area drag nor a pan puts everything down.
    dragArea(T::VerschiebBtn, { 98, 98 }, { 102, 102 });
    press(150, 150, T::Linie1);
    EXPECT_TRUE(editing.NodeDragging);
    release(150, 150, T::Linie1);
    EXPECT_FALSE(editing.NodeDragging);
}

TEST_F(NodeEditing, OpeningAProjectWhileCarryingLeavesItsSavedSelectionAlone)
{
    addPolyline({ { 0, 0 }, { 20, 0 } });
    dragArea(T::VerschiebBtn, { 0, 0 }, { 1, 1 });
    press(0, 0, T::Linie1); // a chain in progress, which opening a project keeps

    // The opened drawing was saved with a point selected.
    host.list.Clear();
    add(0, KindLine, { 50, 50 }, { 80, 50 }).SelEnd = 1;
    host.list.Get(0)->DragEnd = { 80, 50 };
    tools.documentReplaced();
    move(40, 40, T::Linie1);
    EXPECT_POINT(element(0).End, 80, 50);
    EXPECT_TRUE(drawing.Drawing);
}

TEST_F(NodeEditing, AreaDeleteWhileCarryingLeavesNothingToCarry)
{
    addPolyline({ { 0, 0 }, { 20, 0 } });
    add(0, KindLine, { 100, 100 }, { 120, 100 });
    dragArea(T::VerschiebBtn, { 0, 0 }, { 1, 1 });
    dragArea(T::DelBtn, { 100, 100 }, { 101, 101 });
    ASSERT_EQ(count(), 1);
    move(50, 50, T::DelBtn);
    EXPECT_POINT(element(0).Start, 0, 0);

    // A new element drawn into the slot that the deleted record left keeps none of its
    // selection or drag state.
    press(0, 200, T::Linie1);
    press(50, 200, T::Linie1);
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(
        element(1).SelStart + element(1).SelEnd + element(1).SelCtrl1 + element(1).SelCtrl2, 0);
    EXPECT_POINT(element(1).DragStart, 0, 0);
}

} // namespace

namespace {

class IndexedHost : public FakeToolHost
{
public:
    ElementIndex *elementIndex() override { return &index; }
    ElementIndex index;
};

} // namespace

// The same random presses, drags and releases of the node, area and drawing tools, on one
// window with an index and one without, must leave the two drawings the same byte for byte:
// the index only spares the tools from looking at elements far from the pointer.
TEST(NodeEditingWithAnIndex, DoesWhatAWalkOverEveryElementDoes)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> pos(0, 299), pick(0, 99);
    FakeToolHost plain;
    IndexedHost indexed;
    ToolController plainTools(plain);
    ToolController indexedTools(indexed);
    for (int i = 0; i < 600; ++i) {
        TDrawElement e {};
        e.ChainPos = i % 4;
        e.Kind = i % 4 == 1 ? KindQuadBezier : i % 4 == 2 ? KindCubicBezier : KindLine;
        e.Start =
            i % 4 ? plain.list.at(i - 1).End : TPointD { pos(random) * 1.0, pos(random) * 1.0 };
        e.End = { e.Start.x + pick(random) % 21 - 10, e.Start.y + pick(random) % 21 - 10 };
        e.Ctrl1 = { e.Start.x + 3, e.End.y - 2 };
        e.Ctrl2 = { e.End.x - 4, e.Start.y + 1 };
        e.ClosesChain = i % 4 == 3 && pick(random) < 50;
        *plain.list.Append() = e;
        *indexed.list.Append() = e;
    }
    const ToolButton tools[] = { ToolButton::Zeiger1, ToolButton::DelBtn, ToolButton::VerschiebBtn,
        ToolButton::Bezier2 };
    int lastX = 0, lastY = 0;
    int current = 0;
    for (int step = 0; step < 300; ++step) {
        const ToolButton tool = tools[pick(random) % 4];
        // Every other press lands where the last drag ended, on the points it moved.
        const bool again = pick(random) < 50;
        const int x = again ? lastX : pos(random), y = again ? lastY : pos(random);
        const int toX = x + pick(random) % 41 - 20, toY = y + pick(random) % 41 - 20;
        for (auto [host, controller] :
            { std::pair<FakeToolHost *, ToolController *> { &plain, &plainTools },
                { &indexed, &indexedTools } }) {
            host->zoomValue = 100 + step % 3 * 50;
            // The window without an index also keeps the tools from trusting what they know
            // of the flags, so that it walks every record as the tools always did.
            if (host == &plain)
                host->list.markChanged();
            controller->PaintBox1MouseDown(host->at(x, y, tool));
            controller->PaintBox1MouseMove(host->at(toX, toY, tool));
            controller->PaintBox1MouseUp(host->at(toX, toY, tool));
            if (step % 10 == 0)
                controller->BreakBtnClick();
            if (step % 37 == 0
                && host->list.Count() > 0) // a change the tools do not see, as an undo makes
                host->list.Get(step % static_cast<std::int32_t>(host->list.Count()))->Start.x += 7;
        }
        lastX = toX;
        lastY = toY;
        ASSERT_EQ(plain.list.Count(), indexed.list.Count()) << "step " << step;
        ASSERT_EQ(std::memcmp(&plain.list.at(0), &indexed.list.at(0),
                      plain.list.Count() * sizeof(TDrawElement)),
            0)
            << "step " << step;
        // What the tools told the index of their changes keeps it naming every element near a
        // place, without a rebuild.
        if (indexed.index.current(indexed.list)) {
            ++current;
            const double qx = pos(random), qy = pos(random);
            const TBoxD box { qx, qy, qx + pick(random), qy + pick(random) };
            const std::vector<std::int32_t> named = indexed.index.query(indexed.list, box);
            for (std::int32_t i = 0; i < static_cast<std::int32_t>(indexed.list.Count()); ++i) {
                const TBoxD b = elementBox(indexed.list, i);
                const bool meets = !(b.right < box.left || b.left > box.right || b.bottom < box.top
                    || b.top > box.bottom);
                ASSERT_TRUE(!meets || std::binary_search(named.begin(), named.end(), i))
                    << "step " << step << " element " << i;
            }
        }
    }
    EXPECT_GT(current, 200);
}
