#include "trace/ChainBuilder.h"

namespace {

TDrawElement element(const OutlinePiece &p, const GreyPicture &picture, std::size_t pos)
{
    TDrawElement e {};
    e.ChainPos = static_cast<std::int32_t>(pos);
    e.Kind = p.line ? KindLine : KindCubicBezier;
    e.Start = picture.toPicture(p.p0);
    e.End = picture.toPicture(p.p3);
    if (!p.line) {
        e.Ctrl1 = picture.toPicture(p.c1);
        e.Ctrl2 = picture.toPicture(p.c2);
    }
    return e;
}

} // namespace

void appendChain(
    const Outline &outline, const GreyPicture &picture, std::vector<TDrawElement> &elements)
{
    if (outline.isEllipse) {
        TDrawElement e {};
        e.Kind = KindEllipse;
        // The tracer's y runs upward, so the top-left corner is the one at centre.y + radiusY.
        e.Start = picture.toPicture(
            { outline.centre.x - outline.radiusX, outline.centre.y + outline.radiusY });
        e.End = picture.toPicture(
            { outline.centre.x + outline.radiusX, outline.centre.y - outline.radiusY });
        // An ellipse is closed by itself; ClosesChain would add a diagonal line across it.
        elements.push_back(e);
        return;
    }
    const std::size_t n = outline.pieces.size();
    if (n == 0)
        return;
    std::size_t lastLine = n;
    for (std::size_t i = n; i-- > 0;) {
        if (outline.pieces[i].line) {
            lastLine = i;
            break;
        }
    }
    // With a straight piece the chain starts after it and leaves it to the closing line.
    const std::size_t first = lastLine < n ? (lastLine + 1) % n : 0;
    const std::size_t count = lastLine < n ? n - 1 : n;
    if (count == 0)
        return;
    for (std::size_t k = 0; k < count; ++k) {
        TDrawElement e = element(outline.pieces[(first + k) % n], picture, k);
        e.ClosesChain = k + 1 == count;
        elements.push_back(e);
    }
}

void appendOpenChain(const std::vector<OutlinePiece> &pieces, const GreyPicture &picture,
    std::vector<TDrawElement> &elements)
{
    for (std::size_t k = 0; k < pieces.size(); ++k)
        elements.push_back(element(pieces[k], picture, k));
}
