#include "view/ViewTransform.h"

#include <algorithm>
#include <climits>
#include <cmath>

int TViewTransform::scaledExactly(double v) const
{
    const long double z = zoom;
    return RoundEven(z * v / 100);
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
