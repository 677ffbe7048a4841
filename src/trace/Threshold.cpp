#include "trace/Threshold.h"

#include "trace/GreyPicture.h"

#include <algorithm>

namespace {

constexpr int BandRows = 2048;

} // namespace

bool greyHistogram(const cv::Mat &grey, GreyHistogram &histogram, const TraceControl &control)
{
    histogram.fill(0);
    // Four partial counts break the dependency between neighbouring pixels of equal level.
    std::array<std::array<std::uint32_t, 256>, 4> partial {};
    for (int y = 0; y < grey.rows; ++y) {
        if (y % BandRows == 0 && control.cancelled())
            return false;
        const std::uint8_t *row = grey.ptr<std::uint8_t>(y);
        int x = 0;
        for (; x + 4 <= grey.cols; x += 4) {
            ++partial[0][row[x]];
            ++partial[1][row[x + 1]];
            ++partial[2][row[x + 2]];
            ++partial[3][row[x + 3]];
        }
        for (; x < grey.cols; ++x)
            ++partial[0][row[x]];
        // Flush before a 32-bit count could overflow.
        if (y % 4096 == 4095 || y + 1 == grey.rows) {
            for (auto &p : partial) {
                for (int i = 0; i < 256; ++i)
                    histogram[i] += p[i];
                p.fill(0);
            }
        }
    }
    return true;
}

TraceResult::Status regionHistogram(
    const TDibRec &picture, QRect region, const TraceControl &control, GreyHistogram &histogram)
{
    histogram.fill(0);
    return forEachGreyBand(picture, region, control, [&](const cv::Mat &grey, int) {
        GreyHistogram band;
        greyHistogram(grey, band, {});
        for (std::size_t i = 0; i < band.size(); ++i)
            histogram[i] += band[i];
    });
}

int otsuThreshold(const GreyHistogram &histogram)
{
    double total = 0, sum = 0;
    for (int i = 0; i < 256; ++i) {
        total += double(histogram[i]);
        sum += double(i) * double(histogram[i]);
    }
    if (levelsUsed(histogram) < 2)
        return 128;
    double below = 0, belowSum = 0, best = -1;
    int bestT = 128;
    // Among equally good splits the middle one is taken, so a picture of exactly two levels is
    // split halfway between them.
    int bestEnd = 128;
    for (int t = 1; t < 256; ++t) {
        below += double(histogram[t - 1]);
        belowSum += double(t - 1) * double(histogram[t - 1]);
        const double above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double d = belowSum / below - (sum - belowSum) / above;
        const double between = below * above * d * d;
        if (between > best * (1 + 1e-12)) {
            best = between;
            bestT = bestEnd = t;
        } else if (between >= best * (1 - 1e-12)) {
            bestEnd = t;
        }
    }
    return (bestT + bestEnd + 1) / 2;
}

namespace {

struct ClassMeans
{
    double ink, paper;
    bool ok;
};

ClassMeans classMeans(const GreyHistogram &histogram, int threshold)
{
    double ink = 0, inkSum = 0, paper = 0, paperSum = 0;
    for (int i = 0; i < 256; ++i) {
        (i < threshold ? ink : paper) += double(histogram[i]);
        (i < threshold ? inkSum : paperSum) += double(i) * double(histogram[i]);
    }
    if (ink == 0 || paper == 0)
        return { 0, 0, false };
    return { inkSum / ink, paperSum / paper, true };
}

} // namespace

double edgeLevel(const GreyHistogram &histogram, int threshold)
{
    const ClassMeans m = classMeans(histogram, threshold);
    return m.ok ? (m.ink + m.paper) / 2 : threshold - 0.5;
}

double inkContrast(const GreyHistogram &histogram, int threshold)
{
    const ClassMeans m = classMeans(histogram, threshold);
    return m.ok ? std::max(1.0, m.paper - m.ink) : 1.0;
}

int levelsUsed(const GreyHistogram &histogram)
{
    int n = 0;
    for (std::uint64_t c : histogram)
        n += c != 0;
    return n;
}
