#include "FakeToolHost.h"
#include "tools/NodeEditTool.h"
#include "tools/StatusReadout.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

using T = ToolButton;

// 72 dpi: 72 picture pixels are 25.39995 mm or one inch.
const ReadoutUnit Mm(72 / 25.39995, true);
const ReadoutUnit Inch(72, false);

class Measuring : public ToolTest
{
protected:
    ToolEvent ev(int x, int y, ToolButton tool, bool shift = false, bool ctrl = false,
        bool leftCtrl = false) const
    {
        ToolEvent e = host.at(x, y, tool, MouseButton::Left, ctrl, leftCtrl);
        e.shiftHeld = shift;
        return e;
    }
};

TEST_F(Measuring, ShiftStepsEveryFifteenDegreesAtThePointersDistance)
{
    const TPointD start { 150, 150 };
    for (int k = 0; k < 24; ++k) {
        SCOPED_TRACE(k * 15);
        // The pointer 6 degrees past the step, which it must fall back to.
        const double a = (k * 15 + 6) * std::numbers::pi / 180;
        const int x = static_cast<int>(std::lround(start.x + 100 * std::cos(a)));
        const int y = static_cast<int>(std::lround(start.y - 100 * std::sin(a)));
        host.list.Clear();
        drawing.endChain();
        press(150, 150, T::Linie1);
        tools.PaintBox1MouseDown(ev(x, y, T::Linie1, true));
        ASSERT_EQ(count(), 1);
        const TPointD end = element(0).End;
        EXPECT_NEAR(std::hypot(end.x - start.x, end.y - start.y),
            std::hypot(x - start.x, y - start.y), 1e-9);
        EXPECT_EQ(angleText(start, end), QString::number(k * 15) + QStringLiteral(".0°"));
        // Along the axes the line is exactly horizontal or vertical.
        if (k % 6 == 0) {
            EXPECT_TRUE(end.x == start.x || end.y == start.y);
        }
    }

    // A cubic curve's second control point is stepped around the curve's end.
    host.list.Clear();
    drawing.endChain();
    press(0, 0, T::Bezier2);
    press(100, 0, T::Bezier2);
    press(30, 30, T::Bezier2);
    tools.PaintBox1MouseDown(ev(140, 3, T::Bezier2, true));
    ASSERT_EQ(count(), 1);
    EXPECT_POINT(element(0).Ctrl2, 100 + std::hypot(40, 3), 0);
}

TEST_F(Measuring, SnappingWinsOverTheAngleStepAndCtrlLeavesOnlyTheStep)
{
    add(0, KindLine, { 203, 160 }, { 280, 280 });
    press(100, 100, T::Linie1);
    tools.PaintBox1MouseMove(ev(201, 162, T::Linie1, true));
    EXPECT_POINT(drawing.CurPt, 203, 160);
    tools.PaintBox1MouseDown(ev(201, 162, T::Linie1, true));
    EXPECT_POINT(element(1).End, 203, 160);

    // With Ctrl nothing snaps, so the step applies: 30 degrees below the x axis.
    tools.PaintBox1MouseDown(ev(203 + 87, 160 + 50, T::Linie1, true, true));
    EXPECT_EQ(angleText(element(2).Start, element(2).End), QStringLiteral("330.0°"));
}

TEST_F(Measuring, TwoPointsSevenHundredTwentyPixelsApartAt72DpiMeasure254Mm)
{
    add(0, KindLine, { 12, 40 }, { 12, 200 });
    press(10, 42, T::MessBtn); // snaps onto (12, 40)
    press(732, 40, T::MessBtn, MouseButton::Left, true); // Ctrl: exactly where pressed
    const MeasureTool &m = tools.measure();
    ASSERT_EQ(m.phase(), MeasureTool::Phase::Done);
    const ToolEvent pointer = ev(732, 40, T::MessBtn);
    EXPECT_EQ(statusReadout(tools, pointer, Mm, {}).segment,
        QStringLiteral("Abstand: 254.00 mm   Winkel: 0.0°"));
    EXPECT_EQ(statusReadout(tools, pointer, Inch, {}).segment,
        QStringLiteral("Abstand: 10.000 Zoll   Winkel: 0.0°"));
    EXPECT_EQ(count(), 1); // measuring never changes the drawing
    // The next press starts a new measurement.
    press(100, 100, T::MessBtn);
    EXPECT_EQ(m.phase(), MeasureTool::Phase::Placing);
}

