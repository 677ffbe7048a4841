#pragma once

#include "document/Chain.h"
#include "tools/ToolEvent.h"

#include <cstdint>
#include <vector>

class ElementIndex;
struct TBoxD;

// Node editing (Zeiger1) and the two area tools (DelBtn, VerschiebBtn). Points are picked up
// through the selection flags and drag copies of the elements and follow the pointer from
// the drag copies. It works on the element list alone; ToolController repaints.
class NodeEditTool
{
public:
    // The area of an area drag: the rectangle between the two corners, enlarged by this many
    // picture units on every side. In picture units so that it does not change with the zoom.
    static constexpr double AreaMargin = 3.0;

    // A press with Zeiger1 down: selects every defining point within the hit tolerance of the
    // pointer, so the joint of two chained elements is picked up as a whole. Returns whether
    // anything was hit; a miss leaves every selection flag cleared.
    bool nodeSelect(const ToolEvent &event, TElementList &list, double zoom);

    // A pointer move while NodeDragging is set: every selected point goes to its drag copy
    // plus the pointer's displacement from DragOrigin.
    void nodeDrag(const ToolEvent &event, TElementList &list);

    // A press with DelBtn (moving false) or VerschiebBtn (moving true) down.
    void startAreaDrag(const ToolEvent &event, bool moving);

    // The release of a DelBtn drag at picture position `release`: deletes every element with a
    // defining point in the area and repairs the chains they belonged to.
    void finishAreaDelete(TPointD release, TElementList &list);

    // The release of a VerschiebBtn drag: picks up every chain with a defining point in the
    // area; the chains then follow the pointer until a release puts them down.
    void finishAreaMove(TPointD release, TElementList &list);

    // The selected point that exact input edits: the first selected defining point in the
    // order of a node selection. Returns false when no point is selected.
    static bool selectedPoint(const TElementList &list, TPointD &point);

    // Moves the selection so that the selected point lands exactly on `target`; every other
    // selected point keeps its offset from it, as in a drag. Returns false when nothing is
    // selected.
    static bool moveSelectionTo(TElementList &list, TPointD target);

    // Whether `p` lies in the area spanned by the corners `a` and `b`, margin and bounds included.
    static bool inArea(TPointD a, TPointD b, TPointD p);

    bool NodeDragging = false;
    bool AreaDeleting = false;
    bool AreaMoving = false;
    TPointD DragOrigin {};
    TPointD DragDelta {};
    // Finds the elements near the pointer or in the area; null to test every element. The
    // controller sets it from its host.
    ElementIndex *index = nullptr;

private:
    // Clears every selection flag of the list: only those this tool set, when it knows that no
    // other record has one, otherwise the flags of every record.
    void clearSelection(TElementList &list);
    // Takes note that the records in m_flagged are the only ones with flags, as the list now
    // stands, and that the index, current at `versionBefore`, still holds: flags and drag copies
    // are no part of an element's box.
    void flagsSet(TElementList &list, std::uint64_t versionBefore);
    bool flagsKnown(const TElementList &list) const;
    static bool anyPointInArea(const TDrawElement &element, TPointD a, TPointD b);
    static TBoxD areaBox(TPointD a, TPointD b);

    // The records whose flags this tool set, valid while the list stands at m_flagsVersion: a
    // node drag then moves only those, and the next selection clears only those, instead of
    // walking every record.
    std::vector<std::int32_t> m_flagged;
    const TElementList *m_flaggedList = nullptr;
    std::uint64_t m_flagsVersion = 0;
};
