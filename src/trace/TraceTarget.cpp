#include "trace/TraceTarget.h"

#include "trace/GreyPicture.h"
#include "trace/Threshold.h"
#include "trace/Trace.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

namespace {

// The first look around a click: large enough for most shapes, small enough to be quick. A
// shape that reaches the edge of the window is looked at again in a window twice as large.
constexpr int FirstWindowHalf = 512;
// Pixels of paper kept around the shape, so that its edges can be refined against the grey
// levels on both sides.
constexpr int ShapeMargin = 2;

TraceResult withStatus(TraceResult::Status status, const char *reason)
{
    TraceResult r;
    r.status = status;
    r.reason = QString::fromLatin1(reason);
    return r;
}

QRect pictureRect(const TDibRec &picture)
{
    if (!picture.BitmapInfo)
        return {};
    return QRect(0, 0, picture.BitmapInfo->bmiHeader.biWidth,
        std::abs(picture.BitmapInfo->bmiHeader.biHeight));
}

// The connected shape found around a click: its pixels within its bounding box.
struct Shape
{
    QRect bounds;
    // bounds.width() x bounds.height(), row 0 at the top; a bit a pixel, as it is kept while
    // the shape's box is traced.
    std::vector<bool> mask;
    int threshold = 128;

    bool contains(int x, int y) const
    {
        if (!bounds.contains(x, y))
            return false;
        return mask[std::size_t(y - bounds.top()) * std::size_t(bounds.width())
            + std::size_t(x - bounds.left())];
    }
};

// A window of the picture as ink and paper, y downward, with the flood fills of the search.
class InkWindow
{
public:
    InkWindow(const cv::Mat &grey, QRect window, int threshold)
        : m_window(window)
        , m_width(window.width())
        , m_height(window.height())
        , m_cells(std::size_t(m_width) * std::size_t(m_height))
    {
        // The grey picture's row 0 is the window's lowest row.
        for (int y = 0; y < m_height; ++y) {
            const std::uint8_t *row = grey.ptr<std::uint8_t>(m_height - 1 - y);
            for (int x = 0; x < m_width; ++x)
                m_cells[index(x, y)] = row[x] < threshold ? Ink : 0;
        }
    }

    bool ink(QPoint p) const
    {
        return m_cells[index(p.x() - m_window.left(), p.y() - m_window.top())] & Ink;
    }

    struct Fill
    {
        QRect bounds; // picture pixels
        bool touchesEdge = false; // reaches the edge of the window
        QPoint leftmost; // a pixel of the fill with the least x
    };

    // Marks the pixels connected to `seed` that are ink (eight neighbours) or paper (four, so
    // that paper never leaks between two diagonal ink pixels) with `label`.
    Fill fill(QPoint seed, bool inkFill, std::uint8_t label)
    {
        Fill f;
        int x0 = m_width, y0 = m_height, x1 = -1, y1 = -1;
        std::vector<std::size_t> stack { index(
            seed.x() - m_window.left(), seed.y() - m_window.top()) };
        m_cells[stack.back()] |= label;
        while (!stack.empty()) {
            const std::size_t i = stack.back();
            stack.pop_back();
            const int x = int(i % std::size_t(m_width)), y = int(i / std::size_t(m_width));
            if (x < x0 || (x == x0 && y < f.leftmost.y())) {
                x0 = x;
                f.leftmost = { x, y };
            }
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
            if (x == 0 || y == 0 || x == m_width - 1 || y == m_height - 1)
                f.touchesEdge = true;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if ((dx == 0 && dy == 0) || (!inkFill && dx != 0 && dy != 0))
                        continue;
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= m_width || ny >= m_height)
                        continue;
                    const std::size_t n = index(nx, ny);
                    if (m_cells[n] == (inkFill ? Ink : 0)) {
                        m_cells[n] |= label;
                        stack.push_back(n);
                    }
                }
            }
        }
        f.bounds = QRect(QPoint(x0, y0), QPoint(x1, y1)).translated(m_window.topLeft());
        f.leftmost += m_window.topLeft();
        return f;
    }

    // The pixels labelled `label` within `bounds` (picture pixels).
    std::vector<bool> mask(QRect bounds, std::uint8_t label) const
    {
        std::vector<bool> m(std::size_t(bounds.width()) * std::size_t(bounds.height()));
        for (int y = 0; y < bounds.height(); ++y) {
            for (int x = 0; x < bounds.width(); ++x) {
                const std::size_t i =
                    index(bounds.left() - m_window.left() + x, bounds.top() - m_window.top() + y);
                m[std::size_t(y) * std::size_t(bounds.width()) + std::size_t(x)] =
                    (m_cells[i] & ~Ink) == label;
            }
        }
        return m;
    }

