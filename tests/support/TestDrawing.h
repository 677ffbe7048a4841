#pragma once

#include "document/ElementList.h"

#include <cstdint>

// One element as the tools leave it: every field not given is zero.
inline TDrawElement element(std::int32_t kind, std::int32_t chainPos, TPointD start, TPointD end,
    TPointD ctrl1 = {}, TPointD ctrl2 = {}, bool closes = false)
{
    TDrawElement e {};
    e.Kind = kind;
    e.ChainPos = chainPos;
    e.Start = start;
    e.End = end;
    e.Ctrl1 = ctrl1;
    e.Ctrl2 = ctrl2;
    e.ClosesChain = closes ? 1 : 0;
    return e;
}
