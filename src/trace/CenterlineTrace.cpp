#include "trace/CenterlineTrace.h"

#include "trace/CentreRefiner.h"
#include "trace/ChainBuilder.h"
#include "trace/GreyPicture.h"
#include "trace/PathFit.h"
#include "trace/Skeleton.h"
#include "trace/Threshold.h"

#include <new>
#include <opencv2/core.hpp>

namespace {

// The fitted lines and curves stay this close to the refined centre points, in pixels.
constexpr double FitTolerance = 0.4;
// Edges fitted between two looks at the cancel flag.
constexpr std::size_t EdgesPerCheck = 256;

TraceResult withStatus(TraceResult::Status status, const char *reason = "")
{
    TraceResult r;
    r.status = status;
    r.reason = QString::fromLatin1(reason);
    return r;
}

struct InkCounts
{
    std::size_t ink = 0;
    std::size_t transitions = 0; // ink pixels next to paper on their right, and the reverse
};

void countInk(const cv::Mat &grey, int threshold, InkCounts &c)
{
    for (int y = 0; y < grey.rows; ++y) {
        const std::uint8_t *row = grey.ptr<std::uint8_t>(y);
        bool before = row[0] < threshold;
        c.ink += before;
        for (int x = 1; x < grey.cols; ++x) {
            const bool ink = row[x] < threshold;
            c.ink += ink;
            c.transitions += ink != before;
            before = ink;
        }
    }
}

TraceResult run(const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    control.report(0);
    QRect region;
    {
        // Only the checks of the picture and the region, nothing converted yet.
        const GreyResult probe = makeGreyPicture(picture, settings.region, control, false);
        if (probe.status != TraceResult::Status::Ok) {
            TraceResult r = withStatus(probe.status);
            r.reason = probe.reason;
            return r;
        }
        region = probe.picture.region;
    }

    GreyHistogram histogram;
    TraceResult::Status status = regionHistogram(picture, region, control, histogram);
    if (status != TraceResult::Status::Ok)
        return withStatus(status);
    control.report(10);
    const int threshold =
        settings.threshold >= 0 ? std::min(settings.threshold, 256) : otsuThreshold(histogram);
    control.report(15);

    // The thinning's work picture: the ink, with a frame of paper round it.
    cv::Mat framed(region.height() + 2, region.width() + 2, CV_8U, cv::Scalar(0));
    InkCounts counts;
    status = forEachGreyBand(picture, region, control, [&](const cv::Mat &g, int y0) {
        countInk(g, threshold, counts);
        for (int y = 0; y < g.rows; ++y) {
            const std::uint8_t *in = g.ptr<std::uint8_t>(y);
            std::uint8_t *out = framed.ptr<std::uint8_t>(y0 + y + 1) + 1;
            for (int x = 0; x < g.cols; ++x)
                out[x] = in[x] < threshold;
        }
    });
    if (status != TraceResult::Status::Ok)
        return withStatus(status);
    const std::size_t pixels = std::size_t(region.width()) * std::size_t(region.height());
    const std::size_t inkPixels = counts.ink;
    if (inkPixels == 0)
        return withStatus(TraceResult::Status::Empty, "no pixel is darker than the threshold");
    if (inkPixels == pixels)
        return withStatus(TraceResult::Status::Empty, "every pixel is darker than the threshold");
    if (pixels >= 10000 && counts.transitions * 10 > pixels * 3)
        return withStatus(TraceResult::Status::Empty, "the picture holds noise rather than shapes");
    control.report(20);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);

    Skeleton skeleton;
    if (!traceSkeleton(std::move(framed), inkPixels, control, skeleton))
        return withStatus(TraceResult::Status::Cancelled);
    control.report(50);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);
    pruneSkeleton(skeleton);
    control.report(60);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);

    // The work picture is gone; now the grey levels of the whole region are wanted.
    GreyResult grey = makeGreyPicture(picture, region, control);
    if (grey.status != TraceResult::Status::Ok)
        return withStatus(grey.status);
    const GreyPicture &g = grey.picture;
    const double contrast = inkContrast(histogram, threshold);
    const double paper = edgeLevel(histogram, threshold) + contrast / 2;
    CentreRefiner(g.grey, paper, contrast, skeleton.strokeWidth).refine(skeleton);
    control.report(75);

    const std::size_t span = std::max<std::size_t>(3, std::size_t(skeleton.strokeWidth + 0.5));
    TraceResult result;
    for (std::size_t i = 0; i < skeleton.edges.size(); ++i) {
        if (i % EdgesPerCheck == 0) {
            if (control.cancelled())
                return withStatus(TraceResult::Status::Cancelled);
            control.report(75 + int(20 * i / skeleton.edges.size()));
        }
        const SkeletonEdge &e = skeleton.edges[i];
        if (e.removed || e.points.size() < 2)
            continue;
        if (e.loop()) {
            Outline o;
            o.pieces = fitPath(e.points, true, FitTolerance, span);
            appendChain(o, g, result.elements);
        } else {
            appendOpenChain(fitPath(e.points, false, FitTolerance, span), g, result.elements);
        }
    }
    if (result.elements.empty())
        return withStatus(TraceResult::Status::Empty, "no stroke is longer than it is wide");
    control.report(100);
    return result;
}

} // namespace

TraceResult traceCenterline(
    const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    try {
        return run(picture, settings, control);
    } catch (const std::bad_alloc &) {
        return withStatus(TraceResult::Status::Failed, "not enough memory to trace the picture");
    } catch (const cv::Exception &e) {
        // OpenCV reports a failed allocation this way, among other faults.
        TraceResult r = withStatus(TraceResult::Status::Failed);
        r.reason = QStringLiteral("the picture could not be traced: %1")
                       .arg(QString::fromStdString(e.msg));
        return r;
    }
}
