#pragma once

#include "trace/Outline.h"

#include <opencv2/core/mat.hpp>
#include <vector>

// Moves potrace's pieces, which follow the black-and-white bitmap, onto the edges of the grey
// picture. The bitmap only knows on which side of a pixel's centre an edge lies; the grey level
// of the pixels along an edge says where between two centres it passes. Each piece is sampled,
// every sample looks along the piece's normal for the place where the interpolated grey level
// crosses the edge level, and the piece is fitted to those places: lines by least squares,
// sharp corners by intersecting the two fitted lines (the grey levels alone would cut them
// off), curves by least squares on the lengths of their handles, which keeps the directions
// potrace chose and so the smoothness at every joint.
class EdgeRefiner
{
public:
    // `grey` in the tracer's coordinates (row 0 lowest); `level` the edge level, `contrast` the
    // difference between the paper and the ink level.
    EdgeRefiner(const cv::Mat &grey, double level, double contrast);

    // Refines `outline` in place and appends the edge places found to `edgePoints` (when
    // given), for the ellipse fit.
    void refine(Outline &outline, std::vector<TPointD> *edgePoints = nullptr) const;

    // The grey level at `p`, bilinear between pixel centres, clamped at the border.
    double greyAt(TPointD p) const;

private:
    struct Sample
    {
        double t;
        double share; // of the piece's length, from its start to the sample
        TPointD q; // the edge place
        TPointD normal; // of the piece, towards the paper
        double offset; // signed distance from the piece along the normal
        bool valid;
    };
    struct LineFit
    {
        bool ok = false;
        TPointD point {}, dir {};
    };

    bool inkOnLeft(const Outline &o) const;
    TPointD outward(TPointD tangent, bool inkLeft) const;
    bool findCrossing(TPointD p, TPointD n, double &offset) const;
    std::vector<Sample> samplePiece(const OutlinePiece &piece, bool inkLeft) const;
    LineFit fitLine(const OutlinePiece &piece, const std::vector<Sample> &samples,
        double startClear, double endClear) const;
    // The edge next to joint `joint` (the start of that piece), before or after it, fitted by a
    // line clear of the corners at either end.
    LineFit fitSide(const Outline &o, const std::vector<std::vector<Sample>> &samples,
        const std::vector<double> &lengths, const std::vector<double> &clearances,
        std::size_t joint, bool forward) const;
    // Splits curves that stand for rounded-off sharp corners into two lines meeting at the
    // corner, sampled anew.
    void sharpenCorners(
        Outline &o, std::vector<std::vector<Sample>> &samples, double width, bool inkLeft) const;
    // Where the joint at the start of piece `i`, which is no corner, moves: along its normal by
    // the offsets found beside it, and onto the fitted lines it belongs to.
    TPointD smoothJoint(const Outline &o, const std::vector<std::vector<Sample>> &samples,
        const std::vector<LineFit> &lines, std::size_t i, bool inkLeft) const;
    // A corner found by other means than its own joint: the joint moves there, and the edges
    // meeting there take these directions.
    struct Pin
    {
        bool on = false;
        TPointD at {}, in {}, out {};
    };
    // Replaces the rounded end between two long, opposite edges (a thin bar cut off square) by
    // a straight edge with a corner at either end.
    std::vector<Pin> squareEnds(
        Outline &o, std::vector<std::vector<Sample>> &samples, double width, bool inkLeft) const;
    // Marks the smooth joints that are really corners, and sets their clearance.
    void findHiddenCorners(Outline &o, const std::vector<std::vector<Sample>> &samples,
        const std::vector<double> &lengths, std::vector<double> &clearance, double width) const;
    // How many pixels the change from ink to paper takes along the outline's edges.
    double edgeWidth(const std::vector<std::vector<Sample>> &samples) const;
    void fitCurve(OutlinePiece &piece, TPointD t0, TPointD t3, std::vector<Sample> &samples) const;

    // The line of least squared distance through `points`, directed like `along`; false for
    // fewer than two points or points less than a pixel apart.
    static bool fitPoints(
        const std::vector<TPointD> &points, TPointD along, TPointD &point, TPointD &dir);
    // How far from a corner that turns by `turn` the edges are fitted.
    static double cornerClearance(double turn, double edgeWidth);

    const cv::Mat &m_grey;
    double m_level;
    double m_contrast;
};
