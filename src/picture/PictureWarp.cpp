#include "export/DxfExportParams.h"
#include "picture/PictureMat.h"
#include "picture/PictureOps.h"
#include "raster/DibLimits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>

// --- Shared helpers ---

cv::Mat wrapRows(const Dib &picture)
{
    const TDibRec &r = picture.rec();
    int type = CV_8UC1;
    switch (picture.bitCount()) {
    case 16:
        type = CV_16UC1;
        break;
    case 24:
        type = CV_8UC3;
        break;
    case 32:
        type = CV_8UC4;
        break;
    default:
        break;
    }
    return cv::Mat(
        picture.height(), picture.width(), type, r.Bits, static_cast<std::size_t>(r.BytesPerLine));
}

Dib newPictureLike(const Dib &like, int width, int height, int bitCount)
{
    const TBitmapInfo *colors = like.rec().BitmapInfo;
    const bool indexed = bitCount <= 8 && like.bitCount() <= 8;
    Dib d = Dib::create(
        width, height, bitCount, indexed ? colors : nullptr, indexed ? (1 << bitCount) : 0);
    if (d.isNull())
        return d;
    TBitmapInfoHeader &to = d.rec().BitmapInfo->bmiHeader;
    to.biXPelsPerMeter = colors->bmiHeader.biXPelsPerMeter;
    to.biYPelsPerMeter = colors->bmiHeader.biYPelsPerMeter;
    if (indexed) {
        to.biClrUsed = colors->bmiHeader.biClrUsed;
        to.biClrImportant = colors->bmiHeader.biClrImportant;
    }
    return d;
}

bool greyPalette(const Dib &picture)
{
    if (picture.bitCount() > 8)
        return false;
    const TRGBQuad *c = picture.rec().BitmapInfo->bmiColors;
    for (int i = 0; i < (1 << picture.bitCount()); ++i)
        if (c[i].rgbRed != c[i].rgbGreen || c[i].rgbGreen != c[i].rgbBlue)
            return false;
    return true;
}

namespace {

bool identityGrey(const Dib &picture)
{
    if (picture.bitCount() != 8)
        return false;
    const TRGBQuad *c = picture.rec().BitmapInfo->bmiColors;
    for (int i = 0; i < 256; ++i)
        if (c[i].rgbRed != i || c[i].rgbGreen != i || c[i].rgbBlue != i)
            return false;
    return true;
}

// The stored rows as 8-bit grey (grey tables) or 24-bit colour, wrapped without a copy where
// the picture already has that layout.
cv::Mat workRows(const Dib &picture, bool grey)
{
    if ((grey && identityGrey(picture)) || (!grey && picture.bitCount() == 24))
        return wrapRows(picture);
    const int w = picture.width();
    const int h = picture.height();
    cv::Mat m(h, w, grey ? CV_8UC1 : CV_8UC3);
    const TDibRec &r = picture.rec();
    const TRGBQuad *table = r.BitmapInfo->bmiColors;
    const bool indexed = picture.bitCount() <= 8;
    for (int y = 0; y < h; ++y) {
        std::uint8_t *row = m.ptr<std::uint8_t>(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t v = getpixel(r, x, y);
            std::uint8_t red = 0, green = 0, blue = 0;
            if (indexed) {
                red = table[v & 0xFF].rgbRed;
                green = table[v & 0xFF].rgbGreen;
                blue = table[v & 0xFF].rgbBlue;
            } else if (picture.bitCount() == 16) {
                red = static_cast<std::uint8_t>(((v >> 10) & 31) * 255 / 31);
                green = static_cast<std::uint8_t>(((v >> 5) & 31) * 255 / 31);
                blue = static_cast<std::uint8_t>((v & 31) * 255 / 31);
            } else {
                red = static_cast<std::uint8_t>(v >> 16);
                green = static_cast<std::uint8_t>(v >> 8);
                blue = static_cast<std::uint8_t>(v);
            }
            if (grey) {
                row[x] = red;
            } else {
                row[3 * x] = blue;
                row[3 * x + 1] = green;
                row[3 * x + 2] = red;
            }
        }
    }
    return m;
}

Dib newWorkPicture(const Dib &like, int width, int height, bool grey)
{
    Dib d = Dib::create(width, height, grey ? 8 : 24);
    if (d.isNull())
        return d;
    TBitmapInfo &info = *d.rec().BitmapInfo;
    if (grey)
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            info.bmiColors[i] = { v, v, v, 0 };
        }
    info.bmiHeader.biXPelsPerMeter = like.rec().BitmapInfo->bmiHeader.biXPelsPerMeter;
    info.bmiHeader.biYPelsPerMeter = like.rec().BitmapInfo->bmiHeader.biYPelsPerMeter;
    return d;
}