private:
    std::size_t index(int x, int y) const
    {
        return std::size_t(y) * std::size_t(m_width) + std::size_t(x);
    }

    QRect m_window;
    int m_width, m_height;
    // Per pixel: Ink, and the label of the fill that reached it (0 while none has).
    static constexpr std::uint8_t Ink = 0x80;
    std::vector<std::uint8_t> m_cells;
};

enum class Search { Found, Grow, Nothing };

// Looks for the shape at `at` within `window`; Grow when the shape may reach beyond it.
Search findShape(const cv::Mat &grey, QRect window, QRect whole, QPoint at, Shape &shape)
{
    constexpr std::uint8_t PaperLabel = 1, InkLabel = 2;
    InkWindow w(grey, window, shape.threshold);
    const bool windowIsWhole = window == whole;
    QPoint seed = at;
    if (!w.ink(at)) {
        const InkWindow::Fill paper = w.fill(at, false, PaperLabel);
        // Paper that reaches the picture's edge lies outside every shape.
        if (paper.touchesEdge) {
            const bool pictureEdge = paper.bounds.left() == whole.left()
                || paper.bounds.top() == whole.top() || paper.bounds.right() == whole.right()
                || paper.bounds.bottom() == whole.bottom();
            return pictureEdge || windowIsWhole ? Search::Nothing : Search::Grow;
        }
        // The left neighbour of the paper's leftmost pixel is ink, and it belongs to the
        // enclosing shape: any ink further in has paper of this region on its left.
        seed = paper.leftmost - QPoint(1, 0);
    }
    const InkWindow::Fill ink = w.fill(seed, true, InkLabel);
    if (ink.touchesEdge && !windowIsWhole) {
        const bool onlyPictureEdges =
            (ink.bounds.left() > window.left() || window.left() == whole.left())
            && (ink.bounds.top() > window.top() || window.top() == whole.top())
            && (ink.bounds.right() < window.right() || window.right() == whole.right())
            && (ink.bounds.bottom() < window.bottom() || window.bottom() == whole.bottom());
        if (!onlyPictureEdges)
            return Search::Grow;
    }
    shape.bounds = ink.bounds;
    shape.mask = w.mask(ink.bounds, InkLabel);
    return Search::Found;
}

// Whether most of the chain's points lie on the shape: within a pixel and a half of one of its
// pixels, which a boundary traced between the shape and the paper always is, and a centre line
// through it too. Another shape's boundary close by may pass a few such points, never most.
bool chainOnShape(const TDrawElement *first, std::size_t count, const Shape &shape)
{
    std::size_t near = 0, total = 0;
    const auto look = [&](TPointD p) {
        ++total;
        const int cx = int(std::floor(p.x)), cy = int(std::floor(p.y));
        for (int y = cy - 2; y <= cy + 1; ++y) {
            for (int x = cx - 2; x <= cx + 1; ++x) {
                if (shape.contains(x, y)) {
                    ++near;
                    return;
                }
            }
        }
    };
    for (std::size_t i = 0; i < count; ++i) {
        const TDrawElement &e = first[i];
        if (e.Kind == KindEllipse) {
            const double mx = (e.Start.x + e.End.x) / 2, my = (e.Start.y + e.End.y) / 2;
            look({ e.Start.x, my });
            look({ e.End.x, my });
            look({ mx, e.Start.y });
            look({ mx, e.End.y });
        } else {
            look(e.Start);
            look(e.End);
        }
    }
    return near * 2 > total;
}

