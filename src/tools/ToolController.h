#pragma once

#include "tools/DrawingTool.h"
#include "tools/MeasureTool.h"
#include "tools/NodeEditTool.h"
#include "tools/ToolEvent.h"
#include "tools/TraceTool.h"

class ToolHost;

// The three mouse handlers of the drawing area and the two chain buttons. The window converts
// each mouse event into a ToolEvent and calls the handler of the same name; the handlers pick a
// branch in a fixed order (pan, area tools and node editing, drawing) and act on the document
// only through the host.
class ToolController
{
public:
    explicit ToolController(ToolHost &host);

    // Press, in this order: right button (ends the chain), pan, area drag, node selection,
    // trace drag, measuring, next point of the chain in progress, chain start.
    void PaintBox1MouseDown(const ToolEvent &event);

    // Move, with or without a button held: pan, area rectangle, trace rectangle, node drag,
    // rubber band, the second point of a measurement; always the helper lines at the end.
    void PaintBox1MouseMove(const ToolEvent &event);

    // Release of any button: area move, pan, area delete, trace of the rectangle or the
    // clicked shape (handed to the host), end of a node drag.
    void PaintBox1MouseUp(const ToolEvent &event);

    // "Linienzug schließen": ends the chain and closes the last element's chain.
    void CloseBtnClick();

    // "Linienzug unterbrechen": ends the chain without closing it.
    void BreakBtnClick();

    // The window calls this after it replaced the element list with a project's. Chains being
    // carried after an area move belonged to the old drawing; the new one's records may hold
    // selection flags and drag copies as they were saved, which the next move would otherwise
    // apply and so tear the opened drawing apart. A chain in progress is left as it is.
    void documentReplaced() { m_editing.NodeDragging = false; }

    // A length typed while a line is drawn: places the line's end at `length` picture pixels
    // from its start, in the direction the rubber band shows for the pointer event `pointer`
    // (along the x axis when the pointer is on the start), exactly, without snapping. Returns
    // false and changes nothing when no line waits for its end or the length is no number of
    // zero or more.
    bool placeLineEnd(const ToolEvent &pointer, double length);

    DrawingTool &drawing() { return m_drawing; }
    const DrawingTool &drawing() const { return m_drawing; }
    NodeEditTool &editing() { return m_editing; }
    const NodeEditTool &editing() const { return m_editing; }
    const MeasureTool &measure() const { return m_measure; }

private:
    // The host may replace its index with its document, so it is asked at every event.
    void useHostIndex();
    void rubberBand(const ToolEvent &event);
    void areaRectangle(const ToolEvent &event, TPointD origin);

    ToolHost &m_host;
    DrawingTool m_drawing;
    NodeEditTool m_editing;
    TraceTool m_trace;
    MeasureTool m_measure;
};
