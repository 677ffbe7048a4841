#include "raster/DibLimits.h"
#include "raster/DibRec.h"
#include "raster/Halftone.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// The colour of pixel x of stored row y as 0x00RRGGBB, whatever the bit count.
std::uint32_t colourAt(const TDibRec &rec, int x, int y)
{
    const int bitCount = rec.BitmapInfo->bmiHeader.biBitCount;
    const std::uint32_t value = getpixel(rec, x, y);
    if (bitCount <= 8) {
        const TRGBQuad &q = rec.BitmapInfo->bmiColors[value & 0xFFu];
        return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    if (bitCount == 16) {
        const std::uint32_t r = (value >> 10) & 31, g = (value >> 5) & 31, b = value & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    return value & 0xFFFFFFu;
}

// Source span [first, last) of destination index i when `source` cells map onto `dest`
// cells: an area when shrinking, a single cell when enlarging.
void span(int i, int source, int dest, int &first, int &last)
{
    first = static_cast<int>(static_cast<std::int64_t>(i) * source / dest);
    last = static_cast<int>(static_cast<std::int64_t>(i + 1) * source / dest);
    if (last <= first)
        last = first + 1;
}

// Fills `rgb` (3 ints per pixel) with stored row y of the source resampled to width x height:
// each destination pixel is the mean of the source pixels it covers.
void resampledRow(const TDibRec &src, int width, int height, int y, std::vector<int> &rgb)
{
    const int srcWidth = src.BitmapInfo->bmiHeader.biWidth;
    const int srcHeight = src.BitmapInfo->bmiHeader.biHeight;
    int y0, y1;
    span(y, srcHeight, height, y0, y1);
    for (int x = 0; x < width; ++x) {
        int x0, x1;
        span(x, srcWidth, width, x0, x1);
        std::int64_t r = 0, g = 0, b = 0;
        for (int sy = y0; sy < y1; ++sy)
            for (int sx = x0; sx < x1; ++sx) {
                const std::uint32_t c = colourAt(src, sx, sy);
                r += (c >> 16) & 0xFF;
                g += (c >> 8) & 0xFF;
                b += c & 0xFF;
            }
        const std::int64_t n = std::int64_t(y1 - y0) * (x1 - x0);
        rgb[3 * x] = static_cast<int>((r + n / 2) / n);
        rgb[3 * x + 1] = static_cast<int>((g + n / 2) / n);
        rgb[3 * x + 2] = static_cast<int>((b + n / 2) / n);
    }
}

// The extra greys of the table serve grey pixels only. Offered to coloured ones they are often
// nearest, yet having no hue they cannot pay back a hue error: a pale colour drifts grey.
// Coloured pixels use the cube alone, where the error diffuses channel by channel and every
// channel keeps its mean.
constexpr int kNeutralSpread = 6;

int roundedSixteenths(int v)
{
    return v >= 0 ? (v + 8) / 16 : -((8 - v) / 16);
}

// Floyd-Steinberg error diffusion onto the fixed colour table, alternating the direction of
// each row so that the error does not drift into diagonal streaks. The colour asked for may
// leave 0 to 255 on the way; it is held within one range either side so a long run of
// unreachable colours cannot build up without end.
void halftone(TDibRec &out, const TDibRec &source, int width, int height)
{
    out = {};
    if (!source.Bits || !source.BitmapInfo || !dibSizeAcceptable(width, height, 8))
        return;
    newdib(out, width, height, 8, nullptr, 0);
    if (!out.Bits)
        return;
    std::memcpy(out.BitmapInfo->bmiColors, halftonePalette(), 256 * sizeof(TRGBQuad));

    const TRGBQuad *palette = halftonePalette();
    const auto w = static_cast<std::size_t>(width);
    std::vector<int> row(3 * w);
    // Errors in sixteenths, with one spare cell at each end so the kernel needs no edge tests.
    std::vector<int> errThis(3 * (w + 2)), errNext(3 * (w + 2));
    // The picture is walked top-down, as it is seen; stored rows run bottom-up.
    for (int k = 0; k < height; ++k) {
        const int y = height - 1 - k;
        resampledRow(source, width, height, y, row);
        std::fill(errNext.begin(), errNext.end(), 0);
        const bool leftToRight = (k % 2) == 0;
        const int dir = leftToRight ? 1 : -1;
        std::uint8_t *dst = out.Bits + static_cast<std::ptrdiff_t>(y) * out.BytesPerLine;
        for (int n = 0; n < width; ++n) {
            const int x = leftToRight ? n : width - 1 - n;
            const std::size_t cell = 3 * static_cast<std::size_t>(x + 1);
            int want[3];
            for (int c = 0; c < 3; ++c)
                want[c] = std::clamp(
                    row[3 * static_cast<std::size_t>(x) + c] + roundedSixteenths(errThis[cell + c]),
                    -255, 510);
            const int *source = &row[3 * static_cast<std::size_t>(x)];
            const bool neutral = std::max({ source[0], source[1], source[2] })
                    - std::min({ source[0], source[1], source[2] })
                <= kNeutralSpread;
            const int index = nearestHalftoneIndex(want[0], want[1], want[2], neutral);
            dst[x] = static_cast<std::uint8_t>(index);
            const int got[3] = { palette[index].rgbRed, palette[index].rgbGreen,
                palette[index].rgbBlue };
            for (int c = 0; c < 3; ++c) {
                const int e = want[c] - got[c];
                const std::size_t ahead = cell + static_cast<std::size_t>(3 * dir);
                const std::size_t behind = cell - static_cast<std::size_t>(3 * dir);
                errThis[ahead + c] += 7 * e;
                errNext[behind + c] += 3 * e;
                errNext[cell + c] += 5 * e;
                errNext[ahead + c] += e;
            }
        }
        errThis.swap(errNext);
    }
    out.BitmapInfo->bmiHeader.biXPelsPerMeter = source.BitmapInfo->bmiHeader.biXPelsPerMeter;
    out.BitmapInfo->bmiHeader.biYPelsPerMeter = source.BitmapInfo->bmiHeader.biYPelsPerMeter;
}

} // namespace

void DIBHalftoneDIB(TDibRec &out, TDibRec source)
{
    if (!source.Bits || !source.BitmapInfo) {
        out = {};
        return;
    }
    halftone(
        out, source, source.BitmapInfo->bmiHeader.biWidth, source.BitmapInfo->bmiHeader.biHeight);
}

void DIBHalftoneDIBXY(TDibRec &out, TDibRec source, int width, int height)
{
    halftone(out, source, width, height);
}
