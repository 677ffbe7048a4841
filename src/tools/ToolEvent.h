#pragma once

#include "document/DrawElement.h"
#include "view/ViewTransform.h"

#include <QPoint>
#include <Qt>

// The buttons of the tool group of the left tool bar. At most one is down at a time; None
// until the user chooses one.
enum class ToolButton {
    None,
    HandBtn,
    Linie1,
    bezierbtn3,
    Bezier1,
    Bezier2,
    CircleBtn,
    Zeiger1,
    DelBtn,
    VerschiebBtn,
    TraceBtn,
    MessBtn,
};

// Only the right button has a meaning of its own; the middle one acts like the left one. Moves
// carry Other. The drawing area passes on no press or release of the further buttons (back,
// forward and the like), so the tools never see one.
enum class MouseButton {
    Left,
    Middle,
    Right,
    Other,
};

// One mouse event of the drawing area, converted once by the widget so that the tool logic
// never sees a QMouseEvent and tests can feed it plain values.
struct ToolEvent
{
    QPoint screen; // drawing-area pixels, as the event reported them
    QPoint canvas; // screen plus the two scroll positions
    TPointD picture; // canvas divided by the zoom times 100, not rounded
    MouseButton button = MouseButton::Left; // the button that changed; ignored for moves
    bool ctrlHeld = false; // either Ctrl key is down
    bool leftCtrlHeld = false; // the left Ctrl key is down, whatever the right one does
    bool shiftHeld = false; // a Shift key is down: new points go in steps of 15 degrees
    ToolButton tool = ToolButton::None; // the tool button that is down
};

// True for the five tools whose presses start and continue chains.
constexpr bool isCreationTool(ToolButton tool)
{
    return tool == ToolButton::Linie1 || tool == ToolButton::Bezier1 || tool == ToolButton::Bezier2
        || tool == ToolButton::bezierbtn3 || tool == ToolButton::CircleBtn;
}

// The button of a Qt mouse event: right, middle, left, and every other one as Other.
MouseButton toMouseButton(Qt::MouseButton button);

// The drawing area's conversion of one mouse event at drawing-area position `screen` through
// the view transform: the canvas position adds the scroll positions, the picture position is
// the view's ScreenToImage of the same pixel.
ToolEvent makeToolEvent(const TViewTransform &view, QPoint screen, MouseButton button,
    bool ctrlHeld, bool leftCtrlHeld, ToolButton tool);
