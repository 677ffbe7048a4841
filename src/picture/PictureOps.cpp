#include "picture/PictureOps.h"

#include "picture/PictureMat.h"
#include "raster/DibLimits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>

// --- The map ---

PictureMapping::PictureMapping()
    : m_m { 1, 0, 0, 0, 1, 0, 0, 0, 1 }
{
}

PictureMapping::PictureMapping(const std::array<double, 9> &rowMajor)
    : m_m(rowMajor)
{
}

TPointD PictureMapping::map(TPointD p) const
{
    const double x = m_m[0] * p.x + m_m[1] * p.y + m_m[2];
    const double y = m_m[3] * p.x + m_m[4] * p.y + m_m[5];
    const double w = m_m[6] * p.x + m_m[7] * p.y + m_m[8];
    return { x / w, y / w };
}

bool PictureMapping::keepsAxes() const
{
    if (m_m[6] != 0 || m_m[7] != 0)
        return false;
    return (m_m[1] == 0 && m_m[3] == 0) || (m_m[0] == 0 && m_m[4] == 0);
}

void PictureMapping::apply(TElementList &elements) const
{
    const bool axes = keepsAxes();
    const auto count = static_cast<std::int32_t>(elements.Count());
    for (std::int32_t i = 0; i < count; ++i) {
        TDrawElement &e = *elements.Get(i);
        for (TPointD *p :
            { &e.Ctrl1, &e.Ctrl2, &e.DragStart, &e.DragEnd, &e.DragCtrl1, &e.DragCtrl2 })
            *p = map(*p);
        if (e.Kind != KindEllipse || axes) {
            e.Start = map(e.Start);
            e.End = map(e.End);
            continue;
        }
        // The centre and the ends of both half axes, mapped; the new box keeps the lengths
        // of the half axes, turned a quarter when the map turns the first axis upright.
        const TPointD c { (e.Start.x + e.End.x) / 2, (e.Start.y + e.End.y) / 2 };
        const TPointD h { std::abs(e.End.x - e.Start.x) / 2, std::abs(e.End.y - e.Start.y) / 2 };
        const TPointD mc = map(c);
        const TPointD ax = map({ c.x + h.x, c.y }) - map({ c.x - h.x, c.y });
        const TPointD ay = map({ c.x, c.y + h.y }) - map({ c.x, c.y - h.y });
        double hx = std::hypot(ax.x, ax.y) / 2;
        double hy = std::hypot(ay.x, ay.y) / 2;
        if (std::abs(ax.y) > std::abs(ax.x))
            std::swap(hx, hy);
        const double sx = e.Start.x <= e.End.x ? -1 : 1;
        const double sy = e.Start.y <= e.End.y ? -1 : 1;
        e.Start = { mc.x + sx * hx, mc.y + sy * hy };
        e.End = { mc.x - sx * hx, mc.y - sy * hy };
    }
}

// --- Quarter turns, mirrors and crops: the depth stays ---

namespace {

// Moves the pixels by whole positions: dst stored (x, y) takes src stored from(x, y). Used for
// 1- and 4-bit pictures, whose pixels share bytes.
template <typename From>
void movePixels(const TDibRec &src, const TDibRec &dst, int width, int height, From from)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto [sx, sy] = from(x, y);
            setpixel(dst, x, y, getpixel(src, sx, sy));
        }
}

// One pixel of N bytes, copied as a whole.
template <int N> struct Pixel
{
    std::uint8_t b[N];
};

// Side of the square tiles a quarter turn moves at a time: 64 pixels of 3 bytes read and
// write 192 bytes of each of 64 rows, 24 KB in all, which stays in the first-level cache
// while every byte of it is used. Turning whole rows at once would read one pixel from each
// of thousands of rows and lose the cache line before its neighbours are wanted.
constexpr int kTile = 64;

