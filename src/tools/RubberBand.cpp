#include "tools/RubberBand.h"

#include "view/CanvasPainter.h"
#include "view/ViewTransform.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

namespace {

// Wide lines end and join round, as the pens the drawing was first designed for do; a square
// cap would make the corners of the area rectangle and the handle ends look notched.
QPen widePen(const QColor &colour, int width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPointF screenF(const TViewTransform &view, TPointD p)
{
    return QPointF(view.ImageToScreen(p));
}

} // namespace

void paintRubberBand(QPainter &painter, const RubberBand &band, const TViewTransform &view,
    const QColor &penColor, double lineWidth)
{
    if (band.shape == RubberBand::Shape::None)
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen drawingPen = widePen(penColor, view.penWidth(lineWidth));

    if (band.showHandle) {
        const QPoint from = view.ImageToScreen(band.handleFrom);
        const QPoint to = view.ImageToScreen(band.handleTo);
        painter.setPen(widePen(Qt::black, 3));
        painter.drawLine(from, to);
        painter.setPen(widePen(Qt::white, 1));
        painter.drawLine(from, to);
        // The smooth tool is down, so the pan tool is not: the markers are always drawn.
        endpunkt(painter, from.x(), from.y(), ControlMarkerColour, false);
        endpunkt(painter, to.x(), to.y(), ControlMarkerColour, false);
    }

    painter.setPen(drawingPen);
    const QPointF start = screenF(view, band.start);
    const QPointF end = screenF(view, band.end);
    switch (band.shape) {
    case RubberBand::Shape::Line:
        painter.drawLine(start, end);
        break;
    case RubberBand::Shape::Cubic: {
        QPainterPath path(start);
        path.cubicTo(screenF(view, band.c1), screenF(view, band.c2), end);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        break;
    }
    case RubberBand::Shape::Ellipse:
        // Only the outline: the fill is off while the ellipse is drawn.
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(start, end).normalized());
        break;
    case RubberBand::Shape::None:
        break;
    }
}

void paintAreaRectangle(QPainter &painter, QPoint origin, QPoint pointer)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(widePen(QColor(0, 128, 0), 3));
    const QPoint outline[] = {
        origin,
        QPoint(pointer.x(), origin.y()),
        pointer,
        QPoint(origin.x(), pointer.y()),
        origin,
    };
    painter.drawPolyline(outline, 5);
    painter.setPen(QPen(Qt::black, 1));
}
