#include "view/Ruler.h"

#include <QFont>
#include <QFontMetricsF>
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
        TRulerTick tick { static_cast<int>(std::clamp<long double>(p, -1e9L, 1e9L)),
            static_cast<int>(v), kind, 0, {} };
        if (kind == TTickKind::Full) {
            tick.mark = t / 10;
            tick.label = QString::number(tick.value);
        }
        layout.ticks.push_back(std::move(tick));
    }
    return layout;
}

namespace {

// n times 10 to the power `exponent`, written with exactly the decimals it needs.
QString decimalLabel(long long n, int exponent)
{
    if (exponent >= 0) {
        for (int i = 0; i < exponent; ++i)
            n *= 10;
        return QString::number(n);
    }
    QString digits = QString::number(n < 0 ? -n : n);
    const int decimals = -exponent;
    if (digits.size() <= decimals)
        digits = QString(decimals + 1 - digits.size(), QLatin1Char('0')) + digits;
    digits.insert(digits.size() - decimals, QLatin1Char('.'));
    while (digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    if (digits.endsWith(QLatin1Char('.')))
        digits.chop(1);
    return n < 0 ? QLatin1Char('-') + digits : digits;
}

} // namespace

TRulerLayout layoutRuler(
    TRulerOrientation orientation, int length, double zoom, int scroll, double pixelsPerUnit)
{
    if (!(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit))
        return layoutRuler(orientation, length, zoom, scroll);
    TRulerLayout layout;
    if (length <= 0 || !(zoom > 0))
        return layout;
    const double lo = static_cast<double>(scroll) * 100 / zoom / pixelsPerUnit;
    const double hi = (static_cast<double>(length) + scroll) * 100 / zoom / pixelsPerUnit;
    const double span = hi - lo;
    layout.lo = static_cast<float>(lo);
    layout.hi = static_cast<float>(hi);
    if (!(span > 0) || !std::isfinite(span))
        return layout;
    const bool horizontal = orientation == TRulerOrientation::Horizontal;
    const double divisor = horizontal ? length / 50.0 : std::max(1, (length - 1) / 50);
    layout.distance = span / divisor;

    // The step is mantissa x 10^exponent with a mantissa of 1, 2 or 5, not below the units of
    // 40 ruler pixels.
    const double least = layout.distance * 40 / 50;
    int exponent = static_cast<int>(std::floor(std::log10(least)));
    long long mantissa = 1;
    const double base = std::pow(10.0, exponent);
    if (least > 5 * base) {
        ++exponent;
    } else if (least > 2 * base) {
        mantissa = 5;
    } else if (least > base) {
        mantissa = 2;
    }
    // No resolution the exports accept comes near these bounds; beyond them labels could not be
    // written exactly, so such a unit counts picture pixels instead.
    if (exponent < -9 || exponent > 12)
        return layoutRuler(orientation, length, zoom, scroll);
    const double step = static_cast<double>(mantissa) * std::pow(10.0, exponent);
    layout.unitStep = step;

    const long long first = 10 * static_cast<long long>(std::trunc(lo / step - 1));
    const long long last = 10 * static_cast<long long>(std::trunc(hi / step + 1));
    const double extent = horizontal ? length : length - 1;
    for (long long t = first; t <= last; ++t) {
        const double v = static_cast<double>(t) * step / 10;
        const double p = std::trunc(extent * (v - lo) / span);
        if (horizontal && p < 0)
            continue;
        TTickKind kind = TTickKind::Full;
        if (t % 10 != 0)
            kind = (t & 1) ? TTickKind::Odd : TTickKind::Even;
        TRulerTick tick { static_cast<int>(std::clamp(p, -1e9, 1e9)),
            static_cast<int>(std::clamp(std::floor(v), -2e9, 2e9)), kind, 0, {} };
        if (kind == TTickKind::Full) {
            tick.mark = t / 10;
            tick.label = decimalLabel(tick.mark * mantissa, exponent);
        }
        layout.ticks.push_back(std::move(tick));
    }
    return layout;
}

QFont rulerFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    return font;
}

void fitRulerLabels(
    TRulerLayout &layout, TRulerOrientation orientation, const QFontMetricsF &metrics)
{
    const bool horizontal = orientation == TRulerOrientation::Horizontal;
    // The room a label takes along the ruler from its tick: its width on the horizontal ruler,
    // where it starts one pixel right of the tick, and the line height on the vertical one.
    const auto extent = [&](const QString &label) {
        if (!horizontal)
            return metrics.height();
        return 1 + std::max(metrics.horizontalAdvance(label), metrics.boundingRect(label).right());
    };
    const auto fits = [&](long long stride) {
        const TRulerTick *previous = nullptr;
        for (const TRulerTick &tick : layout.ticks) {
            if (tick.kind != TTickKind::Full || tick.mark % stride != 0)
                continue;
            if (previous
                && tick.position - previous->position < extent(previous->label) + RulerLabelGap)
                return false;
            previous = &tick;
        }
        return true;
    };
    // Strides of 1, 2, 5, 10, 20, 50, ...; a stride beyond every mark leaves a single label,
    // which always fits, so the search ends.
    const auto smallestStride = [&] {
        for (long long decade = 1; decade < 1'000'000'000'000'000LL; decade *= 10) {
            for (long long mantissa : { 1, 2, 5 }) {
                if (fits(mantissa * decade))
                    return mantissa * decade;
            }
        }
        return 1'000'000'000'000'000LL;
    };
    const long long stride = smallestStride();
    if (stride == 1)
        return;
    for (TRulerTick &tick : layout.ticks) {
        if (tick.kind == TTickKind::Full && tick.mark % stride != 0)
            tick.label.clear();
    }
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
    double zoom, int scroll, double pixelsPerUnit)
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

    const QFont font = rulerFont();
    p.setFont(font);
    p.setPen(Qt::black);
    TRulerLayout layout = layoutRuler(orientation, horizontal ? W : H, zoom, scroll, pixelsPerUnit);
    fitRulerLabels(layout, orientation, QFontMetricsF(font, &bitmap));
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
                if (!tick.label.isEmpty())
                    p.drawText(
                        QRect(q + 1, 1, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, tick.label);
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
                if (!tick.label.isEmpty())
                    p.drawText(QRect(1, q, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, tick.label);
                break;
            }
        }
    }
    p.end();
    painter.drawImage(QPoint(0, 0), bitmap);
}
