#pragma once

#include "base/RoundEven.h"
#include "document/DrawElement.h"

#include <QPoint>
#include <QRect>

// The view transform: a zoom in percent and the two scroll positions in drawing-area pixels.
// Picture point p appears at RoundEven(zoom * p / 100) - scroll, each coordinate on its own,
// so the picture's origin is always at (-scrollX, -scrollY) of the drawing area.
struct TViewTransform
{
    double zoom = 100;
    int scrollX = 0;
    int scrollY = 0;

    // Product and quotient in extended precision, as every caller that hit-tests or draws
    // must land on the same pixel.
    int imageToScreenX(double x) const;
    int imageToScreenY(double y) const;
    QPoint ImageToScreen(TPointD p) const { return { imageToScreenX(p.x), imageToScreenY(p.y) }; }
    QPoint ImageToScreen(double x, double y) const { return ImageToScreen(TPointD { x, y }); }

    // The picture position of a drawing-area pixel, not rounded: (X + SX) / Z * 100, divided
    // by the zoom before the multiplication.
    TPointD ScreenToImage(int X, int Y) const;

    // A length in picture units as drawing-area pixels: RoundEven(L * zoom / 100).
    int lengthToScreen(double length) const;

    // The pen width of the drawing: the line width converted as a length, at least 1 pixel.
    int penWidth(double lineWidth) const;

    // Where a picture of width x height lies on the drawing area.
    QRect pictureRect(int width, int height) const;
};