// The status bar after a sequence of presses and a final move, in millimetres.
TEST_F(Measuring, StatusBarTellsPositionSegmentAndNextClickForEveryToolState)
{
    struct Step
    {
        int x;
        int y;
        bool press;
    };
    struct Case
    {
        const char *name;
        ToolButton tool;
        std::vector<Step> steps; // the last one is the move the readout follows
        bool leftCtrl;
        const char *segment;
        const char *hint;
    };
    const char *const chainEnd = "; rechte Maustaste: Kette beenden";
    const Case cases[] = {
        { "no tool", T::None, { { 72, 144, false } }, false, "", "" },
        { "line idle", T::Linie1, { { 72, 144, false } }, false, "", "Anfangspunkt klicken" },
        { "line end, 45 degrees up", T::Linie1, { { 0, 144, true }, { 72, 72, false } }, false,
            "Länge: 35.92 mm   Winkel: 45.0°",
            "Endpunkt klicken; Zahl eintippen: Länge; rechte Maustaste: Kette beenden" },
        { "quadratic control", T::Bezier1, { { 0, 0, true }, { 72, 0, true }, { 72, 72, false } },
            false, "Länge: 35.92 mm   Winkel: 315.0°", "Kontrollpunkt klicken" },
        { "cubic first control", T::Bezier2, { { 0, 0, true }, { 72, 0, true }, { 0, 72, false } },
            false, "Länge: 25.40 mm   Winkel: 270.0°", "ersten Kontrollpunkt klicken" },
        { "cubic second control, from the end", T::Bezier2,
            { { 0, 0, true }, { 72, 0, true }, { 0, 72, true }, { 144, 0, false } }, false,
            "Länge: 25.40 mm   Winkel: 0.0°", "zweiten Kontrollpunkt klicken" },
        { "smooth handle", T::bezierbtn3, { { 0, 0, true }, { 72, 0, true }, { 72, 72, false } },
            false, "Länge: 25.40 mm   Winkel: 270.0°", "Anfasser klicken" },
        { "ellipse idle", T::CircleBtn, { { 72, 144, false } }, false, "", "erste Ecke klicken" },
        { "ellipse", T::CircleBtn, { { 0, 0, true }, { 72, 36, false } }, false,
            "Breite: 25.40 mm   Höhe: 12.70 mm", "gegenüberliegende Ecke klicken" },
        { "circle", T::CircleBtn, { { 0, 0, true }, { 72, 36, false } }, true, "Radius: 6.35 mm",
            "gegenüberliegende Ecke klicken" },
        { "pan", T::HandBtn, { { 72, 144, false } }, false, "", "ziehen: Ansicht verschieben" },
        { "nodes", T::Zeiger1, { { 72, 144, false } }, false, "",
            "Punkt ziehen; Doppelklick: Punkt bearbeiten" },
        { "area delete", T::DelBtn, { { 72, 144, false } }, false, "",
            "Bereich aufziehen: Objekte löschen" },
        { "area move", T::VerschiebBtn, { { 72, 144, false } }, false, "",
            "Bereich aufziehen: Objekte verschieben" },
        { "measure idle", T::MessBtn, { { 72, 144, false } }, false, "", "ersten Punkt klicken" },
        { "measure second point follows", T::MessBtn, { { 0, 144, true }, { 0, 72, false } }, false,
            "Abstand: 25.40 mm   Winkel: 90.0°", "zweiten Punkt klicken" },
        { "measured", T::MessBtn, { { 0, 144, true }, { 0, 72, true }, { 300, 300, false } }, false,
            "Abstand: 25.40 mm   Winkel: 90.0°", "klicken: neu messen" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ToolController fresh(host);
        ToolEvent last;
        for (const Step &s : c.steps) {
            last = ev(s.x, s.y, c.tool, false, c.leftCtrl, c.leftCtrl);
            if (s.press)
                fresh.PaintBox1MouseDown(last);
            else
                fresh.PaintBox1MouseMove(last);
        }
        const StatusReadout r = statusReadout(fresh, last, Mm, {});
        EXPECT_EQ(r.segment, QString::fromUtf8(c.segment));
        QString hint = QString::fromUtf8(c.hint);
        if (fresh.drawing().Drawing && !hint.endsWith(QLatin1String(chainEnd)))
            hint += QLatin1String(chainEnd);
        EXPECT_EQ(r.hint, hint);
    }

    // The position follows the exports: x to the right, y up from the picture's top edge.
    const ToolEvent pointer = ev(72, 144, T::None);
    EXPECT_EQ(statusReadout(tools, pointer, Mm, {}).position,
        QStringLiteral("X: 25.40  Y: -50.80 mm   72, 144 px"));
    EXPECT_EQ(statusReadout(tools, pointer, Inch, {}).position,
        QStringLiteral("X: 1.000  Y: -2.000 Zoll   72, 144 px"));
    // The top edge shows no negative zero; a pixel is named by its top-left corner.
    host.zoomValue = 400;
    EXPECT_EQ(statusReadout(tools, ev(3, 0, T::None), Mm, {}).position,
        QStringLiteral("X: 0.26  Y: 0.00 mm   0, 0 px"));
}

TEST_F(Measuring, TypedLengthPlacesTheLineEndExactlyAlongThePointer)
{
    // A point right where the end lands must not pull it away.
    add(0, KindLine, { 53, 78 }, { 250, 250 });
    press(10, 20, T::Linie1);
    const double length = Mm.pixels(25.4);
    ASSERT_TRUE(tools.placeLineEnd(ev(10 + 30, 20 + 40, T::Linie1), length));
    ASSERT_EQ(count(), 2);
    const TDrawElement &line = element(1);
    EXPECT_EQ(line.Kind, KindLine);
    EXPECT_NEAR(std::hypot(line.End.x - 10, line.End.y - 20), length, 1e-12);
    EXPECT_NEAR((line.End.x - 10) / (line.End.y - 20), 0.75, 1e-12);
    EXPECT_EQ(lengthText(length, Mm, {}), QStringLiteral("25.40 mm"));
    EXPECT_TRUE(drawing.Drawing); // the chain goes on from the new end
    EXPECT_EQ(host.repaints, 1);

    // Shift steps the direction as for a click; the pointer on the start gives the x axis.
    ToolEvent stepped = ev(100, 10, T::Linie1, true);
    ASSERT_TRUE(tools.placeLineEnd(stepped, 10));
    EXPECT_EQ(angleText(element(2).Start, element(2).End), QStringLiteral("60.0°"));
    drawing.endChain();
    press(50, 50, T::Linie1);
    ASSERT_TRUE(tools.placeLineEnd(ev(50, 50, T::Linie1), 5));
    EXPECT_POINT(element(3).End, 55, 50);

    // Only a line waiting for its end takes a length, and only a real one.
    EXPECT_FALSE(tools.placeLineEnd(ev(50, 50, T::Linie1), -1));
    EXPECT_FALSE(tools.placeLineEnd(ev(50, 50, T::Linie1), std::nan("")));
    EXPECT_FALSE(tools.placeLineEnd(ev(50, 50, T::Bezier2), 10));
    drawing.endChain();
    EXPECT_FALSE(tools.placeLineEnd(ev(50, 50, T::Linie1), 10));
    EXPECT_EQ(count(), 4);
}

TEST_F(Measuring, MovingTheSelectionPutsTheEditedPointExactlyOnTheTargetAndKeepsTheJoint)
{
    add(0, KindLine, { 0, 0 }, { 100, 100 });
    add(1, KindCubicBezier, { 100, 100 }, { 200, 100 }, { 102, 97 }, { 180, 50 });
    press(100, 100, T::Zeiger1); // the joint and the curve's first control point
    release(100, 100, T::Zeiger1);
    TPointD point {};
    ASSERT_TRUE(NodeEditTool::selectedPoint(host.list, point));
    EXPECT_POINT(point, 100, 100);

    const TPointD target = Mm.toPicture({ 12.7, -3.3 });
    ASSERT_TRUE(NodeEditTool::moveSelectionTo(host.list, target));
    EXPECT_EQ(element(0).End, target);
    EXPECT_EQ(element(1).Start, target);
    EXPECT_NEAR(element(1).Ctrl1.x - target.x, 2, 1e-9);
    EXPECT_NEAR(element(1).Ctrl1.y - target.y, -3, 1e-9);
    EXPECT_POINT(element(1).Ctrl2, 180, 50);
    EXPECT_POINT(element(0).Start, 0, 0);

    press(300, 300, T::Zeiger1); // a miss: nothing selected, nothing to edit
    EXPECT_FALSE(NodeEditTool::moveSelectionTo(host.list, { 1, 1 }));
}

} // namespace
