#include "raster/Halftone.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kCubeSize = 216;
constexpr int kGreyCount = 256 - kCubeSize;

int greyValue(int k)
{
    return (k * 255 + 20) / (kGreyCount + 1);
}

const std::array<TRGBQuad, 256> &palette()
{
    static const std::array<TRGBQuad, 256> table = [] {
        std::array<TRGBQuad, 256> t {};
        int n = 0;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    t[n++] = { std::uint8_t(51 * b), std::uint8_t(51 * g), std::uint8_t(51 * r),
                        0 };
        // Greys between the cube's six, so that scanned line art keeps its shading.
        for (int k = 1; k <= kGreyCount; ++k) {
            const auto v = static_cast<std::uint8_t>(greyValue(k));
            t[n++] = { v, v, v, 0 };
        }
        return t;
    }();
    return table;
}

int distance(int r, int g, int b, const TRGBQuad &q)
{
    const int dr = r - q.rgbRed, dg = g - q.rgbGreen, db = b - q.rgbBlue;
    return dr * dr + dg * dg + db * db;
}

} // namespace

const TRGBQuad *halftonePalette()
{
    return palette().data();
}

int nearestHalftoneIndex(int red, int green, int blue, bool greysToo)
{
    // Colours beyond 0 to 255 are measured as they are, not clipped first: error diffusion asks
    // for them, and clipping would make a colour near the edge of the table unreachable.
    const int r = red, g = green, b = blue;
    const auto &t = palette();
    // The nearest entry is either the nearest cube corner, found channel by channel, or the
    // grey nearest to the colour's mean.
    const auto step = [](int v) { return std::clamp((v + 25) / 51, 0, 5); };
    int best = 36 * step(r) + 6 * step(g) + step(b);
    if (!greysToo)
        return best;
    int bestDistance = distance(r, g, b, t[best]);
    const int k =
        std::clamp(((r + g + b) * (kGreyCount + 1) + 3 * 255 / 2) / (3 * 255), 1, kGreyCount);
    for (int c = std::max(1, k - 1); c <= std::min(kGreyCount, k + 1); ++c) {
        const int index = kCubeSize + c - 1;
        const int d = distance(r, g, b, t[index]);
        if (d < bestDistance) {
            bestDistance = d;
            best = index;
        }
    }
    return best;
}