using Matrix = std::array<double, 9>;

Matrix multiply(const Matrix &a, const Matrix &b)
{
    Matrix r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return r;
}

// From picture coordinates (pixel corners, y downward) to the positions of the stored rows
// (pixel centres, lowest row first) of a picture `height` rows high, and back.
Matrix toStored(int height)
{
    return { 1, 0, -0.5, 0, -1, height - 0.5, 0, 0, 1 };
}
Matrix fromStored(int height)
{
    return { 1, 0, 0.5, 0, -1, height - 0.5, 0, 0, 1 };
}

Matrix shift(double x, double y)
{
    return { 1, 0, x, 0, 1, y, 0, 0, 1 };
}

// OpenCV's resampling keeps positions in 16 bits, so it is given tiles of the new picture,
// each with the part of the old picture its pixels come from. A projective map sends a tile
// to a convex shape, so the box around its mapped corners holds every pixel it needs.
constexpr int kTile = 4096;
constexpr int kLargestSource = 32000;

bool resampleTiles(const cv::Mat &from, cv::Mat &to, const Matrix &back, bool perspective)
{
    const int flags = cv::INTER_LINEAR | cv::WARP_INVERSE_MAP;
    const cv::Scalar white(255, 255, 255);
    for (int ty = 0; ty < to.rows; ty += kTile) {
        for (int tx = 0; tx < to.cols; tx += kTile) {
            const int tw = std::min(kTile, to.cols - tx);
            const int th = std::min(kTile, to.rows - ty);
            double left = INFINITY, right = -INFINITY, top = INFINITY, bottom = -INFINITY;
            for (const auto &[x, y] : { std::pair { tx, ty }, { tx + tw - 1, ty },
                     { tx, ty + th - 1 }, { tx + tw - 1, ty + th - 1 } }) {
                const double w = back[6] * x + back[7] * y + back[8];
                const double sx = (back[0] * x + back[1] * y + back[2]) / w;
                const double sy = (back[3] * x + back[4] * y + back[5]) / w;
                if (!std::isfinite(sx) || !std::isfinite(sy) || !(w > 0))
                    return false;
                left = std::min(left, sx);
                right = std::max(right, sx);
                top = std::min(top, sy);
                bottom = std::max(bottom, sy);
            }
            // Two pixels more on each side for the neighbours the interpolation reads.
            const auto cut = [](double v, int limit) {
                return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(limit)));
            };
            const int x0 = cut(std::floor(left) - 2, from.cols);
            const int x1 = cut(std::ceil(right) + 3, from.cols);
            const int y0 = cut(std::floor(top) - 2, from.rows);
            const int y1 = cut(std::ceil(bottom) + 3, from.rows);
            cv::Mat tile = to(cv::Rect(tx, ty, tw, th));
            if (x1 <= x0 || y1 <= y0) {
                tile.setTo(white);
                continue;
            }
            if (x1 - x0 > kLargestSource || y1 - y0 > kLargestSource)
                return false;
            const cv::Mat source = from(cv::Rect(x0, y0, x1 - x0, y1 - y0));
            const Matrix local = multiply(shift(-x0, -y0), multiply(back, shift(tx, ty)));
            if (perspective)
                cv::warpPerspective(source, tile,
                    cv::Mat(3, 3, CV_64F, const_cast<double *>(local.data())), tile.size(), flags,
                    cv::BORDER_CONSTANT, white);
            else
                cv::warpAffine(source, tile,
                    cv::Mat(2, 3, CV_64F, const_cast<double *>(local.data())), tile.size(), flags,
                    cv::BORDER_CONSTANT, white);
        }
    }
    return true;
}

