#pragma once

#include "TraceScene.h"

#include <vector>

// How far traced lines lie from the known geometry of the pictures in TraceScene.h, shared by
// the tracer's tests, which hold the figures to their limits, and the benchmark, which reports
// them beside the potrace command's on the same pictures.
namespace trace_scene {

// The looks of the pictures, the parts sheet and the line drawing, that tracing is measured on.
struct NamedLook
{
    const char *name;
    Look look;
};
const std::vector<NamedLook> &looks();

// Distances of traced chains (points every 0.25 pixel, as `flatten` gives them) from the true
// boundaries.
struct Figures
{
    double max = 0;
    double median = 0;
    double boundariesWithinHalf = 0; // share of chains that stay within 0.5 px everywhere
    double missed = 0; // largest distance of a true boundary from the traced chains
};
Figures measure(const Scene &scene, const std::vector<std::vector<QPointF>> &chains);

// For each of the scene's circles the ellipse element nearest to it (centre and radius), or
// none when the elements hold no ellipse.
std::vector<const TDrawElement *> nearestEllipses(
    const Scene &scene, const std::vector<TDrawElement> &elements);

// The worst centre and radius errors over the scene's circles. A circle counts as found when
// an ellipse element lies within a pixel of it in centre and radius; the errors are those of
// the found ones.
struct CircleFigures
{
    int found = 0;
    int total = 0;
    double centreWorst = 0; // distance of the centres
    double radiusWorst = 0; // the larger of the two half axes' errors
};
CircleFigures ellipseFigures(const Scene &scene, const std::vector<TDrawElement> &elements);
// For curves that make no ellipses: a circle fitted by least squares to each closed chain, the
// one nearest to each true circle measured. Nothing counts as found.
CircleFigures fittedCircleFigures(
    const Scene &scene, const std::vector<std::vector<QPointF>> &chains);

// A sheet of line drawing at 300 dpi (560 x 740 pixels): a T and an X junction, a corner, a
// curve, and two loops.
struct Junction
{
    QPointF at;
    int strokes; // chains that must end there
};
struct Drawing
{
    std::vector<Stroke> strokes;
    std::vector<Junction> junctions;
    int openChains = 0, closedChains = 0;
};
Drawing lineDrawing();
// Distance to the nearest true centre line.
BoundaryDistance centreLines(const Drawing &drawing);

struct CenterlineFigures
{
    double max = 0;
    double mean = 0;
    int open = 0, closed = 0; // chains traced
    double longestMissed = 0; // the longest stretch of a true centre line left untraced
    // Per junction, the chain ends within 4 pixels of it; joined when there are as many as
    // strokes meet there and all are one and the same point, bit for bit.
    std::vector<std::vector<TPointD>> junctionEnds;
    int junctionsJoined = 0;
    // A spur is an open chain that leaves the true centre lines by more than 0.75 pixel and has
    // an end that meets no other chain and lies nowhere near the end of a drawn stroke; its
    // length against the width of the stroke it grows from.
    double longestSpur = 0;
    double spurPerWidth = 0;
};
CenterlineFigures measureCenterline(
    const Drawing &drawing, const std::vector<TDrawElement> &elements);

} // namespace trace_scene
