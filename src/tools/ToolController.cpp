#include "tools/ToolController.h"

#include "tools/RubberBand.h"
#include "tools/ToolHost.h"

#include <QImage>
#include <QPainter>

ToolController::ToolController(ToolHost &host)
    : m_host(host)
{
}

void ToolController::useHostIndex()
{
    m_drawing.index = m_editing.index = m_host.elementIndex();
}

void ToolController::PaintBox1MouseDown(const ToolEvent &event)
{
    useHostIndex();
    if (event.button == MouseButton::Right) {
        m_drawing.endChain();
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
    default:
        break;
    }
    if (m_drawing.Drawing) {
        const auto result = m_drawing.nextPoint(event, m_host.elements(), m_host.view().zoom);
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
        areaRectangle(event);
    } else if (m_editing.NodeDragging) {
        m_editing.nodeDrag(event, m_host.elements());
        m_host.repaint();
    } else if (m_drawing.Drawing) {
        rubberBand(event);
    }
    m_host.updateHelperLines(event);
}

void ToolController::PaintBox1MouseUp(const ToolEvent &event)
{
    useHostIndex();
    if (m_editing.AreaMoving) {
        m_editing.finishAreaMove(event.picture, m_host.elements());
        m_host.repaint();
    } else if (m_host.panActive()) {
        m_host.endPan();
    } else if (m_editing.AreaDeleting) {
        m_editing.finishAreaDelete(event.picture, m_host.elements());
        m_host.repaint();
    } else if (m_editing.NodeDragging) {
        // Also the end of carrying chains after an area move: any release that ends neither
        // an area drag nor a pan puts them down.
        m_editing.NodeDragging = false;
        m_host.repaint();
    }
}

void ToolController::CloseBtnClick()
{
    m_drawing.closeChain(m_host.elements());
    m_host.repaint();
}

void ToolController::BreakBtnClick()
{
    m_drawing.endChain();
    m_host.repaint();
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

void ToolController::areaRectangle(const ToolEvent &event)
{
    QImage &buffer = m_host.repaintBufferOnly();
    {
        QPainter painter(&buffer);
        paintAreaRectangle(
            painter, m_host.view().ImageToScreen(m_editing.DragOrigin), event.screen);
    }
    m_host.showBuffer();
}
