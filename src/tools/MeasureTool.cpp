#include "tools/MeasureTool.h"

#include "tools/PointSnapping.h"

TPointD MeasureTool::snapped(const ToolEvent &event, const TElementList &list, double zoom) const
{
    TPointD p = event.picture;
    if (!event.ctrlHeld)
        snapPoint(list, event.canvas, zoom, p, index);
    return p;
}

void MeasureTool::press(const ToolEvent &event, const TElementList &list, double zoom)
{
    const TPointD p = snapped(event, list, zoom);
    if (m_phase == Phase::Placing) {
        m_second = p;
        m_phase = Phase::Done;
        return;
    }
    m_first = p;
    m_second = p;
    m_phase = Phase::Placing;
}

void MeasureTool::follow(const ToolEvent &event, const TElementList &list, double zoom)
{
    if (m_phase == Phase::Placing)
        m_second = snapped(event, list, zoom);
}
