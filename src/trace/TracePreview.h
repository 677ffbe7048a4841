#pragma once

#include "document/DrawElement.h"

#include <QPainterPath>
#include <vector>

// The outline of traced elements in picture coordinates, as the editor paints a trace over the
// picture before the user takes it over: lines, curves, ellipses and the closing lines of
// closed chains. Made once per trace, on the worker thread, so a repaint only strokes it.
QPainterPath tracePreviewPath(const std::vector<TDrawElement> &elements);
