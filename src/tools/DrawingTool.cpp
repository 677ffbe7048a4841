#include "tools/DrawingTool.h"

#include "document/ElementIndex.h"
#include "tools/PointSnapping.h"

namespace {

TPointD mirrored(TPointD about, TPointD p)
{
    return { 2 * about.x - p.x, 2 * about.y - p.y };
}

} // namespace

DrawingTool::Phase DrawingTool::phase() const
{
    if (!Drawing)
        return Phase::Idle;
    switch (SegClicks) {
    case 0:
        return Phase::WaitingForEnd;
    case 1:
        return Phase::WaitingForControl;
    default:
        return Phase::WaitingForSecondControl;
    }
}

void DrawingTool::chainStart(const ToolEvent &event, const TElementList &list, double zoom)
{
    Drawing = true;
    SegClicks = 0;
    SegStart = event.picture;
    // The first smooth segment's first control point is where the user pressed, not where the
    // start snapped to.
    SmoothHandle = SegStart;
    ChainCounter = 0;
    snapPoint(list, event.canvas, zoom, SegStart, index);
}

void DrawingTool::continueAfter(const TElementList &list)
{
    if (ChainCounter == 0)
        return;
    // The list now ends with the new element; the one before it is where the chain in
    // progress should end. "Linien Neu", opening a project or an area delete can have removed
    // some or all of the chain meanwhile. Numbering on regardless would leave a gap, put a
    // chain position other than 0 at the head of the list, or join the new element to another
    // chain, whose start a closing line would then run to.
    const auto count = static_cast<std::int32_t>(list.Count());
    const std::int32_t previous = count > 1 ? list.at(count - 2).ChainPos : -1;
    if (previous + 1 < ChainCounter)
        ChainCounter = previous + 1; // the chain lost elements: go on from what is left
    else if (previous + 1 > ChainCounter)
        ChainCounter = 0; // the chain is gone: the element starts a new one
}

TPointD DrawingTool::stepAnchor(ToolButton tool) const
{
    if (SegClicks >= 2 || (SegClicks == 1 && tool == ToolButton::bezierbtn3))
        return SegEnd;
    return SegStart;
}

void DrawingTool::placeCurPt(const ToolEvent &event, const TElementList &list, double zoom)
{
    // An existing point within reach wins over the angle step: joining the drawing matters
    // more than the direction.
    if (!event.ctrlHeld && snapPoint(list, event.canvas, zoom, CurPt, index))
        return;
    if (event.shiftHeld && event.tool != ToolButton::CircleBtn)
        stepAngle(stepAnchor(event.tool), CurPt);
}

DrawingTool::PressResult DrawingTool::nextPoint(
    const ToolEvent &event, TElementList &list, double zoom)
{
    const ToolButton tool = event.tool;
    const std::int32_t clicksBefore = SegClicks;
    CurPt = event.picture;
    if (tool == ToolButton::CircleBtn && event.leftCtrlHeld)
        circleConstraint(SegStart, CurPt);
    placeCurPt(event, list, zoom);

    switch (SegClicks) {
    case 0:
        SegEnd = CurPt;
        break;
    case 1:
        if (tool == ToolButton::bezierbtn3) {
            SegClicks = 2;
            SegCtrl1 = SmoothHandle;
            Mirror = mirrored(SegEnd, CurPt);
            SegCtrl2 = Mirror;
        } else {
            SegCtrl1 = CurPt;
        }
        break;
    default:
        SegCtrl2 = CurPt;
        break;
    }

    const bool quadraticLike = tool == ToolButton::Bezier1 || tool == ToolButton::bezierbtn3;
    if ((quadraticLike && SegClicks < 1) || (tool == ToolButton::Bezier2 && SegClicks < 2)) {
        ++SegClicks;
        return PressResult::PointPlaced;
    }

    const std::uint64_t versionBefore = list.version();
    TDrawElement *element = list.Append();
    if (!element) {
        // The store has already told the user. Restoring SegClicks and keeping ChainCounter lets
        // the next press complete the same segment instead of losing it or numbering a gap.
        SegClicks = clicksBefore;
        return PressResult::AppendFailed;
    }
    // A reused slot still holds the bytes of a record deleted earlier, including its
    // selection flags and drag copies; a new element must not inherit them, or the next node
    // drag would move it to where the deleted one was.
    *element = TDrawElement {};
    // The kind follows the points placed so far, not the tool that happens to be down.
    element->Kind = tool == ToolButton::CircleBtn ? KindEllipse : SegClicks;
    element->ClosesChain = 0;
    continueAfter(list);
    element->ChainPos = ChainCounter++;
    element->Start = SegStart;
    element->End = SegEnd;
    element->Ctrl1 = SegCtrl1;
    element->Ctrl2 = SegCtrl2;
    // With a million elements a rebuild of the index costs a fifth of a second of every press.
    if (index)
        index->replaced(
            list, versionBefore, { { static_cast<std::int32_t>(list.Count()) - 1, 0, 1 } });

    SegClicks = 0;
    SegStart = SegEnd;
    SmoothHandle = tool == ToolButton::bezierbtn3 ? CurPt : SegStart;
    if (tool == ToolButton::CircleBtn) {
        Drawing = false;
        return PressResult::ChainEnded;
    }
    return PressResult::ElementAppended;
}

RubberBand DrawingTool::rubberBand(const ToolEvent &event, const TElementList &list, double zoom)
{
    const ToolButton tool = event.tool;
    RubberBand band;
    band.start = SegStart;

    CurPt = event.picture;
    placeCurPt(event, list, zoom);

    if (tool == ToolButton::CircleBtn) {
        if (event.leftCtrlHeld)
            circleConstraint(SegStart, CurPt);
        band.shape = RubberBand::Shape::Ellipse;
        band.end = CurPt;
    } else if (SegClicks == 0 && tool != ToolButton::bezierbtn3) {
        band.shape = RubberBand::Shape::Line;
        band.end = CurPt;
    } else if (SegClicks == 1 || tool == ToolButton::bezierbtn3) {
        band.shape = RubberBand::Shape::Cubic;
        band.end = SegClicks == 0 ? CurPt : SegEnd;
        if (tool == ToolButton::Bezier1) {
            const CubicControls raised = raiseQuadratic(SegStart, CurPt, SegEnd);
            band.c1 = raised.c1;
            band.c2 = raised.c2;
        } else if (tool == ToolButton::bezierbtn3) {
            band.c1 = SmoothHandle;
            Mirror = SegClicks == 0 ? CurPt : mirrored(SegEnd, CurPt);
            band.c2 = Mirror;
            if (SegClicks == 1) {
                band.showHandle = true;
                band.handleFrom = CurPt;
                band.handleTo = Mirror;
            }
        } else {
            band.c1 = CurPt;
            band.c2 = CurPt;
        }
    } else if (SegClicks == 2) {
        band.shape = RubberBand::Shape::Cubic;
        band.end = SegEnd;
        band.c1 = SegCtrl1;
        band.c2 = CurPt;
    }
    return band;
}

void DrawingTool::closeChain(TElementList &list)
{
    Drawing = false;
    if (list.Count() == 0)
        return;
    const std::uint64_t versionBefore = list.version();
    const auto last = static_cast<std::int32_t>(list.Count()) - 1;
    list.Get(last)->ClosesChain = 1;
    if (index)
        index->changed(list, versionBefore, { last });
}
