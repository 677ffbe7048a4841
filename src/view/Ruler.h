#pragma once

#include <QPainter>
#include <vector>

// The two rulers along the drawing area. They show picture pixels; the label step follows the
// zoom so that labels stay about 50 ruler pixels apart.

enum class TRulerOrientation { Horizontal, Vertical };

enum class TTickKind {
    Odd, // short tick, H div 3 long
    Even, // short tick, 3 pixels shorter than an odd one
    Full, // a line across the ruler, with a label
};

struct TRulerTick
{
    int position; // ruler pixel
    int value; // picture coordinate
    TTickKind kind;
};

struct TRulerLayout
{
    float lo = 0; // picture coordinate at the ruler's start (single precision, as drawn)
    float hi = 0; // picture coordinate at its end
    double distance = 0; // picture distance covered by 50 ruler pixels
    int step = 0; // label step S; 0 when the ruler is empty
    std::vector<TRulerTick> ticks; // in drawing order
};

// The label step for a picture distance D per 50 ruler pixels: 1, 5, 10, 20, 40 or 100.
int rulerLabelStep(double distance);

// Where the ticks of a ruler of the given size go. `length` is the ruler's extent along its
// axis (W for the horizontal ruler, H for the vertical one), `scroll` the matching scroll
// position. A vertical ruler of 50 pixels or less, whose divisor (H - 1) div 50 would be 0,
// is divided as if it were one 50-pixel span, giving the same step as a 51 to 100-pixel one.
TRulerLayout layoutRuler(TRulerOrientation orientation, int length, double zoom, int scroll);

// Paints a ruler of width x height at (0, 0) of the painter: the white face with its black
// frame (no top edge on the vertical ruler), the ticks and the "Arial" 10 pt labels. Lines
// stop one pixel short of their end point, as the platform's line drawing does.
void paintRuler(QPainter &painter, TRulerOrientation orientation, int width, int height,
    double zoom, int scroll);

// The horizontal ruler PaintBox3 and the vertical ruler PaintBox2.
inline void PaintBox3Paint(QPainter &painter, int width, int height, double zoom, int scrollX)
{
    paintRuler(painter, TRulerOrientation::Horizontal, width, height, zoom, scrollX);
}
inline void PaintBox2Paint(QPainter &painter, int width, int height, double zoom, int scrollY)
{
    paintRuler(painter, TRulerOrientation::Vertical, width, height, zoom, scrollY);
}
