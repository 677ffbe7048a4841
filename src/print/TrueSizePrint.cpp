#include "print/TrueSizePrint.h"

#include "document/Chain.h"
#include "raster/scaled/DibAccess.h"
#include "raster/scaled/ScaledDraw.h"
#include "view/ViewTransform.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr double MarkArmMm = 4;
constexpr double MarkRadiusMm = 2;
constexpr double MarkPenMm = 0.2;

// Pages along one axis, and where the drawing starts on the first of them.
struct AxisPages
{
    int count = 0;
    double offset = 0;
    double advance = 0;
};

AxisPages axisPages(double drawing, double page, bool centre, double overlap)
{
    if (!(drawing > 0) || !(page > 0) || !std::isfinite(drawing) || !std::isfinite(page))
        return {};
    if (drawing <= page)
        return { 1, centre ? (page - drawing) / 2 : 0, page };
    // The overlap takes at most a quarter of the page, so a small page still moves on.
    const double advance = page - std::clamp(overlap, 0.0, page / 4);
    const double needed = std::ceil((drawing - (page - advance)) / advance);
    // Far more pages than any print may have are counted only as "too many".
    const int count = static_cast<int>(std::min(needed, double(MaxTrueSizePages) + 1));
    return { count, 0, advance };
}

QPointF toPoint(TPointD p)
{
    return { p.x, p.y };
}

void paintPicture(QPainter &painter, QSizeF dotsPerMm, const TTrueSizeDrawing &drawing,
    const TTrueSizePages &pages, const QRectF &area)
{
    const TDibRec &picture = *drawing.picture;
    const int W = DibWidth(picture);
    const int H = DibHeight(picture);
    const double ppm = drawing.pixelsPerMm;
    // The whole picture pixels this page shows, and where their edges fall in device pixels.
    const auto range = [&](double from, double to, double offset, int size) {
        const double lo = std::floor((from - offset) * ppm);
        const double hi = std::ceil((to - offset) * ppm);
        return std::pair<int, int>(static_cast<int>(std::clamp(lo, 0.0, double(size))),
            static_cast<int>(std::clamp(hi, 0.0, double(size))));
    };
    const auto [x0, x1] = range(area.left(), area.right(), pages.offset.x(), W);
    const auto [y0, y1] = range(area.top(), area.bottom(), pages.offset.y(), H);
    if (x1 <= x0 || y1 <= y0)
        return;
    const auto device = [&](int pixel, double offset, double start, double dots) {
        return static_cast<int>(std::lround((offset + pixel / ppm - start) * dots));
    };
    const int left = device(x0, pages.offset.x(), area.left(), dotsPerMm.width());
    const int right = device(x1, pages.offset.x(), area.left(), dotsPerMm.width());
    const int top = device(y0, pages.offset.y(), area.top(), dotsPerMm.height());
    const int bottom = device(y1, pages.offset.y(), area.top(), dotsPerMm.height());
    TScaledDevice printer;
    printer.isPrinter = true;
    // The source rectangle counts its rows from the picture's lowest line.
    DrawDibScaled(painter, left, top, right - left, bottom - top, picture, x0, H - y1, x1 - x0,
        y1 - y0, false, SRCCOPY, true, nullptr, printer);
}

void paintMark(QPainter &painter, QPointF at)
{
    painter.drawLine(at - QPointF(MarkArmMm, 0), at + QPointF(MarkArmMm, 0));
    painter.drawLine(at - QPointF(0, MarkArmMm), at + QPointF(0, MarkArmMm));
    painter.drawEllipse(at, MarkRadiusMm, MarkRadiusMm);
}

// The crosses in the strips this page shares with its neighbours. A strip's crosses lie on its
// middle line, at a quarter and three quarters of the page along it, which are the same sheet
// positions on both pages of the strip.
void paintMarks(
    QPainter &painter, const TTrueSizePages &pages, const QRectF &area, int column, int row)
{
    painter.setPen(QPen(Qt::black, MarkPenMm));
    painter.setBrush(Qt::NoBrush);
    const double overlapX = pages.page.width() - pages.advance.width();
    const double overlapY = pages.page.height() - pages.advance.height();
    const auto vertical = [&](double middle) {
        for (double f : { 0.25, 0.75 })
            paintMark(painter, QPointF(middle, area.top() + f * area.height()));
    };
    const auto horizontal = [&](double middle) {
        for (double f : { 0.25, 0.75 })
            paintMark(painter, QPointF(area.left() + f * area.width(), middle));
    };
    if (column > 0)
        vertical(area.left() + overlapX / 2);
    if (column + 1 < pages.columns)
        vertical(area.right() - overlapX / 2);
    if (row > 0)
        horizontal(area.top() + overlapY / 2);
    if (row + 1 < pages.rows)
        horizontal(area.bottom() - overlapY / 2);
}

} // namespace