TraceResult traceShape(
    const TDibRec &picture, TraceSettings settings, QPoint at, const TraceControl &control)
{
    const QRect whole = pictureRect(picture);
    if (!whole.contains(at))
        return withStatus(TraceResult::Status::Empty, "the point lies outside the picture");

    QRect window = QRect(at - QPoint(FirstWindowHalf, FirstWindowHalf),
        QSize(2 * FirstWindowHalf, 2 * FirstWindowHalf))
                       .intersected(whole);
    Shape shape;
    for (bool first = true;; first = false) {
        GreyResult grey = makeGreyPicture(picture, window, control);
        if (grey.status != TraceResult::Status::Ok) {
            TraceResult r;
            r.status = grey.status;
            r.reason = grey.reason;
            return r;
        }
        if (first) {
            // The threshold stays that of the first window, so growing the window does not
            // change what counts as ink.
            GreyHistogram histogram;
            if (!greyHistogram(grey.picture.grey, histogram, control))
                return withStatus(TraceResult::Status::Cancelled, "");
            shape.threshold = settings.threshold >= 0 ? std::min(settings.threshold, 256)
                                                      : otsuThreshold(histogram);
        }
        const Search s = findShape(grey.picture.grey, window, whole, at, shape);
        if (s == Search::Nothing)
            return withStatus(TraceResult::Status::Empty, "no shape lies at the point");
        if (s == Search::Found)
            break;
        if (control.cancelled())
            return withStatus(TraceResult::Status::Cancelled, "");
        window = window.adjusted(-window.width(), -window.height(), window.width(), window.height())
                     .intersected(whole);
    }

    settings.threshold = shape.threshold;
    settings.region = shape.bounds.adjusted(-ShapeMargin, -ShapeMargin, ShapeMargin, ShapeMargin)
                          .intersected(whole);
    TraceResult traced = tracePicture(picture, settings, control);
    if (!traced.ok())
        return traced;
    TraceResult kept;
    const std::vector<TDrawElement> &all = traced.elements;
    for (std::size_t begin = 0; begin < all.size();) {
        std::size_t end = begin + 1;
        while (end < all.size() && all[end].ChainPos != 0)
            ++end;
        if (chainOnShape(all.data() + begin, end - begin, shape))
            kept.elements.insert(kept.elements.end(), all.begin() + std::ptrdiff_t(begin),
                all.begin() + std::ptrdiff_t(end));
        begin = end;
    }
    if (kept.elements.empty())
        return withStatus(TraceResult::Status::Empty, "the shape is no larger than the speck size");
    return kept;
}

} // namespace

TraceResult traceTarget(const TDibRec &picture, const TraceSettings &settings,
    const TraceTarget &target, const TraceControl &control)
{
    TraceSettings s = settings;
    switch (target.kind) {
    case TraceTarget::Kind::Whole:
        s.region = QRect();
        return tracePicture(picture, s, control);
    case TraceTarget::Kind::Region:
        // An empty rectangle would mean the whole picture to the tracer; one beside the
        // picture holds nothing to trace, which is no failure.
        s.region = target.region.intersected(pictureRect(picture));
        if (s.region.isEmpty())
            return withStatus(TraceResult::Status::Empty, "the rectangle holds no pixel");
        return tracePicture(picture, s, control);
    case TraceTarget::Kind::Shape:
        try {
            return traceShape(picture, s, target.at, control);
        } catch (const std::bad_alloc &) {
            return withStatus(
                TraceResult::Status::Failed, "not enough memory to trace the picture");
        }
    }
    return {};
}
