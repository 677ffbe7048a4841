#pragma once

#include "document/DrawElement.h"

#include <QPoint>

class QColor;
class QPainter;
struct TViewTransform;

// The segment under construction as the next pointer move shows it, in picture coordinates.
// The drawing tool works out the shape; paintRubberBand draws it over the back buffer.
struct RubberBand
{
    enum class Shape {
        None,
        Line, // from start to end
        Cubic, // from start through c1 and c2 to end
        Ellipse, // inscribed in the rectangle from start to end
    };

    Shape shape = Shape::None;
    TPointD start {};
    TPointD end {};
    TPointD c1 {};
    TPointD c2 {};
    // The handle of a smooth curve, shown before the curve while its handle is being placed.
    bool showHandle = false;
    TPointD handleFrom {};
    TPointD handleTo {};
};

// Draws the rubber band with the drawing pen (pen colour, line width at the current zoom, at
// least 1 pixel) at the points' screen positions. The handle of a smooth curve is a black line
// 3 pixels wide with a white 1-pixel line over it and node markers at both ends; the curve
// follows with the drawing pen again.
void paintRubberBand(QPainter &painter, const RubberBand &band, const TViewTransform &view,
    const QColor &penColor, double lineWidth);

// Draws the outline of an area drag from `origin` over `pointer` (both drawing-area pixels)
// with a green pen 3 pixels wide, then leaves the painter with a black 1-pixel pen.
void paintAreaRectangle(QPainter &painter, QPoint origin, QPoint pointer);
