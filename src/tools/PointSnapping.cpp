#include "tools/PointSnapping.h"

#include <cmath>
#include <numbers>

bool clickonpunkt(double canvasX, double canvasY, double pointX, double pointY, double zoom)
{
    return std::fabs(canvasX - zoom * pointX / 100) <= 5
        && std::fabs(canvasY - zoom * pointY / 100) <= 5;
}

PointHitTest::PointHitTest(QPoint canvas, double zoom)
    : m_cx(canvas.x())
    , m_cy(canvas.y())
    , m_zoom(zoom)
    , m_filter(zoom > 0 && std::isfinite(zoom))
{
    if (!m_filter)
        return;
    // A hundredth of a pixel more than the tolerance, far beyond any rounding of the exact test.
    constexpr double Reach = 5.01;
    m_xLo = (m_cx - Reach) * 100 / zoom;
    m_xHi = (m_cx + Reach) * 100 / zoom;
    m_yLo = (m_cy - Reach) * 100 / zoom;
    m_yHi = (m_cy + Reach) * 100 / zoom;
    m_reach = { m_xLo, m_yLo, m_xHi, m_yHi };
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

bool snapPoint(
    const TElementList &list, QPoint canvas, double zoom, TPointD &position, ElementIndex *index)
{
    const PointHitTest test(canvas, zoom);
    const NearElements near = test.candidates(index, list);
    TPointD points[4];
    for (std::int32_t k = 0; k < near.size(); ++k) {
        const int n = definingPoints(list.at(near[k]), points);
        for (int k = 0; k < n; ++k) {
            if (test.hits(points[k])) {
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

void stepAngle(TPointD anchor, TPointD &point)
{
    const double dx = point.x - anchor.x;
    const double dy = point.y - anchor.y;
    const double distance = std::hypot(dx, dy);
    if (distance == 0 || !std::isfinite(distance))
        return;
    constexpr double Step = std::numbers::pi / 12;
    const long step = std::lround(std::atan2(dy, dx) / Step);
    // Multiples of 90 degrees come from the table, where sine and cosine have no rounding.
    double c = 0;
    double s = 0;
    switch ((step % 24 + 24) % 24) {
    case 0:
        c = 1;
        break;
    case 6:
        s = 1;
        break;
    case 12:
        c = -1;
        break;
    case 18:
        s = -1;
        break;
    default:
        c = std::cos(static_cast<double>(step) * Step);
        s = std::sin(static_cast<double>(step) * Step);
        break;
    }
    point = { anchor.x + distance * c, anchor.y + distance * s };
}
