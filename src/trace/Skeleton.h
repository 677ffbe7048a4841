#pragma once

#include "trace/Outline.h"
#include "trace/TraceSettings.h"

#include <opencv2/core/mat.hpp>
#include <vector>

// The centre lines of the ink as a graph: nodes where strokes end or meet, edges along the
// strokes between them. Points are pixel centres in the tracer's coordinates (see Outline.h)
// until CentreRefiner moves them to the middle of the stroke.
struct SkeletonNode
{
    TPointD at {};
    std::vector<int> edges; // an edge from the node to itself is listed twice
    bool removed = false;
};

struct SkeletonEdge
{
    // Nodes at the first and the last point; both -1 for a closed loop, whose last point
    // joins its first.
    int from = -1, to = -1;
    std::vector<TPointD> points;
    bool removed = false;

    bool loop() const { return from < 0; }
    double length() const;
};

struct Skeleton
{
    std::vector<SkeletonNode> nodes;
    std::vector<SkeletonEdge> edges;
    // Typical stroke width in pixels: the ink's area over the skeleton's length.
    double strokeWidth = 1;

    int degree(int node) const { return int(nodes[std::size_t(node)].edges.size()); }
};

// Thins the ink of `framed` (see Thinning.h, whose work picture it is) to one-pixel lines and
// splits them at their ends and junctions; `inkPixels` is the number of ink pixels. Neighbouring
// junction pixels form one node. False when `control` cancelled it.
bool traceSkeleton(
    cv::Mat framed, std::size_t inkPixels, const TraceControl &control, Skeleton &skeleton);

// Drops spurs (branches from a junction to a free end shorter than the stroke width) and
// specks (lone pieces as short), joins the two edges at every node that is left with two, and
// merges junctions closer than the stroke width, as thinning splits a crossing into two.
void pruneSkeleton(Skeleton &skeleton);
