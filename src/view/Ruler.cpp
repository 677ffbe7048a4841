#include "view/Ruler.h"

#include <QFont>
#include <QImage>
#include <algorithm>
#include <cmath>

int rulerLabelStep(double distance)
{
    if (distance < 2.5)
        return 1;
    if (distance < 7.5)
        return 5;
    if (distance < 15)
        return 10;
    if (distance < 30)
        return 20;
    if (distance < 70)
        return 40;
    return 100;
}

TRulerLayout layoutRuler(TRulerOrientation orientation, int length, double zoom, int scroll)
{
    TRulerLayout layout;
    if (length <= 0 || !(zoom > 0))
        return layout;
    const long double z = zoom;
    // The products are whole numbers; the quotients are kept in single precision, which
    // decides on which pixel a tick lands.
    layout.lo =
        static_cast<float>(static_cast<long double>(static_cast<long long>(scroll) * 100) / z);
    layout.hi = static_cast<float>(
        static_cast<long double>((static_cast<long long>(length) + scroll) * 100) / z);
    const long double span = static_cast<long double>(layout.hi) - layout.lo;
    if (!(span > 0))
        return layout;

    long double divisor;
    if (orientation == TRulerOrientation::Horizontal)
        divisor = static_cast<long double>(length) / 50;
    else
        divisor = std::max(1, (length - 1) / 50);
    layout.distance = static_cast<double>(span / divisor);
    const int S = rulerLabelStep(layout.distance);
    layout.step = S;

    const long long first = 10 * static_cast<long long>(std::trunc(layout.lo / S - 1.0L));
    const long long last = 10 * static_cast<long long>(std::trunc(layout.hi / S + 1.0L));
    const long double extent = orientation == TRulerOrientation::Horizontal ? length : length - 1;
    for (long long t = first; t <= last; ++t) {
        const long long v =
            static_cast<long long>(std::trunc(static_cast<long double>(t * S) / 10));
        const long double p = std::trunc(extent * (v - static_cast<long double>(layout.lo)) / span);
        if (orientation == TRulerOrientation::Horizontal && p < 0)
            continue;
        TTickKind kind = TTickKind::Full;
        if (t % 10 != 0)
            kind = (t & 1) ? TTickKind::Odd : TTickKind::Even;
        layout.ticks.push_back({ static_cast<int>(std::clamp<long double>(p, -1e9L, 1e9L)),
            static_cast<int>(v), kind });
    }
    return layout;
}

namespace {

// A horizontal or vertical line from `from` towards `to`, the end pixel left out.
void lineTo(QPainter &p, QPoint from, QPoint to)
{
    if (from.y() == to.y()) {
        const int step = to.x() > from.x() ? 1 : -1;
        const int x0 = std::min(from.x(), to.x() - step);
        const int x1 = std::max(from.x(), to.x() - step);
        if (from.x() != to.x())
            p.fillRect(QRect(x0, from.y(), x1 - x0 + 1, 1), Qt::black);
    } else if (from.x() == to.x()) {
        const int step = to.y() > from.y() ? 1 : -1;
        const int y0 = std::min(from.y(), to.y() - step);
        const int y1 = std::max(from.y(), to.y() - step);
        p.fillRect(QRect(from.x(), y0, 1, y1 - y0 + 1), Qt::black);
    }
}

void polyline(QPainter &p, std::initializer_list<QPoint> points)
{
    const QPoint *prev = nullptr;
    for (const QPoint &pt : points) {
        if (prev)
            lineTo(p, *prev, pt);
        prev = &pt;
    }
}

} // namespace

void paintRuler(QPainter &painter, TRulerOrientation orientation, int width, int height,
    double zoom, int scroll)
{
    if (width <= 0 || height <= 0)
        return;
    // The ruler is drawn into its own bitmap and copied in one piece, so the screen never shows
    // a half-drawn ruler. The bitmap has the pixel ratio of the ruler's screen, so that on a
    // high-density screen the labels are rendered at its resolution rather than enlarged.
    const qreal ratio =
        painter.device() ? std::clamp<qreal>(painter.device()->devicePixelRatio(), 1, 8) : 1;
    QImage bitmap(static_cast<int>(std::ceil(width * ratio)),
        static_cast<int>(std::ceil(height * ratio)), QImage::Format_RGB32);
    if (bitmap.isNull())
        return;
    bitmap.setDevicePixelRatio(ratio);
    bitmap.fill(Qt::white);
    QPainter p(&bitmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const int W = width, H = height;
    const bool horizontal = orientation == TRulerOrientation::Horizontal;
    if (horizontal) {
        polyline(p, { { 0, 0 }, { W - 1, 0 }, { W - 1, H - 1 }, { 0, H - 1 }, { 0, 0 } });
        lineTo(p, { 0, H - 1 }, { 0, 0 });
        p.fillRect(QRect(1, 1, W - 2, H - 2), Qt::white);
    } else {
        polyline(p, { { W - 1, 0 }, { W - 1, H - 1 }, { 0, H - 1 }, { 0, -1 } });
        p.fillRect(QRect(1, 0, W - 2, H - 1), Qt::white);
    }

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    p.setFont(font);
    p.setPen(Qt::black);
    const TRulerLayout layout = layoutRuler(orientation, horizontal ? W : H, zoom, scroll);
    for (const TRulerTick &tick : layout.ticks) {
        const int q = tick.position;
        if (horizontal) {
            switch (tick.kind) {
            case TTickKind::Odd:
                lineTo(p, { q, (H - 1) - H / 3 }, { q, H - 1 });
                break;
            case TTickKind::Even:
                lineTo(p, { q, (H - 1) - H / 3 + 3 }, { q, H - 1 });
                break;
            case TTickKind::Full:
                lineTo(p, { q, 0 }, { q, H - 1 });
                p.drawText(QRect(q + 1, 1, 1000, 1000), Qt::AlignLeft | Qt::AlignTop,
                    QString::number(tick.value));
                break;
            }
        } else {
            switch (tick.kind) {
            case TTickKind::Odd:
                lineTo(p, { (W - 1) - W / 3, q }, { W - 1, q });
                break;
            case TTickKind::Even:
                lineTo(p, { (W - 1) - W / 3 + 3, q }, { W - 1, q });
                break;
            case TTickKind::Full:
                lineTo(p, { 0, q }, { W - 1, q });
                p.drawText(QRect(1, q, 1000, 1000), Qt::AlignLeft | Qt::AlignTop,
                    QString::number(tick.value));
                break;
            }
        }
    }
    p.end();
    painter.drawImage(QPoint(0, 0), bitmap);
}
