#include "document/Chain.h"

std::int32_t chainStartIndex(const TElementList &list, std::int32_t index)
{
    if (index >= static_cast<std::int32_t>(list.Count()))
        index = static_cast<std::int32_t>(list.Count()) - 1;
    for (std::int32_t i = index; i >= 0; --i) {
        if (list.at(i).ChainPos == 0)
            return i;
    }
    return -1;
}

CubicControls raiseQuadratic(TPointD start, TPointD ctrl, TPointD end)
{
    const TPointD c1 { start.x + (ctrl.x - start.x) * 2 / 3, start.y + (ctrl.y - start.y) * 2 / 3 };
    const TPointD c2 { ctrl.x + (end.x - ctrl.x) / 3, ctrl.y + (end.y - ctrl.y) / 3 };
    return { c1, c2 };
}

bool usesCtrl1(std::int32_t kind)
{
    return kind == KindQuadBezier || kind == KindCubicBezier;
}

bool usesCtrl2(std::int32_t kind)
{
    return kind == KindCubicBezier;
}
