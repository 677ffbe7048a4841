#include "trace/PotraceOutlines.h"

namespace {

TPointD point(const potrace_dpoint_t &p)
{
    return { p.x, p.y };
}

// Potrace's closed curve as pieces. Segment i runs from the end of segment i - 1 to c[i][2].
Outline toOutline(const potrace_path_t &path)
{
    Outline o;
    const potrace_curve_t &c = path.curve;
    o.pieces.reserve(std::size_t(c.n) * 2);
    TPointD start = point(c.c[c.n - 1][2]);
    for (int i = 0; i < c.n; ++i) {
        OutlinePiece piece;
        piece.p0 = start;
        if (c.tag[i] == POTRACE_CORNER) {
            piece.line = true;
            piece.cornerAtEnd = true;
            piece.p3 = point(c.c[i][1]);
            o.pieces.push_back(piece);
            piece.p0 = piece.p3;
            piece.cornerAtEnd = false;
        } else {
            piece.c1 = point(c.c[i][0]);
            piece.c2 = point(c.c[i][1]);
        }
        piece.p3 = point(c.c[i][2]);
        o.pieces.push_back(piece);
        start = piece.p3;
    }
    return o;
}

} // namespace

PotraceOutlines findOutlines(const InkBitmap &bitmap, int speckSize, double alphaMax,
    const std::function<void(double)> &progress)
{
    PotraceOutlines result;
    PotraceParams params(potrace_param_default());
    if (!params)
        return result;
    params->turdsize = std::max(0, speckSize);
    params->alphamax = alphaMax;
    if (progress) {
        params->progress.callback = [](double p, void *data) {
            (*static_cast<const std::function<void(double)> *>(data))(p);
        };
        params->progress.data = const_cast<std::function<void(double)> *>(&progress);
        params->progress.min = 0;
        params->progress.max = 1;
        params->progress.epsilon = 0.01;
    }
    PotraceState state(potrace_trace(params.get(), &bitmap.bitmap()));
    if (!state || state->status != POTRACE_STATUS_OK)
        return result;
    for (const potrace_path_t *p = state->plist; p; p = p->next) {
        if (p->curve.n > 0)
            result.outlines.push_back(toOutline(*p));
    }
    result.ok = true;
    return result;
}
