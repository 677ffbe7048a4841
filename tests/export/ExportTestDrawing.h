#pragma once

#include "document/ElementList.h"
#include "support/TestDrawing.h"

#include <initializer_list>

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
            element(KindLine, 0, { 10, 10 }, { 80, 12 }),
            element(KindQuadBezier, 1, { 80, 12 }, { 90, 70 }, { 120, 30 }),
            element(KindCubicBezier, 2, { 90, 70 }, { 15, 60 }, { 70, 110 }, { 30, 90 }, true),
            element(KindEllipse, 0, { 150, 40 }, { 200, 90 }),
        };
    }
};
