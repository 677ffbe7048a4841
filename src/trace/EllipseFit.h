#pragma once

#include "trace/Outline.h"

#include <opencv2/core/mat.hpp>
#include <optional>
#include <vector>

// An ellipse whose axes are parallel to the picture's.
struct AxisEllipse
{
    TPointD centre;
    double rx;
    double ry;

    // Distance of `p` from the ellipse, to first order (exact for a circle).
    double distance(TPointD p) const;
};

// The axis-parallel ellipse nearest to `points` in the least-squares sense: an algebraic fit
// to start with, then Gauss-Newton steps on the distances. Empty when the points do not
// describe an ellipse (too few, or a hyperbola or a line fits them better), or when
// `roughTolerance` is positive and the algebraic fit misses the points by more than that
// (root mean square).
std::optional<AxisEllipse> fitAxisEllipse(
    const std::vector<TPointD> &points, double roughTolerance = 0);

struct FitError
{
    double rms = 0;
    double max = 0;
};
FitError fitError(const AxisEllipse &e, const std::vector<TPointD> &points);

// Points every `spacing` pixels along the outline's pieces.
std::vector<TPointD> outlinePoints(const Outline &outline, double spacing);

// Replaces the outline by an ellipse when one fits both the edge places found (`edgePoints`,
// within `rms` root mean square) and the refined pieces (within `max` everywhere).
bool recognizeEllipse(
    Outline &outline, const std::vector<TPointD> &edgePoints, double rms, double max);

// Fits a recognised ellipse again to the boundary between the ink and paper pixels of a picture
// of two levels, where the grey levels say nothing about where between two pixel centres an
// edge lies: to the midpoints of the pixel sides between an ink and a paper pixel within a pixel
// and a half of it. Each side's midpoint is off the true edge by as much inward as outward, so
// the centre comes out closer than from edge places that follow the pixels' steps.
void refitOnPixelSides(Outline &outline, const cv::Mat &grey, int threshold);
