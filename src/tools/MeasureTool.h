#pragma once

#include "document/Chain.h"
#include "tools/ToolEvent.h"

class ElementIndex;

// The measuring tool (MessBtn): two presses pick two points, snapped to the drawing as new
// points of a chain are unless Ctrl is held, and the distance between them stays on show until
// the next press starts a new measurement. It reads the element list and never changes it.
class MeasureTool
{
public:
    enum class Phase {
        Idle, // nothing measured yet, or the measurement was dropped
        Placing, // the first point is placed; the second one follows the pointer
        Done, // both points are placed
    };

    // A press with MessBtn down: the first point of a new measurement, or its second one.
    void press(const ToolEvent &event, const TElementList &list, double zoom);

    // A pointer move while Placing: the second point follows the pointer, snapped.
    void follow(const ToolEvent &event, const TElementList &list, double zoom);

    // The right button drops the measurement.
    void reset() { m_phase = Phase::Idle; }

    Phase phase() const { return m_phase; }
    TPointD first() const { return m_first; }
    TPointD second() const { return m_second; }

    // Where the elements lie, for snapping; null walks the whole list.
    ElementIndex *index = nullptr;

private:
    TPointD snapped(const ToolEvent &event, const TElementList &list, double zoom) const;

    Phase m_phase = Phase::Idle;
    TPointD m_first {};
    TPointD m_second {};
};
