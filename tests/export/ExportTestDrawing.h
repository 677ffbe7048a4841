#pragma once

#include "document/ElementList.h"

#include <initializer_list>

inline TDrawElement element(std::int32_t chainPos, std::int32_t kind, TPointD start, TPointD end,
    TPointD c1 = {}, TPointD c2 = {}, bool closes = false)
{
    TDrawElement e {};
    e.ChainPos = chainPos;
    e.Kind = kind;
    e.Start = start;
    e.End = end;
    e.Ctrl1 = c1;
    e.Ctrl2 = c2;
    e.ClosesChain = closes ? 1 : 0;
    return e;
}

// A drawing for the export tests: the elements are appended in the order given, and the list's
// cursor is bound to a member so tests can see where a walk leaves it.
struct ExportTestDrawing
{
    TDrawElement *cursor = nullptr;
    TElementList list { &cursor };

    ExportTestDrawing(std::initializer_list<TDrawElement> elements)
    {
        for (const TDrawElement &e : elements)
            *list.Append() = e;
    }

    // One of every kind: a closed chain of a line, a quadratic and a cubic curve, and an ellipse,
    // all inside a 240 x 120 picture.
    static ExportTestDrawing everyKind()
    {
        return {
            element(0, KindLine, { 10, 10 }, { 80, 12 }),
            element(1, KindQuadBezier, { 80, 12 }, { 90, 70 }, { 120, 30 }),
            element(2, KindCubicBezier, { 90, 70 }, { 15, 60 }, { 70, 110 }, { 30, 90 }, true),
            element(0, KindEllipse, { 150, 40 }, { 200, 90 }),
        };
    }
};
