#include "trace/Trace.h"

#include "trace/CenterlineTrace.h"
#include "trace/OutlineTrace.h"

TraceResult tracePicture(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    if (settings.mode == TraceSettings::Mode::Centerline)
        return traceCenterline(picture, settings, control);
    return traceOutline(picture, settings, control);
}