// Copies the pixels x0 .. x1 - 1 of a destination row from the source pixels `from(x)`.
// Three-byte pixels move as one four-byte word: the byte past each pixel is read from the
// source and written into the next destination pixel, which the next step writes over. So the
// caller keeps the row's last pixel out (its extra byte would land in the padding or the next
// row, which another thread may be writing) and passes source pixels that are not the last of
// their row (the byte past the picture's last pixel may lie outside its block).
template <int N, typename From> void copyWide(Pixel<N> *to, int x0, int x1, From from)
{
    if constexpr (N == 3) {
        for (int x = x0; x < x1; ++x) {
            std::uint32_t word;
            std::memcpy(&word, from(x), sizeof word);
            std::memcpy(to + x, &word, sizeof word);
        }
    } else {
        for (int x = x0; x < x1; ++x)
            to[x] = *from(x);
    }
}
template <int N, typename From> void copyNarrow(Pixel<N> *to, int x0, int x1, From from)
{
    for (int x = x0; x < x1; ++x)
        to[x] = *from(x);
}

// Turns the stored rows of a picture of 8 bits or more by `turns` quarter turns (stored rows
// counter-clockwise, which is the picture clockwise, as rows are stored bottom-up), writing
// every destination row once. Bands of destination rows run on all cores.
template <int N> void turnRows(const TDibRec &s, const TDibRec &d, int w, int h, int turns)
{
    using P = Pixel<N>;
    const auto srcRow = [&](int y) {
        return reinterpret_cast<const P *>(
            s.Bits + static_cast<std::ptrdiff_t>(y) * s.BytesPerLine);
    };
    const auto dstRow = [&](int y) {
        return reinterpret_cast<P *>(d.Bits + static_cast<std::ptrdiff_t>(y) * d.BytesPerLine);
    };
    const bool upright = turns % 2 == 1;
    const int dw = upright ? h : w;
    const int dh = upright ? w : h;
    cv::parallel_for_(cv::Range(0, (dh + kTile - 1) / kTile), [&](const cv::Range &bands) {
        for (int band = bands.start; band < bands.end; ++band) {
            const int y0 = band * kTile;
            const int y1 = std::min(dh, y0 + kTile);
            if (!upright) {
                for (int y = y0; y < y1; ++y) {
                    if (turns == 0) {
                        std::memcpy(dstRow(y), srcRow(y), static_cast<std::size_t>(N) * w);
                        continue;
                    }
                    const P *from = srcRow(h - 1 - y) + w;
                    P *to = dstRow(y);
                    for (int x = 0; x < w; ++x)
                        to[x] = *--from;
                }
                continue;
            }
            // Destination (x, y) comes from source column w - 1 - y of row x for one turn,
            // and from column y of row h - 1 - x for three.
            const std::ptrdiff_t step = turns == 1 ? s.BytesPerLine : -s.BytesPerLine;
            const std::uint8_t *first =
                turns == 1 ? s.Bits : s.Bits + static_cast<std::ptrdiff_t>(h - 1) * s.BytesPerLine;
            for (int x0 = 0; x0 < dw; x0 += kTile) {
                const int x1 = std::min(dw, x0 + kTile);
                for (int y = y0; y < y1; ++y) {
                    P *to = dstRow(y);
                    // The source column: w - 1 - y for one turn, y for three. Its pixels have
                    // a byte after them unless it is the last column.
                    const int column = turns == 1 ? w - 1 - y : y;
                    const auto from = [&](int x) {
                        return reinterpret_cast<const P *>(first + x * step) + column;
                    };
                    const int wideEnd = std::min(x1, dw - 1);
                    if (column + 1 < w)
                        copyWide<N>(to, x0, wideEnd, from);
                    else
                        copyNarrow<N>(to, x0, wideEnd, from);
                    if (x1 == dw)
                        to[dw - 1] = *from(dw - 1);
                }
            }
        }
    });
}

} // namespace

