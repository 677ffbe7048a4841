#include "tools/TraceTool.h"

#include <algorithm>
#include <cmath>

namespace {

// Screen pixels the pointer may move between press and release of a click.
constexpr int ClickSlack = 2;

} // namespace

void TraceTool::press(const ToolEvent &event)
{
    Dragging = true;
    DragOrigin = event.picture;
    m_originScreen = event.screen;
}

TraceTarget TraceTool::release(const ToolEvent &event)
{
    Dragging = false;
    TraceTarget target;
    const QPoint moved = event.screen - m_originScreen;
    if (std::abs(moved.x()) <= ClickSlack && std::abs(moved.y()) <= ClickSlack) {
        target.kind = TraceTarget::Kind::Shape;
        target.at = QPoint(int(std::floor(DragOrigin.x)), int(std::floor(DragOrigin.y)));
        return target;
    }
    // Every pixel the rectangle touches is traced.
    const int left = int(std::floor(std::min(DragOrigin.x, event.picture.x)));
    const int top = int(std::floor(std::min(DragOrigin.y, event.picture.y)));
    const int right = int(std::ceil(std::max(DragOrigin.x, event.picture.x)));
    const int bottom = int(std::ceil(std::max(DragOrigin.y, event.picture.y)));
    target.kind = TraceTarget::Kind::Region;
    target.region = QRect(left, top, right - left, bottom - top);
    return target;
}
