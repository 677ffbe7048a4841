#include "tools/NodeEditTool.h"

#include "document/ElementIndex.h"
#include "tools/ChainRepair.h"
#include "tools/PointSnapping.h"

#include <algorithm>

namespace {

std::int32_t countOf(const TElementList &list)
{
    return static_cast<std::int32_t>(list.Count());
}

// The list keeps its records packed in one block, so a walk over every record asks the store
// for the first one only. Null for an empty list.
TDrawElement *recordsOf(TElementList &list)
{
    return list.Count() > 0 ? list.Get(0) : nullptr;
}

void selectPoint(TPointD point, TPointD &dragCopy, std::uint8_t &flag)
{
    dragCopy = point;
    flag = 1;
}

void moveIfSelected(TPointD &point, TPointD dragCopy, std::uint8_t flag, TPointD delta)
{
    if (flag)
        point = dragCopy + delta;
}

void selectWhole(TDrawElement &e)
{
    selectPoint(e.Start, e.DragStart, e.SelStart);
    selectPoint(e.End, e.DragEnd, e.SelEnd);
    selectPoint(e.Ctrl1, e.DragCtrl1, e.SelCtrl1);
    selectPoint(e.Ctrl2, e.DragCtrl2, e.SelCtrl2);
}

} // namespace

bool NodeEditTool::flagsKnown(const TElementList &list) const
{
    return m_flaggedList == &list && m_flagsVersion == list.version();
}

void NodeEditTool::clearSelection(TElementList &list)
{
    if (flagsKnown(list)) {
        TDrawElement *records = recordsOf(list);
        for (const std::int32_t i : m_flagged) {
            TDrawElement *e = &records[i];
            e->SelStart = e->SelEnd = e->SelCtrl1 = e->SelCtrl2 = 0;
        }
    } else {
        const std::int32_t count = countOf(list);
        TDrawElement *records = recordsOf(list);
        for (std::int32_t i = 0; i < count; ++i) {
            TDrawElement *e = &records[i];
            e->SelStart = e->SelEnd = e->SelCtrl1 = e->SelCtrl2 = 0;
        }
    }
    m_flagged.clear();
}

void NodeEditTool::flagsSet(TElementList &list, std::uint64_t versionBefore)
{
    if (index)
        index->changed(list, versionBefore, {});
    m_flaggedList = &list;
    m_flagsVersion = list.version();
}

TBoxD NodeEditTool::areaBox(TPointD a, TPointD b)
{
    return { std::min(a.x, b.x) - AreaMargin, std::min(a.y, b.y) - AreaMargin,
        std::max(a.x, b.x) + AreaMargin, std::max(a.y, b.y) + AreaMargin };
}

bool NodeEditTool::inArea(TPointD a, TPointD b, TPointD p)
{
    return std::min(a.x, b.x) - AreaMargin <= p.x && p.x <= std::max(a.x, b.x) + AreaMargin
        && std::min(a.y, b.y) - AreaMargin <= p.y && p.y <= std::max(a.y, b.y) + AreaMargin;
}

bool NodeEditTool::anyPointInArea(const TDrawElement &element, TPointD a, TPointD b)
{
    TPointD points[4];
    const int n = definingPoints(element, points);
    for (int k = 0; k < n; ++k) {
        if (inArea(a, b, points[k]))
            return true;
    }
    return false;
}

bool NodeEditTool::nodeSelect(const ToolEvent &event, TElementList &list, double zoom)
{
    DragOrigin = event.picture;
    const PointHitTest hitTest(event.canvas, zoom);
    const auto hits = [&hitTest](TPointD p) { return hitTest.hits(p); };

    // The index is asked before any record is touched, while it still matches the list.
    const std::uint64_t before = list.version();
    const NearElements near = hitTest.candidates(index, list);
    clearSelection(list);
    bool hit = false;
    TDrawElement *records = recordsOf(list);
    for (std::int32_t k = 0; k < near.size(); ++k) {
        const std::int32_t i = near[k];
        TDrawElement &e = records[i];
        const std::int32_t kind = e.Kind;
        if (!hasDefiningPoints(kind))
            continue;
        // Every point within the tolerance is taken, not only the first, so that the End of
        // one element and the Start of the next move together and the chain stays joined.
        bool any = false;
        if (hits(e.Start)) {
            selectPoint(e.Start, e.DragStart, e.SelStart);
            any = true;
        }
        if (hits(e.End)) {
            selectPoint(e.End, e.DragEnd, e.SelEnd);
            any = true;
        }
        if (usesCtrl1(kind) && hits(e.Ctrl1)) {
            selectPoint(e.Ctrl1, e.DragCtrl1, e.SelCtrl1);
            any = true;
        }
        if (usesCtrl2(kind) && hits(e.Ctrl2)) {
            selectPoint(e.Ctrl2, e.DragCtrl2, e.SelCtrl2);
            any = true;
        }
        if (any)
            m_flagged.push_back(i);
        hit = hit || any;
    }
    flagsSet(list, before);
    if (hit)
        NodeDragging = true;
    return hit;
}

