#pragma once

#include "trace/Skeleton.h"

#include <opencv2/core/mat.hpp>

// Moves the skeleton from pixel centres to the middle of the strokes as the grey levels show it.
// Across the stroke, every point moves to the centre of mass of the ink (the darkness below the
// paper level) on the line through it at right angles to the stroke. Near a junction that line
// also crosses the other strokes, so those points are dropped, and the junction lies where the
// straight continuations of its strokes meet best. At a free end the stroke narrows into its
// cap; points where it is narrower than half its width are dropped as well.
class CentreRefiner
{
public:
    CentreRefiner(const cv::Mat &grey, double paperLevel, double contrast, double strokeWidth);

    void refine(Skeleton &skeleton) const;

private:
    double inkAt(TPointD p) const;
    // The offset of the ink's centre along `normal` from `p`, and the stroke's width there.
    bool across(TPointD p, TPointD normal, double &offset, double &width) const;
    void refineEdge(const Skeleton &s, SkeletonEdge &e) const;
    void extendEnd(std::vector<TPointD> &points, bool atBack) const;
    TPointD junction(const Skeleton &s, int node) const;

    const cv::Mat &m_grey;
    double m_paper;
    double m_contrast;
    double m_width;
};