QRectF TTrueSizePages::pageArea(int column, int row) const
{
    return { QPointF(column * advance.width(), row * advance.height()), page };
}

TTrueSizePages trueSizePages(QSizeF drawingMm, QSizeF pageMm, bool centre, double overlapMm)
{
    const AxisPages across = axisPages(drawingMm.width(), pageMm.width(), centre, overlapMm);
    const AxisPages down = axisPages(drawingMm.height(), pageMm.height(), centre, overlapMm);
    if (across.count == 0 || down.count == 0)
        return {};
    TTrueSizePages pages;
    pages.columns = across.count;
    pages.rows = down.count;
    pages.page = pageMm;
    pages.offset = QPointF(across.offset, down.offset);
    pages.advance = QSizeF(across.advance, down.advance);
    return pages;
}

QSizeF TTrueSizeDrawing::sizeMm() const
{
    if (!picture || !picture->Bits || !(pixelsPerMm > 0) || !std::isfinite(pixelsPerMm))
        return {};
    return QSizeF(DibWidth(*picture) / pixelsPerMm, DibHeight(*picture) / pixelsPerMm);
}

QPainterPath drawingPath(const TElementList &list)
{
    QPainterPath path;
    const auto count = static_cast<std::int32_t>(list.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement &e = list.at(i);
        switch (e.Kind) {
        case KindLine:
            path.moveTo(toPoint(e.Start));
            path.lineTo(toPoint(e.End));
            break;
        case KindQuadBezier: {
            const CubicControls c = raiseQuadratic(e.Start, e.Ctrl1, e.End);
            path.moveTo(toPoint(e.Start));
            path.cubicTo(toPoint(c.c1), toPoint(c.c2), toPoint(e.End));
            break;
        }
        case KindCubicBezier:
            path.moveTo(toPoint(e.Start));
            path.cubicTo(toPoint(e.Ctrl1), toPoint(e.Ctrl2), toPoint(e.End));
            break;
        case KindEllipse:
            path.addEllipse(QRectF(toPoint(e.Start), toPoint(e.End)).normalized());
            break;
        default:
            break;
        }
        if (e.ClosesChain) {
            const std::int32_t first = chainStartIndex(list, i);
            if (first >= 0) {
                path.moveTo(toPoint(e.End));
                path.lineTo(toPoint(list.at(first).Start));
            }
        }
    }
    return path;
}

void paintTrueSizePage(QPainter &painter, QSizeF dotsPerMm, const TTrueSizeDrawing &drawing,
    const TTrueSizePages &pages, int column, int row)
{
    const QRectF area = pages.pageArea(column, row);
    painter.save();
    painter.setClipRect(
        QRectF(0, 0, area.width() * dotsPerMm.width(), area.height() * dotsPerMm.height()));
    if (drawing.withPicture && drawing.picture && drawing.picture->Bits)
        paintPicture(painter, dotsPerMm, drawing, pages, area);

    // From here on the painter counts in millimetres of the sheet.
    painter.setRenderHint(QPainter::Antialiasing, true);
    QTransform sheet;
    sheet.scale(dotsPerMm.width(), dotsPerMm.height());
    sheet.translate(-area.left(), -area.top());
    painter.setTransform(sheet);
    paintMarks(painter, pages, area, column, row);
    if (drawing.elements) {
        QTransform picture = sheet;
        picture.translate(pages.offset.x(), pages.offset.y());
        picture.scale(1 / drawing.pixelsPerMm, 1 / drawing.pixelsPerMm);
        painter.setTransform(picture);
        painter.setPen(QPen(drawing.penColor, TViewTransform {}.penWidth(drawing.lineWidth),
            Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(drawingPath(*drawing.elements));
    }
    painter.restore();
}

bool paintTrueSizePages(QPainter &painter, QPagedPaintDevice &device,
    const TTrueSizeDrawing &drawing, const TTrueSizePages &pages)
{
    if (pages.count() <= 0 || pages.count() > MaxTrueSizePages)
        return false;
    const QSizeF dotsPerMm(device.logicalDpiX() / 25.4, device.logicalDpiY() / 25.4);
    for (int row = 0; row < pages.rows; ++row) {
        for (int column = 0; column < pages.columns; ++column) {
            if ((row > 0 || column > 0) && !device.newPage())
                return false;
            paintTrueSizePage(painter, dotsPerMm, drawing, pages, column, row);
        }
    }
    return true;
}

TTrueSizePages trueSizePagesFor(
    const QPagedPaintDevice &device, const TTrueSizeDrawing &drawing, bool centre)
{
    const double dpiX = device.logicalDpiX();
    const double dpiY = device.logicalDpiY();
    if (!(dpiX > 0) || !(dpiY > 0))
        return {};
    const QSizeF page(device.width() * 25.4 / dpiX, device.height() * 25.4 / dpiY);
    return trueSizePages(drawing.sizeMm(), page, centre);
}
