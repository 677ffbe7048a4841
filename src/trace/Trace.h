#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

// Traces `picture` as the settings' mode says: the entry for the editor's worker thread and for
// the converter. The picture must stay unchanged until it returns.
TraceResult tracePicture(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control = {});
