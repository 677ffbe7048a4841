#pragma once

#include "base/RoundEven.h"
#include "document/DrawElement.h"

#include <QPoint>
#include <QRect>
#include <climits>
#include <cmath>

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
    int imageToScreenX(double x) const { return offScreen(scaled(x), scrollX); }
    int imageToScreenY(double y) const { return offScreen(scaled(y), scrollY); }
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

private:
    // RoundEven(zoom * v / 100) with product and quotient in extended precision. Extended
    // arithmetic is slow, and a large drawing converts millions of points per paint, so the
    // value is first worked out in double precision. Below 2^24 that is off from the exact
    // value by less than 1e-8, and the extended one by far less, so wherever the double value
    // lies more than 1e-6 from a half both round to the same integer; only near a half (or
    // beyond the range) is the extended value needed.
    int scaled(double v) const
    {
        const double d = v * (zoom * 0.01);
        if (std::abs(d) < 16777216.0) {
            // Adding and taking away 1.5 * 2^52 rounds to the nearest integer, halves to even.
            constexpr double Shift = 6755399441055744.0;
            const double r = (d + Shift) - Shift;
            if (std::abs(std::abs(d - r) - 0.5) > 1e-6)
                return static_cast<int>(r);
        }
        return scaledExactly(v);
    }
    int scaledExactly(double v) const;
    // A scaled coordinate minus a scroll position, saturated at the integer range.
    static int offScreen(int scaled, int scroll)
    {
        const long long v = static_cast<long long>(scaled) - scroll;
        return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
    }
};
