#include "trace/TracePreview.h"

namespace {

QPointF qt(TPointD p)
{
    return { p.x, p.y };
}

} // namespace

QPainterPath tracePreviewPath(const std::vector<TDrawElement> &elements)
{
    QPainterPath path;
    TPointD chainStart {};
    for (const TDrawElement &e : elements) {
        if (e.Kind == KindEllipse) {
            path.addEllipse(QRectF(qt(e.Start), qt(e.End)).normalized());
            continue;
        }
        if (e.ChainPos == 0 || path.currentPosition() != qt(e.Start)) {
            path.moveTo(qt(e.Start));
            if (e.ChainPos == 0)
                chainStart = e.Start;
        }
        if (e.Kind == KindCubicBezier)
            path.cubicTo(qt(e.Ctrl1), qt(e.Ctrl2), qt(e.End));
        else if (e.Kind == KindQuadBezier)
            path.quadTo(qt(e.Ctrl1), qt(e.End));
        else
            path.lineTo(qt(e.End));
        if (e.ClosesChain)
            path.lineTo(qt(chainStart));
    }
    return path;
}
