#include "trace/CenterlineTrace.h"

#include "trace/CentreRefiner.h"
#include "trace/ChainBuilder.h"
#include "trace/GreyPicture.h"
#include "trace/PathFit.h"
#include "trace/Skeleton.h"
#include "trace/Threshold.h"

#include <new>
#include <opencv2/imgproc.hpp>

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

// Pixels that differ from their right-hand neighbour.
std::size_t transitions(const cv::Mat &ink)
{
    std::size_t n = 0;
    for (int y = 0; y < ink.rows; ++y) {
        const std::uint8_t *row = ink.ptr<std::uint8_t>(y);
        for (int x = 1; x < ink.cols; ++x)
            n += row[x] != row[x - 1];
    }
    return n;
}

TraceResult run(const TDibRec &picture, const TraceSettings &settings, const TraceControl &control)
{
    control.report(0);
    GreyResult grey = makeGreyPicture(picture, settings.region, control);
    if (grey.status != TraceResult::Status::Ok) {
        TraceResult r = withStatus(grey.status);
        r.reason = grey.reason;
        return r;
    }
    const GreyPicture &g = grey.picture;
    control.report(10);

    GreyHistogram histogram;
    if (!greyHistogram(g.grey, histogram, control))
        return withStatus(TraceResult::Status::Cancelled);
    const int threshold =
        settings.threshold >= 0 ? std::min(settings.threshold, 256) : otsuThreshold(histogram);
    control.report(15);

    cv::Mat ink;
    cv::threshold(g.grey, ink, threshold - 1, 255, cv::THRESH_BINARY_INV);
    const std::size_t pixels = std::size_t(ink.rows) * std::size_t(ink.cols);
    const std::size_t inkPixels = std::size_t(cv::countNonZero(ink));
    if (inkPixels == 0)
        return withStatus(TraceResult::Status::Empty, "no pixel is darker than the threshold");
    if (inkPixels == pixels)
        return withStatus(TraceResult::Status::Empty, "every pixel is darker than the threshold");
    if (pixels >= 10000 && transitions(ink) * 10 > pixels * 3)
        return withStatus(TraceResult::Status::Empty, "the picture holds noise rather than shapes");
    control.report(20);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);

    Skeleton skeleton;
    if (!traceSkeleton(ink, inkPixels, control, skeleton))
        return withStatus(TraceResult::Status::Cancelled);
    ink.release();
    control.report(50);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);
    pruneSkeleton(skeleton);
    control.report(60);
    if (control.cancelled())
        return withStatus(TraceResult::Status::Cancelled);

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
