#pragma once

#include "trace/TraceSettings.h"

#include <opencv2/core/mat.hpp>

// Thins the ink of `ink` (8 bits, non-zero for ink) to lines one pixel wide by Zhang and Suen's
// method, then removes the corner pixels of the steps it leaves, so that every line pixel has
// exactly two neighbours. The result is 1 for the skeleton and 0 elsewhere, the size of `ink`.
// Each pass looks only at the pixels on the ink's border, so the time grows with the ink rather
// than with the picture. Gives an empty picture when `control` cancels it between two passes.
cv::Mat thinToSkeleton(const cv::Mat &ink, const TraceControl &control);