// Resamples `picture` into a new picture of width x height in which the point p of the old
// picture lies at `mapping`(p); the inverse map is given too. Pixels from outside are white.
PictureChange warp(const Dib &picture, const Matrix &mapping, const Matrix &inverse, int width,
    int height, bool perspective)
{
    if (!dibSizeAcceptable(width, height, 24))
        return refused(kTooLarge);
    const bool grey = picture.bitCount() <= 8 && greyPalette(picture);
    PictureChange c;
    c.picture = newWorkPicture(picture, width, height, grey);
    if (c.picture.isNull())
        return refused(kNoMemory);
    c.mapping = PictureMapping(mapping);
    try {
        const cv::Mat from = workRows(picture, grey);
        cv::Mat to = wrapRows(c.picture);
        // The matrix that takes a stored position of the new picture to one of the old.
        const Matrix back =
            multiply(toStored(picture.height()), multiply(inverse, fromStored(height)));
        if (!resampleTiles(from, to, back, perspective))
            return refused(kTooLarge);
    } catch (const cv::Exception &) {
        return refused(kNoMemory);
    } catch (const std::bad_alloc &) {
        return refused(kNoMemory);
    }
    return c;
}

double cross(TPointD a, TPointD b, TPointD c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

} // namespace

PictureChange straightenPicture(const Dib &picture, TPointD a, TPointD b)
{
    if (picture.isNull())
        return refused(kNoPicture);
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    if (!std::isfinite(dx) || !std::isfinite(dy) || (dx == 0 && dy == 0))
        return refused(kSamePoints);
    // The turn (clockwise on the screen for positive values) that brings the edge onto the
    // nearer axis; never more than 45 degrees.
    const double angle = std::abs(dx) >= std::abs(dy) ? -std::atan(dy / dx) : std::atan(dx / dy);
    const double co = std::cos(angle);
    const double si = std::sin(angle);
    // The picture keeps its size, as a scan keeps its page: the corners turned out of it are
    // cut, which a tilt of a few tenths of a degree confines to the margins, and the memory
    // stays at that of two pictures.
    const double w = picture.width();
    const double h = picture.height();
    const double nw = w;
    const double nh = h;
    // Turn about the centre of the old picture, which becomes the centre of the new one.
    const double cx = w / 2;
    const double cy = h / 2;
    const Matrix forward { co, -si, nw / 2 - co * cx + si * cy, si, co, nh / 2 - si * cx - co * cy,
        0, 0, 1 };
    const Matrix inverse { co, si, cx - co * nw / 2 - si * nh / 2, -si, co,
        cy + si * nw / 2 - co * nh / 2, 0, 0, 1 };
    return warp(picture, forward, inverse, static_cast<int>(nw), static_cast<int>(nh), false);
}

