#include "tools/ToolController.h"

#include "tools/RubberBand.h"
#include "tools/ToolHost.h"

#include <QImage>
#include <QPainter>
#include <cmath>

ToolController::ToolController(ToolHost &host)
    : m_host(host)
{
}

void ToolController::useHostIndex()
{
    m_drawing.index = m_editing.index = m_measure.index = m_host.elementIndex();
}

void ToolController::PaintBox1MouseDown(const ToolEvent &event)
{
    useHostIndex();
    if (event.button == MouseButton::Right) {
        m_drawing.endChain();
        m_measure.reset();
        m_host.repaint();
        return;
    }
    switch (event.tool) {
    case ToolButton::HandBtn:
        m_host.startPan(event);
        return;
    case ToolButton::DelBtn:
        m_editing.startAreaDrag(event, false);
        return;
    case ToolButton::VerschiebBtn:
        m_editing.startAreaDrag(event, true);
        return;
    case ToolButton::Zeiger1:
        m_editing.nodeSelect(event, m_host.elements(), m_host.view().zoom);
        return;
    case ToolButton::TraceBtn:
        m_trace.press(event);
        return;
    case ToolButton::MessBtn:
        m_measure.press(event, m_host.elements(), m_host.view().zoom);
        // The drawing area shows the measured line over the back buffer.
        m_host.showBuffer();
        return;
    default:
        break;
    }
    if (m_drawing.Drawing) {
        // A new element goes to the end of the list, and the one before it may change.
        TElementList &list = m_host.elements();
        const auto last = static_cast<std::int32_t>(list.Count()) - 1;
        m_host.elementsTouched(last, last + 1);
        const auto result = m_drawing.nextPoint(event, list, m_host.view().zoom);
        m_host.elementsTouched(last, static_cast<std::int32_t>(list.Count()));
        if (result == DrawingTool::PressResult::ChainEnded)
            m_host.repaint();
        return;
    }
    if (isCreationTool(event.tool))
        m_drawing.chainStart(event, m_host.elements(), m_host.view().zoom);
}

void ToolController::PaintBox1MouseMove(const ToolEvent &event)
{
    useHostIndex();
    if (m_host.panActive()) {
        m_host.panStep(event);
    } else if (m_editing.AreaDeleting || m_editing.AreaMoving) {
        areaRectangle(event, m_editing.DragOrigin);
    } else if (m_trace.Dragging) {
        areaRectangle(event, m_trace.DragOrigin);
    } else if (m_editing.NodeDragging) {
        m_editing.nodeDrag(event, m_host.elements());
        m_host.allElementsTouched();
        m_host.repaint();
    } else if (m_drawing.Drawing) {
        rubberBand(event);
    } else if (m_measure.phase() == MeasureTool::Phase::Placing) {
        // The measured line is drawn over the back buffer whenever the drawing area is shown,
        // which the helper lines below do for every move.
        m_measure.follow(event, m_host.elements(), m_host.view().zoom);
    }
    m_host.updateHelperLines(event);
}

void ToolController::PaintBox1MouseUp(const ToolEvent &event)
{
    useHostIndex();
    if (m_editing.AreaMoving) {
        m_editing.finishAreaMove(event.picture, m_host.elements());
        m_host.allElementsTouched();
        m_host.repaint();
    } else if (m_host.panActive()) {
        m_host.endPan();
    } else if (m_editing.AreaDeleting) {
        m_editing.finishAreaDelete(event.picture, m_host.elements());
        m_host.allElementsTouched();
        m_host.repaint();
    } else if (m_trace.Dragging) {
        m_host.repaint();
        m_host.traceRequested(m_trace.release(event));
    } else if (m_editing.NodeDragging) {
        // Also the end of carrying chains after an area move: any release that ends neither
        // an area drag nor a pan puts them down.
        m_editing.NodeDragging = false;
        m_host.repaint();
    }
}

void ToolController::CloseBtnClick()
{
    TElementList &list = m_host.elements();
    m_drawing.closeChain(list);
    const auto count = static_cast<std::int32_t>(list.Count());
    m_host.elementsTouched(count - 1, count);
    m_host.repaint();
}

void ToolController::BreakBtnClick()
{
    m_drawing.endChain();
    m_host.repaint();
}

bool ToolController::placeLineEnd(const ToolEvent &pointer, double length)
{
    if (!m_drawing.Drawing || m_drawing.SegClicks != 0 || pointer.tool != ToolButton::Linie1
        || !std::isfinite(length) || length < 0)
        return false;
    // The direction is the one the rubber band shows for the pointer as it stands: snapped,
    // or stepped with Shift.
    m_drawing.rubberBand(pointer, m_host.elements(), m_host.view().zoom);
    const TPointD start = m_drawing.SegStart;
    const TPointD towards = m_drawing.CurPt - start;
    const double distance = std::hypot(towards.x, towards.y);
    const TPointD unit = distance > 0 && std::isfinite(distance)
        ? TPointD { towards.x / distance, towards.y / distance }
        : TPointD { 1, 0 };
    // Ctrl stands for "no snapping": the typed length is meant exactly.
    ToolEvent exact = pointer;
    exact.picture = { start.x + unit.x * length, start.y + unit.y * length };
    exact.ctrlHeld = true;
    exact.leftCtrlHeld = false;
    exact.shiftHeld = false;
    TElementList &list = m_host.elements();
    const auto last = static_cast<std::int32_t>(list.Count()) - 1;
    m_host.elementsTouched(last, last + 1);
    const auto result = m_drawing.nextPoint(exact, list, m_host.view().zoom);
    m_host.elementsTouched(last, static_cast<std::int32_t>(list.Count()));
    if (result != DrawingTool::PressResult::ElementAppended)
        return false;
    m_host.repaint();
    return true;
}

void ToolController::rubberBand(const ToolEvent &event)
{
    QImage &buffer = m_host.repaintBufferOnly();
    const RubberBand band = m_drawing.rubberBand(event, m_host.elements(), m_host.view().zoom);
    {
        QPainter painter(&buffer);
        paintRubberBand(painter, band, m_host.view(), m_host.penColor(), m_host.lineWidth());
    }
    m_host.showBuffer();
}

void ToolController::areaRectangle(const ToolEvent &event, TPointD origin)
{
    QImage &buffer = m_host.repaintBufferOnly();
    {
        QPainter painter(&buffer);
        paintAreaRectangle(painter, m_host.view().ImageToScreen(origin), event.screen);
    }
    m_host.showBuffer();
}
