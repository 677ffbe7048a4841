#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

// Traces the boundaries of the ink in `picture` (the settings' region of it) into closed
// chains: threshold, bitmap, potrace's outlines, refinement against the grey levels, ellipses,
// elements. Runs on any thread; reads the picture and nothing else, so the caller keeps the
// picture unchanged until it returns.
TraceResult traceOutline(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control = {});
