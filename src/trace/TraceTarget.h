#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

// Traces `target` of `picture` with `settings` (whose own region is replaced by the target's).
// A click on ink traces the connected ink it belongs to; a click on paper traces the ink that
// encloses that paper, so a click inside a ring or a closed outline takes the shape around it.
// Of the chains in the shape's bounding box only those of the shape itself are kept: its outer
// boundary and the boundaries of its holes, or its centre lines.
TraceResult traceTarget(const TDibRec &picture, const TraceSettings &settings,
    const TraceTarget &target, const TraceControl &control = {});
