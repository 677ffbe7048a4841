#include "trace/OutlineTrace.h"

#include "trace/ChainBuilder.h"
#include "trace/EdgeRefiner.h"
#include "trace/EllipseFit.h"
#include "trace/GreyPicture.h"
#include "trace/InkBitmap.h"
#include "trace/PotraceOutlines.h"
#include "trace/Threshold.h"

#include <new>
#ifdef __GLIBC__
#    include <malloc.h>
#endif

namespace {

// Outlines refined between two looks at the cancel flag.
constexpr std::size_t OutlinesPerCheck = 256;

TraceResult cancelled()
{
    TraceResult r;
    r.status = TraceResult::Status::Cancelled;
    return r;
}

TraceResult empty(const char *reason)
{
    TraceResult r;
    r.status = TraceResult::Status::Empty;
    r.reason = QString::fromLatin1(reason);
    return r;
}

TraceResult run(const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    control.report(0);
    QRect region;
    {
        // Only the checks of the picture and the region, nothing converted yet.
        const GreyResult probe = makeGreyPicture(picture, settings.region, control, false);
        if (probe.status != TraceResult::Status::Ok) {
            TraceResult r;
            r.status = probe.status;
            r.reason = probe.reason;
            return r;
        }
        region = probe.picture.region;
    }

    GreyHistogram histogram;
    if (regionHistogram(picture, region, control, histogram) != TraceResult::Status::Ok)
        return cancelled();
    control.report(10);
    const int threshold =
        settings.threshold >= 0 ? std::min(settings.threshold, 256) : otsuThreshold(histogram);
    control.report(15);

    // The bitmap is filled band by band, and potrace's outlines are found before the grey
    // picture of the whole region is made: on a large scan that is not 8-bit grey, the copy
    // and potrace's own memory would otherwise add up.
    InkBitmap bitmap;
    bitmap.create(region.width(), region.height());
    if (forEachGreyBand(picture, region, control,
            [&](const cv::Mat &grey, int y0) { bitmap.fillRows(grey, y0, threshold); })
        != TraceResult::Status::Ok)
        return cancelled();
    const std::size_t pixels = std::size_t(region.width()) * std::size_t(region.height());
    const std::size_t ink = bitmap.inkCount();
    if (ink == 0)
        return empty("no pixel is darker than the threshold");
    if (ink == pixels)
        return empty("every pixel is darker than the threshold");
    if (pixels >= 10000 && bitmap.transitionCount() * 10 > pixels * 3)
        return empty("the picture holds noise rather than shapes");
    control.report(20);
    if (control.cancelled())
        return cancelled();

    const std::function<void(double)> potraceProgress = [&](double p) {
        control.report(20 + int(50 * p));
    };
    PotraceOutlines found =
        findOutlines(bitmap, settings.speckSize, settings.alphaMax, potraceProgress);
    if (!found.ok) {
        TraceResult r;
        r.status = TraceResult::Status::Failed;
        r.reason = QStringLiteral("not enough memory to trace the picture");
        return r;
    }
    bitmap.clear();
#ifdef __GLIBC__
    // Potrace builds its paths from many small blocks; freed, they stay with the process
    // unless handed back, and the grey picture would come on top of them.
    malloc_trim(0);
#endif
    control.report(70);

    GreyResult grey = makeGreyPicture(picture, region, control);
    if (grey.status != TraceResult::Status::Ok) {
        TraceResult r;
        r.status = grey.status;
        r.reason = grey.reason;
        return r;
    }
    const GreyPicture &g = grey.picture;

    // Pictures of two levels are refined too: between two pixel centres of ink and paper the
    // interpolated level still halves the step, which puts staircases on the line they stand for.
    const EdgeRefiner refiner(
        g.grey, edgeLevel(histogram, threshold), inkContrast(histogram, threshold));
    TraceResult result;
    std::vector<TPointD> edgePoints;
    const bool twoLevels = levelsUsed(histogram) == 2;
    for (std::size_t i = 0; i < found.outlines.size(); ++i) {
        if (i % OutlinesPerCheck == 0) {
            if (control.cancelled())
                return cancelled();
            control.report(70 + int(25 * i / found.outlines.size()));
        }
        Outline &o = found.outlines[i];
        edgePoints.clear();
        refiner.refine(o, &edgePoints);
        if (settings.recognizeCircles)
            recognizeEllipse(o, edgePoints, settings.ellipseRms, settings.ellipseMax);
        if (twoLevels)
            refitOnPixelSides(o, g.grey, threshold);
        appendChain(o, g, result.elements);
    }
    if (result.elements.empty())
        return empty("no shape is larger than the speck size");
    control.report(100);
    return result;
}

} // namespace

TraceResult traceOutline(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    try {
        return run(picture, settings, control);
    } catch (const std::bad_alloc &) {
        TraceResult r;
        r.status = TraceResult::Status::Failed;
        r.reason = QStringLiteral("not enough memory to trace the picture");
        return r;
    }
}