PictureChange rectifyPicture(
    const Dib &picture, const std::array<TPointD, 4> &corners, double widthMm, double heightMm)
{
    if (picture.isNull())
        return refused(kNoPicture);
    if (!(widthMm > 0) || !(heightMm > 0) || !std::isfinite(widthMm) || !std::isfinite(heightMm))
        return refused(kBadSize);
    std::array<TPointD, 4> q = corners;
    // A convex quadrilateral turns the same way at every corner; corners in a line turn by
    // nothing and crossing sides change the direction.
    double turn[4];
    for (int i = 0; i < 4; ++i)
        turn[i] = cross(q[i], q[(i + 1) % 4], q[(i + 2) % 4]);
    const double scale =
        std::max(std::abs(cross(q[0], q[1], q[2])), std::abs(cross(q[0], q[2], q[3])));
    for (int i = 0; i < 4; ++i)
        if (!std::isfinite(turn[i]) || std::abs(turn[i]) <= 1e-9 * scale || scale == 0
            || (turn[i] > 0) != (turn[0] > 0))
            return refused(kBadCorners);
    // Clockwise on the screen (y downward), starting at the corner nearest the top left.
    if (turn[0] < 0)
        std::swap(q[1], q[3]);
    const auto first = std::min_element(
        q.begin(), q.end(), [](TPointD l, TPointD r) { return l.x + l.y < r.x + r.y; });
    std::rotate(q.begin(), first, q.end());

    const auto length = [](TPointD l, TPointD r) { return std::hypot(r.x - l.x, r.y - l.y); };
    const double across = std::max(length(q[0], q[1]), length(q[3], q[2]));
    const double down = std::max(length(q[0], q[3]), length(q[1], q[2]));
    const double inchesWide = widthMm / DxfExportParams::MillimetresPerInch;
    const double inchesHigh = heightMm / DxfExportParams::MillimetresPerInch;
    const double dpi = std::max(across / inchesWide, down / inchesHigh);
    const double nw = std::max(1.0, std::round(inchesWide * dpi));
    const double nh = std::max(1.0, std::round(inchesHigh * dpi));
    if (nw > kMaxDibPixels || nh > kMaxDibPixels)
        return refused(kTooLarge);

    const cv::Point2f src[4] = { { float(q[0].x), float(q[0].y) }, { float(q[1].x), float(q[1].y) },
        { float(q[2].x), float(q[2].y) }, { float(q[3].x), float(q[3].y) } };
    const cv::Point2f dst[4] = { { 0, 0 }, { float(nw), 0 }, { float(nw), float(nh) },
        { 0, float(nh) } };
    Matrix forward {};
    Matrix inverse {};
    try {
        const cv::Mat f = cv::getPerspectiveTransform(src, dst, cv::DECOMP_SVD);
        const cv::Mat b = f.inv(cv::DECOMP_SVD);
        std::memcpy(forward.data(), f.ptr<double>(), sizeof forward);
        std::memcpy(inverse.data(), b.ptr<double>(), sizeof inverse);
    } catch (const cv::Exception &) {
        return refused(kBadCorners);
    }
    PictureChange c = warp(picture, forward, inverse, int(nw), int(nh), true);
    if (!c.ok())
        return c;
    c.dpi = nw / inchesWide;
    const auto pelsPerMetre = static_cast<std::int32_t>(std::lround(c.dpi / 0.0254));
    c.picture.rec().BitmapInfo->bmiHeader.biXPelsPerMeter = pelsPerMetre;
    c.picture.rec().BitmapInfo->bmiHeader.biYPelsPerMeter = pelsPerMetre;
    return c;
}

Dib thresholdView(const Dib &picture, int threshold)
{
    if (picture.isNull())
        return {};
    TBitmapInfo blackWhite {};
    blackWhite.bmiColors[1] = { 255, 255, 255, 0 };
    Dib d = Dib::create(picture.width(), picture.height(), 1, &blackWhite, 2);
    if (d.isNull())
        return d;
    try {
        const bool grey = picture.bitCount() <= 8 && greyPalette(picture);
        const cv::Mat from = workRows(picture, grey);
        cv::Mat levels;
        if (grey)
            levels = from;
        else
            cv::cvtColor(from, levels, cv::COLOR_BGR2GRAY);
        cv::Mat binary;
        // A pixel is ink below the threshold, as the tracer counts it: white from the
        // threshold on.
        if (threshold >= 0)
            cv::threshold(levels, binary, threshold - 1, 1, cv::THRESH_BINARY);
        else
            cv::threshold(levels, binary, 0, 1, cv::THRESH_BINARY | cv::THRESH_OTSU);
        // One bit per pixel, so the view costs an eighth of a grey picture while it is shown.
        const TDibRec &r = d.rec();
        for (int y = 0; y < binary.rows; ++y) {
            const std::uint8_t *in = binary.ptr<std::uint8_t>(y);
            std::uint8_t *out = r.Bits + static_cast<std::ptrdiff_t>(y) * r.BytesPerLine;
            for (int x = 0; x < binary.cols; ++x)
                out[x >> 3] |= static_cast<std::uint8_t>(in[x] << (7 - (x & 7)));
        }
    } catch (const cv::Exception &) {
        return {};
    } catch (const std::bad_alloc &) {
        return {};
    }
    return d;
}
