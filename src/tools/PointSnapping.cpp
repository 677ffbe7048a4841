#include "tools/PointSnapping.h"

#include <cmath>

bool clickonpunkt(double canvasX, double canvasY, double pointX, double pointY, double zoom)
{
    return std::fabs(canvasX - zoom * pointX / 100) <= 5
        && std::fabs(canvasY - zoom * pointY / 100) <= 5;
}

bool hasDefiningPoints(std::int32_t kind)
{
    return kind == KindLine || kind == KindEllipse || usesCtrl1(kind);
}

int definingPoints(const TDrawElement &element, TPointD points[4])
{
    switch (element.Kind) {
    case KindLine:
    case KindEllipse:
        points[0] = element.Start;
        points[1] = element.End;
        return 2;
    case KindQuadBezier:
        points[0] = element.Start;
        points[1] = element.End;
        points[2] = element.Ctrl1;
        return 3;
    case KindCubicBezier:
        points[0] = element.Start;
        points[1] = element.End;
        points[2] = element.Ctrl1;
        points[3] = element.Ctrl2;
        return 4;
    default:
        return 0;
    }
}

bool snapPoint(const TElementList &list, QPoint canvas, double zoom, TPointD &position)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    const double cx = canvas.x();
    const double cy = canvas.y();
    TPointD points[4];
    for (std::int32_t i = 0; i < count; ++i) {
        const int n = definingPoints(list.at(i), points);
        for (int k = 0; k < n; ++k) {
            if (clickonpunkt(cx, cy, points[k].x, points[k].y, zoom)) {
                position = points[k];
                return true;
            }
        }
    }
    return false;
}

void circleConstraint(TPointD segStart, TPointD &point)
{
    const double dx = std::fabs(point.x - segStart.x);
    const double dy = std::fabs(point.y - segStart.y);
    if (dx > dy)
        point.x = point.x > segStart.x ? segStart.x + dy : segStart.x - dy;
    else
        point.y = point.y > segStart.y ? segStart.y + dx : segStart.y - dx;
}