PictureChange rotateQuarter(const Dib &picture, int quarterTurns)
{
    if (picture.isNull())
        return refused(kNoPicture);
    const int turns = ((quarterTurns % 4) + 4) % 4;
    const int w = picture.width();
    const int h = picture.height();
    const bool upright = turns % 2 == 1;
    PictureChange c;
    c.picture = newPictureLike(picture, upright ? h : w, upright ? w : h, picture.bitCount());
    if (c.picture.isNull())
        return refused(dibSizeAcceptable(upright ? h : w, upright ? w : h, picture.bitCount())
                ? kNoMemory
                : kTooLarge);
    const double W = w;
    const double H = h;
    switch (turns) {
    case 0:
        break;
    case 1:
        c.mapping = PictureMapping({ 0, -1, H, 1, 0, 0, 0, 0, 1 });
        break;
    case 2:
        c.mapping = PictureMapping({ -1, 0, W, 0, -1, H, 0, 0, 1 });
        break;
    default:
        c.mapping = PictureMapping({ 0, 1, 0, -1, 0, W, 0, 0, 1 });
        break;
    }
    const TDibRec &s = picture.rec();
    const TDibRec &d = c.picture.rec();
    // Rows are stored bottom-up, so a clockwise turn of the picture is a counter-clockwise
    // turn of the stored rows.
    switch (picture.bitCount()) {
    case 8:
        turnRows<1>(s, d, w, h, turns);
        return c;
    case 16:
        turnRows<2>(s, d, w, h, turns);
        return c;
    case 24:
        turnRows<3>(s, d, w, h, turns);
        return c;
    case 32:
        turnRows<4>(s, d, w, h, turns);
        return c;
    default:
        break;
    }
    const int dw = c.picture.width();
    const int dh = c.picture.height();
    movePixels(s, d, dw, dh, [&](int x, int y) {
        switch (turns) {
        case 1:
            return std::pair { w - 1 - y, x };
        case 2:
            return std::pair { w - 1 - x, h - 1 - y };
        case 3:
            return std::pair { y, h - 1 - x };
        default:
            return std::pair { x, y };
        }
    });
    return c;
}

PictureChange mirrorPicture(const Dib &picture, bool leftRight)
{
    if (picture.isNull())
        return refused(kNoPicture);
    const int w = picture.width();
    const int h = picture.height();
    PictureChange c;
    c.picture = newPictureLike(picture, w, h, picture.bitCount());
    if (c.picture.isNull())
        return refused(kNoMemory);
    c.mapping = leftRight ? PictureMapping({ -1, 0, double(w), 0, 1, 0, 0, 0, 1 })
                          : PictureMapping({ 1, 0, 0, 0, -1, double(h), 0, 0, 1 });
    if (picture.bitCount() >= 8) {
        try {
            cv::Mat to = wrapRows(c.picture);
            cv::flip(wrapRows(picture), to, leftRight ? 1 : 0);
        } catch (const cv::Exception &) {
            return refused(kNoMemory);
        }
        return c;
    }
    movePixels(picture.rec(), c.picture.rec(), w, h, [&](int x, int y) {
        return leftRight ? std::pair { w - 1 - x, y } : std::pair { x, h - 1 - y };
    });
    return c;
}

PictureChange cropPicture(const Dib &picture, TPointD a, TPointD b)
{
    if (picture.isNull())
        return refused(kNoPicture);
    const int w = picture.width();
    const int h = picture.height();
    const auto cut = [](double v, int limit) {
        return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(limit)));
    };
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
        return refused(kCropOutside);
    const int left = cut(std::floor(std::min(a.x, b.x)), w);
    const int right = cut(std::ceil(std::max(a.x, b.x)), w);
    const int top = cut(std::floor(std::min(a.y, b.y)), h);
    const int bottom = cut(std::ceil(std::max(a.y, b.y)), h);
    if (right <= left || bottom <= top)
        return refused(kCropOutside);
    const int cw = right - left;
    const int ch = bottom - top;
    PictureChange c;
    c.picture = newPictureLike(picture, cw, ch, picture.bitCount());
    if (c.picture.isNull())
        return refused(kNoMemory);
    c.mapping = PictureMapping({ 1, 0, -double(left), 0, 1, -double(top), 0, 0, 1 });
    // The stored rows count from the bottom of the picture.
    const int firstRow = h - bottom;
    if (picture.bitCount() >= 8) {
        cv::Mat to = wrapRows(c.picture);
        wrapRows(picture)(cv::Rect(left, firstRow, cw, ch)).copyTo(to);
        return c;
    }
    movePixels(picture.rec(), c.picture.rec(), cw, ch, [&](int x, int y) {
        return std::pair { x + left, y + firstRow };
    });
    return c;
}
