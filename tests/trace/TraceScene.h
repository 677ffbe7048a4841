#pragma once

#include "document/DrawElement.h"
#include "raster/DibRec.h"

#include <QImage>
#include <QPolygonF>
#include <vector>

// Pictures with known geometry for the tracer's tests and benchmark: shapes whose boundaries
// are given as dense polygons (every curve flattened to a twentieth of a pixel), painted
// anti-aliased, so the distance of a traced outline from the true boundary can be measured.
namespace trace_scene {

struct Circle
{
    QPointF centre;
    double radius;
};

struct Scene
{
    int width = 0;
    int height = 0;
    std::vector<QPolygonF> boundaries; // closed; holes are boundaries inside others
    std::vector<Circle> circles; // the boundaries that are circles, for the ellipse checks
};

struct Look
{
    int paper = 255;
    int ink = 0;
    double blur = 0; // Gaussian sigma in pixels
    double noise = 0; // Gaussian sigma in grey levels
    bool oneBit = false;
};

// A sheet of parts at 300 dpi: rotated plates with sharp corners, round and slotted holes,
// arcs, Bezier shapes, thin bars and small drill holes, `across` times `down` of them.
Scene partsSheet(int across = 1, int down = 1);
// The same parts filling an A4 page at 300 dpi (2480 x 3508 pixels).
Scene a4Sheet();

// The scene painted in grey levels (or black and white), as an 8-bit grey or 1-bit picture.
QImage paint(const Scene &scene, const Look &look);

// A stroke of a line drawing, with round ends and joins: its centre line, dense as above.
struct Stroke
{
    QPolygonF line;
    double width = 1;
    bool closed = false;
};
QImage paint(const std::vector<Stroke> &strokes, int width, int height, const Look &look);
// The same into a picture that exists already, such as one wrapped round a large Dib's rows.
void paintInto(QImage &image, const std::vector<Stroke> &strokes, const Look &look);
Dib toDib(const QImage &grey, bool oneBit);

// Points every `step` pixels along the elements; one vector per chain.
std::vector<std::vector<QPointF>> flatten(const std::vector<TDrawElement> &elements, double step);

// Distances to the nearest of a set of boundaries, through a grid of their segments.
class BoundaryDistance
{
public:
    explicit BoundaryDistance(const std::vector<QPolygonF> &boundaries);
    double operator()(QPointF p) const; // large when nothing lies within 4 pixels

private:
    struct Segment
    {
        QPointF a, b;
    };
    std::vector<std::vector<Segment>> m_cells;
    int m_cols = 0, m_rows = 0;
};

} // namespace trace_scene
