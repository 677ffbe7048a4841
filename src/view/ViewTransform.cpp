#include "view/ViewTransform.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A saturated coordinate minus a scroll position must not overflow.
int screenCoordinate(int scaled, int scroll)
{
    return static_cast<int>(
        std::clamp<long long>(static_cast<long long>(scaled) - scroll, INT_MIN, INT_MAX));
}

// RoundEven(zoom * v / 100) with product and quotient in extended precision. Extended
// arithmetic is slow, and a large drawing converts millions of points per paint, so the value
// is first worked out in double precision. Below 2^24 that is off from the exact quotient by
// less than 1e-8, and the extended one by far less, so wherever the double value lies more
// than 1e-6 from a half both round to the same integer; only near a half (or beyond the range)
// is the extended value needed.
int scaled(double zoom, double v)
{
    const double d = zoom * v / 100;
    if (std::abs(d) < 16777216.0) {
        // Adding and taking away 1.5 * 2^52 rounds to the nearest integer, halves to even.
        constexpr double Shift = 6755399441055744.0;
        const double r = (d + Shift) - Shift;
        if (std::abs(std::abs(d - r) - 0.5) > 1e-6)
            return static_cast<int>(r);
    }
    const long double z = zoom;
    return RoundEven(z * v / 100);
}

} // namespace

int TViewTransform::imageToScreenX(double x) const
{
    return screenCoordinate(scaled(zoom, x), scrollX);
}

int TViewTransform::imageToScreenY(double y) const
{
    return screenCoordinate(scaled(zoom, y), scrollY);
}

TPointD TViewTransform::ScreenToImage(int X, int Y) const
{
    const long double z = zoom;
    const long double px = (static_cast<long double>(X) + scrollX) / z * 100;
    const long double py = (static_cast<long double>(Y) + scrollY) / z * 100;
    return { static_cast<double>(px), static_cast<double>(py) };
}

int TViewTransform::lengthToScreen(double length) const
{
    const long double z = zoom;
    return RoundEven(length * z / 100);
}

int TViewTransform::penWidth(double lineWidth) const
{
    return std::max(1, lengthToScreen(lineWidth));
}

QRect TViewTransform::pictureRect(int width, int height) const
{
    return { -scrollX, -scrollY, lengthToScreen(width), lengthToScreen(height) };
}
