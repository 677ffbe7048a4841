#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

#include <QRect>
#include <array>
#include <cstdint>
#include <opencv2/core/mat.hpp>

using GreyHistogram = std::array<std::uint64_t, 256>;

// Counts the grey levels of `grey`; false when `control` cancelled it.
bool greyHistogram(const cv::Mat &grey, GreyHistogram &histogram, const TraceControl &control);
// Counts the grey levels of `region` of `picture` band by band (see forEachGreyBand).
TraceResult::Status regionHistogram(
    const TDibRec &picture, QRect region, const TraceControl &control, GreyHistogram &histogram);

// Otsu's threshold: the level T (1..255) that best splits the histogram into ink (< T) and paper
// (>= T) by the variance between the two classes. A histogram of a single level gives 128, so a
// plain picture is all paper unless it is darker than mid grey.
int otsuThreshold(const GreyHistogram &histogram);

// The grey level at which the edge between ink and paper lies, given the threshold that
// separates them: halfway between the mean ink and the mean paper level. An anti-aliased edge
// passes through that level where the ink covers half a pixel.
double edgeLevel(const GreyHistogram &histogram, int threshold);
// The mean paper level less the mean ink level (at least 1).
double inkContrast(const GreyHistogram &histogram, int threshold);

// Number of grey levels the picture uses.
int levelsUsed(const GreyHistogram &histogram);
