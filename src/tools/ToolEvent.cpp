#include "tools/ToolEvent.h"

ToolEvent makeToolEvent(const TViewTransform &view, QPoint screen, MouseButton button,
    bool ctrlHeld, bool leftCtrlHeld, ToolButton tool)
{
    ToolEvent event;
    event.screen = screen;
    event.canvas = QPoint(screen.x() + view.scrollX, screen.y() + view.scrollY);
    event.picture = view.ScreenToImage(screen.x(), screen.y());
    event.button = button;
    // The left key is one of the Ctrl keys: whatever tracks it cannot claim it down alone.
    event.ctrlHeld = ctrlHeld;
    event.leftCtrlHeld = leftCtrlHeld && ctrlHeld;
    event.tool = tool;
    return event;
}

MouseButton toMouseButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return MouseButton::Left;
    case Qt::RightButton:
        return MouseButton::Right;
    case Qt::MiddleButton:
        return MouseButton::Middle;
    default:
        return MouseButton::Other;
    }
}
