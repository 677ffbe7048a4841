#pragma once

#include "document/Chain.h"
#include "tools/RubberBand.h"
#include "tools/ToolEvent.h"

#include <cstdint>

class ElementIndex;

// The state machine of the five creation tools: presses start a chain and place the points of
// one segment after another, each completed segment is appended to the element list, and a
// pointer move shows the segment under construction. It works on the element list alone;
// repainting is left to the caller (ToolController), which the results below tell what to do.
class DrawingTool
{
public:
    // Where the segment under construction stands. Derived from Drawing and SegClicks, which
    // remain the state itself.
    enum class Phase {
        Idle, // no chain in progress
        WaitingForEnd,
        WaitingForControl,
        WaitingForSecondControl,
    };

    enum class PressResult {
        PointPlaced, // the segment waits for more points; nothing to repaint
        ElementAppended, // a segment was completed; the next pointer move repaints
        ChainEnded, // an ellipse was appended and ended the chain; repaint now
        AppendFailed, // the list could not grow; the segment stays as it was before the press
    };

    Phase phase() const;

    // A press with a creation tool down and no chain in progress. The start snaps to an
    // existing point whatever keys are held.
    void chainStart(const ToolEvent &event, const TElementList &list, double zoom);

    // A press while a chain is in progress: places the next point of the segment and appends
    // the element when the segment is complete.
    PressResult nextPoint(const ToolEvent &event, TElementList &list, double zoom);

    // Works out the rubber band for a pointer move while a chain is in progress. Updates CurPt
    // (and Mirror for smooth curves) but none of the segment's placed points.
    RubberBand rubberBand(const ToolEvent &event, const TElementList &list, double zoom);

    // The point from which the next point's angle is stepped while Shift is held, and from
    // which its length and angle are shown: the segment's start for its end and first control
    // point, its end for a cubic curve's second control point and a smooth curve's handle,
    // which set the direction in which the curve arrives there.
    TPointD stepAnchor(ToolButton tool) const;

    // The right button, and BreakBtn: the chain ends and a half-placed segment is dropped.
    void endChain() { Drawing = false; }

    // CloseBtn: ends the chain and marks the last element of the list as closing its chain.
    void closeChain(TElementList &list);

    // Finds the points to snap to near the pointer, and is told of every element appended or
    // closed; null to test every element. The controller sets it from its host.
    ElementIndex *index = nullptr;

    // The tool state. Everything starts zero; nothing outside this class changes it, so
    // choosing another tool or replacing the document leaves a chain in progress as it is.
    bool Drawing = false;
    std::int32_t SegClicks = 0; // points placed after the segment's start, 0..2
    std::int32_t ChainCounter = 0; // ChainPos of the next appended element
    TPointD SegStart {};
    TPointD SegEnd {};
    TPointD SegCtrl1 {};
    TPointD SegCtrl2 {};
    TPointD SmoothHandle {}; // first control point of the next smooth segment
    TPointD Mirror {}; // the pointer mirrored about SegEnd
    TPointD CurPt {}; // pointer position after the circle constraint and snapping

private:
    // The pointer's picture position snapped unless Ctrl is held, or else stepped in angle
    // while Shift is held, for every tool but the ellipse.
    void placeCurPt(const ToolEvent &event, const TElementList &list, double zoom);

    // Brings ChainCounter in line with the list, whose last record is the element being
    // appended, so that chain positions always count up from 0.
    void continueAfter(const TElementList &list);
};