void NodeEditTool::nodeDrag(const ToolEvent &event, TElementList &list)
{
    DragDelta = event.picture - DragOrigin;
    const auto move = [this](TDrawElement &e) {
        moveIfSelected(e.Start, e.DragStart, e.SelStart, DragDelta);
        moveIfSelected(e.End, e.DragEnd, e.SelEnd, DragDelta);
        moveIfSelected(e.Ctrl1, e.DragCtrl1, e.SelCtrl1, DragDelta);
        moveIfSelected(e.Ctrl2, e.DragCtrl2, e.SelCtrl2, DragDelta);
    };
    const std::uint64_t before = list.version();
    if (!flagsKnown(list)) {
        const std::int32_t count = countOf(list);
        TDrawElement *records = recordsOf(list);
        for (std::int32_t i = 0; i < count; ++i)
            move(records[i]);
        return;
    }
    TDrawElement *records = recordsOf(list);
    for (const std::int32_t i : m_flagged)
        move(records[i]);
    if (index)
        index->changed(list, before, m_flagged);
    m_flagsVersion = list.version();
}

void NodeEditTool::startAreaDrag(const ToolEvent &event, bool moving)
{
    if (moving)
        AreaMoving = true;
    else
        AreaDeleting = true;
    DragOrigin = event.picture;
}

void NodeEditTool::finishAreaDelete(TPointD release, TElementList &list)
{
    AreaDeleting = false;
    const TPointD a = DragOrigin;
    const NearElements near(index, list, areaBox(a, release));
    // The index, current now that it has been asked, is told what the delete changed.
    const std::uint64_t before = list.version();
    clearSelection(list);
    // The elements with a point in the area are deleted as if they had been selected; they
    // go, so their flags need not be set.
    std::vector<std::int32_t> selected;
    for (std::int32_t k = 0; k < near.size(); ++k) {
        const std::int32_t i = near[k];
        const TDrawElement &e = list.at(i);
        if (!hasDefiningPoints(e.Kind))
            continue;
        if (inArea(a, release, e.Start) || inArea(a, release, e.End)
            || (usesCtrl1(e.Kind) && inArea(a, release, e.Ctrl1))
            || (usesCtrl2(e.Kind) && inArea(a, release, e.Ctrl2)))
            selected.push_back(i);
    }
    std::vector<ElementReplacement> runs;
    deleteElements(list, selected, index ? &runs : nullptr);
    if (index)
        index->replaced(list, before, runs);
    // Every record with a flag is gone, so none is left with one.
    m_flaggedList = &list;
    m_flagsVersion = list.version();
}

void NodeEditTool::finishAreaMove(TPointD release, TElementList &list)
{
    AreaMoving = false;
    const TPointD a = DragOrigin;
    const std::uint64_t before = list.version();
    const NearElements near(index, list, areaBox(a, release));
    clearSelection(list);
    const std::int32_t count = countOf(list);
    std::int32_t carriedUpTo = -1;
    for (std::int32_t k = 0; k < near.size(); ++k) {
        const std::int32_t i = near[k];
        // The rest of a chain already picked up is selected; selecting it again would change
        // nothing.
        if (i <= carriedUpTo || !anyPointInArea(list.at(i), a, release))
            continue;
        std::int32_t first = i;
        if (list.at(i).ChainPos != 0) {
            while (first > 0 && list.at(first).ChainPos != 0)
                --first;
        }
        std::int32_t last = i;
        while (last + 1 < count && list.at(last + 1).ChainPos != 0)
            ++last;
        for (std::int32_t j = first; j <= last; ++j) {
            selectWhole(*list.Get(j));
            m_flagged.push_back(j);
        }
        carriedUpTo = last;
    }
    flagsSet(list, before);
    DragOrigin = release;
    if (carriedUpTo >= 0)
        NodeDragging = true;
}

bool NodeEditTool::selectedPoint(const TElementList &list, TPointD &point)
{
    const std::int32_t count = countOf(list);
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement &e = list.at(i);
        const std::int32_t kind = e.Kind;
        if (!hasDefiningPoints(kind))
            continue;
        const std::pair<TPointD, std::uint8_t> points[] = { { e.Start, e.SelStart },
            { e.End, e.SelEnd }, { e.Ctrl1, usesCtrl1(kind) ? e.SelCtrl1 : std::uint8_t(0) },
            { e.Ctrl2, usesCtrl2(kind) ? e.SelCtrl2 : std::uint8_t(0) } };
        for (const auto &[p, selected] : points) {
            if (selected) {
                point = p;
                return true;
            }
        }
    }
    return false;
}

bool NodeEditTool::moveSelectionTo(TElementList &list, TPointD target)
{
    TPointD from {};
    if (!selectedPoint(list, from))
        return false;
    const TPointD delta = target - from;
    // The points on the edited one, such as the joint of two elements, take the target itself:
    // adding the offset could miss it by a rounding and tear the joint apart.
    const auto move = [&](TPointD &p, std::uint8_t selected) {
        if (selected)
            p = p == from ? target : p + delta;
    };
    const std::int32_t count = countOf(list);
    TDrawElement *records = recordsOf(list);
    for (std::int32_t i = 0; i < count; ++i) {
        TDrawElement &e = records[i];
        move(e.Start, e.SelStart);
        move(e.End, e.SelEnd);
        move(e.Ctrl1, e.SelCtrl1);
        move(e.Ctrl2, e.SelCtrl2);
    }
    return true;
}
