#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

// Traces the middle of the strokes of a line drawing in `picture` (the settings' region of it):
// threshold, thinning to a skeleton, spurs pruned, split at ends and junctions, moved to the
// middle of the strokes by the grey levels, fitted with lines and curves. A stroke becomes an
// open chain, a loop a closed one; chains that meet at a junction share its point exactly.
// Runs on any thread and reads nothing but the picture.
TraceResult traceCenterline(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control = {});
