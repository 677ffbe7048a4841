#include "trace/Trace.h"

#include "trace/OutlineTrace.h"

TraceResult tracePicture(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    if (settings.mode == TraceSettings::Mode::Outline)
        return traceOutline(picture, settings, control);
    TraceResult r;
    r.status = TraceResult::Status::Failed;
    r.reason = QStringLiteral("centre-line tracing is not available in this version");
    return r;
}
