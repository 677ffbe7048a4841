#pragma once

#include <QPainter>
#include <QString>
#include <vector>

class QFontMetricsF;

// The two rulers along the drawing area. They show picture pixels, or a length unit of the
// exports; the label step follows the zoom so that labels stay about 50 ruler pixels apart, and
// where labels would still run into each other some are left out.

enum class TRulerOrientation { Horizontal, Vertical };

enum class TTickKind {
    Odd, // short tick, H div 3 long
    Even, // short tick, 3 pixels shorter than an odd one
    Full, // a line across the ruler, with a label
};

struct TRulerTick
{
    int position; // ruler pixel
    int value; // picture coordinate; on a ruler in a length unit, the value cut to whole units
    TTickKind kind;
    // Full ticks: the number of label steps from 0. A crowded ruler keeps the labels whose count
    // is a multiple of 2, 5, 10, ..., so the labels left are still round numbers.
    long long mark = 0;
    QString label; // full ticks: the label, empty where it was left out for lack of room
};

struct TRulerLayout
{
    float lo = 0; // picture coordinate at the ruler's start (single precision, as drawn)
    float hi = 0; // picture coordinate at its end
    double distance = 0; // picture distance covered by 50 ruler pixels
    int step = 0; // label step S; 0 when the ruler is empty or counts in a length unit
    double unitStep = 0; // the label step of a ruler in a length unit
    std::vector<TRulerTick> ticks; // in drawing order
};

// The label step for a picture distance D per 50 ruler pixels: 1, 5, 10, 20, 40 or 100.
int rulerLabelStep(double distance);

// Where the ticks of a ruler of the given size go. `length` is the ruler's extent along its
// axis (W for the horizontal ruler, H for the vertical one), `scroll` the matching scroll
// position. A vertical ruler of 50 pixels or less, whose divisor (H - 1) div 50 would be 0,
// is divided as if it were one 50-pixel span, giving the same step as a 51 to 100-pixel one.
TRulerLayout layoutRuler(TRulerOrientation orientation, int length, double zoom, int scroll);

// The same ruler counting in a length unit of `pixelsPerUnit` picture pixels (the exports' scale
// divisor). The label step is 1, 2 or 5 times a power of ten, the smallest that puts labels at
// least 40 ruler pixels apart; labels carry as many decimals as their value needs. A unit that is
// not a positive number gives the ruler in picture pixels.
TRulerLayout layoutRuler(
    TRulerOrientation orientation, int length, double zoom, int scroll, double pixelsPerUnit);

// Leaves out labels that would run into the next one, written in `metrics`: when every label
// fits, all stay; otherwise only those whose mark is a multiple of the smallest of 2, 5, 10, 20,
// 50, ... that keeps a gap of RulerLabelGap pixels between them. Tick lines are not changed.
inline constexpr int RulerLabelGap = 2;
void fitRulerLabels(
    TRulerLayout &layout, TRulerOrientation orientation, const QFontMetricsF &metrics);

// The font of the labels.
QFont rulerFont();

// Paints a ruler of width x height at (0, 0) of the painter: the white face with its black
// frame (no top edge on the vertical ruler), the ticks and the "Arial" 10 pt labels. Lines
// stop one pixel short of their end point, as the platform's line drawing does.
// `pixelsPerUnit` as for layoutRuler; 0 counts picture pixels.
void paintRuler(QPainter &painter, TRulerOrientation orientation, int width, int height,
    double zoom, int scroll, double pixelsPerUnit = 0);

// The horizontal ruler PaintBox3 and the vertical ruler PaintBox2.
inline void PaintBox3Paint(
    QPainter &painter, int width, int height, double zoom, int scrollX, double pixelsPerUnit = 0)
{
    paintRuler(painter, TRulerOrientation::Horizontal, width, height, zoom, scrollX, pixelsPerUnit);
}
inline void PaintBox2Paint(
    QPainter &painter, int width, int height, double zoom, int scrollY, double pixelsPerUnit = 0)
{
    paintRuler(painter, TRulerOrientation::Vertical, width, height, zoom, scrollY, pixelsPerUnit);
}
