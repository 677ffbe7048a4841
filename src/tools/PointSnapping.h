#pragma once

#include "document/Chain.h"

#include <QPoint>

// The point hit test: true when the canvas position lies within 5 screen pixels of the point's
// unscrolled screen position on both axes, bounds included, in real numbers. The tolerance is
// therefore the same on screen whatever the zoom.
bool clickonpunkt(double canvasX, double canvasY, double pointX, double pointY, double zoom);

// The defining points of an element in the order hit tests visit them: Start, End, then Ctrl1
// for Bezier curves and Ctrl2 for cubic ones. An element of an unknown kind (only a damaged file
// can hold one) has none. Returns how many were written to `points`.
int definingPoints(const TDrawElement &element, TPointD points[4]);

// Whether elements of this kind have defining points at all: lines, ellipses and Bezier curves.
bool hasDefiningPoints(std::int32_t kind);

// Replaces `position` with the first defining point, in list order, that the canvas position
// hits. Returns false and leaves `position` alone when none is hit.
bool snapPoint(const TElementList &list, QPoint canvas, double zoom, TPointD &position);

// Makes the rectangle from `segStart` to `point` a square whose side is the smaller of its two
// sides, in the quadrant of `point`, by moving `point` along its longer axis.
void circleConstraint(TPointD segStart, TPointD &point);
