#include "view/ViewTransform.h"

#include <algorithm>
#include <climits>

namespace {

// A saturated coordinate minus a scroll position must not overflow.
int screenCoordinate(int scaled, int scroll)
{
    return static_cast<int>(
        std::clamp<long long>(static_cast<long long>(scaled) - scroll, INT_MIN, INT_MAX));
}

} // namespace

int TViewTransform::imageToScreenX(double x) const
{
    const long double z = zoom;
    return screenCoordinate(RoundEven(z * x / 100), scrollX);
}

int TViewTransform::imageToScreenY(double y) const
{
    const long double z = zoom;
    return screenCoordinate(RoundEven(z * y / 100), scrollY);
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
