#pragma once

#include "tools/ToolEvent.h"
#include "trace/TraceSettings.h"

// The trace tool: a drag marks a rectangle of the picture to trace, a click the shape under
// the pointer.
class TraceTool
{
public:
    // A press starts the drag; the tool remembers where.
    void press(const ToolEvent &event);
    // The release ends the drag and says what to trace. A pointer that moved less than a few
    // screen pixels counts as a click, as a hand that clicks seldom holds perfectly still.
    TraceTarget release(const ToolEvent &event);

    bool Dragging = false;
    TPointD DragOrigin {};

private:
    QPoint m_originScreen;
};
