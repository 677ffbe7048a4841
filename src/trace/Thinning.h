#pragma once

#include "trace/TraceSettings.h"

#include <opencv2/core/mat.hpp>

// Thins the ink of `framed` (8 bits, 1 for ink and 0 for paper, with a frame of paper one pixel
// wide round the picture, which spares every look at a neighbour a bounds check) in place to
// lines one pixel wide by Zhang and Suen's method, then removes the corner pixels of the steps
// it leaves, so that every line pixel has exactly two neighbours. The result is the picture
// within the frame, 1 for the skeleton and 0 elsewhere. Each pass looks only at the pixels on
// the ink's border, so the time grows with the ink rather than with the picture. Gives an empty
// picture when `control` cancels it between two passes.
cv::Mat thinToSkeleton(cv::Mat framed, const TraceControl &control);
