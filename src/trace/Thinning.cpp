#include "trace/Thinning.h"

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

// Neighbours in the order of the classic description: north, north-east, east, ... north-west
// (rows grow downward in the buffer; which way is north does not matter to the result's quality).
constexpr int Dx[8] = { 0, 1, 1, 1, 0, -1, -1, -1 };
constexpr int Dy[8] = { -1, -1, 0, 1, 1, 1, 0, -1 };

constexpr std::uint8_t Ink = 1;
constexpr std::uint8_t Queued = 2; // ink pixel already in the candidate list

int transitions01(unsigned ring)
{
    int n = 0;
    for (int d = 0; d < 8; ++d)
        n += !(ring >> d & 1) && (ring >> ((d + 1) % 8) & 1);
    return n;
}

// Whether a border pixel whose neighbours are the bits of `ring` goes in the given half pass.
bool deletable(unsigned ring, int half)
{
    const int count = __builtin_popcount(ring);
    if (count < 2 || count > 6 || transitions01(ring) != 1)
        return false;
    const auto at = [&](int d) { return ring >> d & 1; };
    // North 0, east 2, south 4, west 6.
    if (half == 0)
        return !(at(0) && at(2) && at(4)) && !(at(2) && at(4) && at(6));
    return !(at(0) && at(2) && at(6)) && !(at(0) && at(4) && at(6));
}

// Whether a skeleton pixel is the corner of a step between two neighbours that touch
// diagonally, and the neighbours stay connected without it.
bool stepCorner(unsigned ring)
{
    if (!((ring & 0x05) == 0x05 || (ring & 0x14) == 0x14 || (ring & 0x50) == 0x50
            || (ring & 0x41) == 0x41))
        return false;
    int parent[8];
    for (int i = 0; i < 8; ++i)
        parent[i] = i;
    const auto find = [&](int i) {
        while (parent[i] != i)
            i = parent[i];
        return i;
    };
    const auto join = [&](int a, int b) {
        if ((ring >> a & 1) && (ring >> b & 1))
            parent[find(a)] = find(b);
    };
    for (int d = 0; d < 8; ++d) {
        join(d, (d + 1) % 8);
        if (d % 2 == 0)
            join(d, (d + 2) % 8);
    }
    int parts = 0;
    for (int d = 0; d < 8; ++d)
        parts += (ring >> d & 1) && find(d) == d;
    return parts == 1;
}

struct Tables
{
    std::array<bool, 256> pass[2];
    std::array<bool, 256> step;
    Tables()
    {
        for (unsigned ring = 0; ring < 256; ++ring) {
            pass[0][ring] = deletable(ring, 0);
            pass[1][ring] = deletable(ring, 1);
            step[ring] = stepCorner(ring);
        }
    }
};

// The passes over the border pixels, which `candidates` lists by their index in `framed`. The
// index type is 32 bits wide whenever the picture allows, which halves the lists: on a large
// scan they take more memory than the picture.
template <typename Index>
bool thinFramed(cv::Mat &framed, const Tables &tables, const TraceControl &control)
{
    const int w = framed.cols, h = framed.rows;
    std::uint8_t *px = framed.data;
    const std::size_t stride = framed.step;
    std::ptrdiff_t offset[8];
    for (int d = 0; d < 8; ++d)
        offset[d] = std::ptrdiff_t(Dy[d]) * std::ptrdiff_t(stride) + Dx[d];
    const auto ringOf = [&](std::size_t i) {
        unsigned ring = 0;
        for (int d = 0; d < 8; ++d)
            ring |= unsigned(px[std::ptrdiff_t(i) + offset[d]] != 0) << d;
        return ring;
    };
    std::vector<Index> candidates, gone;
    for (int y = 1; y + 1 < h; ++y) {
        for (int x = 1; x + 1 < w; ++x) {
            const std::size_t i = std::size_t(y) * stride + std::size_t(x);
            if (px[i] && (!px[i - 1] || !px[i + 1] || !px[i - stride] || !px[i + stride])) {
                px[i] |= Queued;
                candidates.push_back(Index(i));
            }
        }
    }
    for (bool changed = true; changed;) {
        if (control.cancelled())
            return false;
        changed = false;
        for (int half = 0; half < 2; ++half) {
            // The pixels that stay move to the front of the list, in their order.
            gone.clear();
            std::size_t kept = 0;
            for (const Index i : candidates) {
                if (tables.pass[half][ringOf(i)])
                    gone.push_back(i);
                else
                    candidates[kept++] = i;
            }
            candidates.resize(kept);
            for (const Index i : gone)
                px[i] = 0;
            // The ink next to what went lies on the border now.
            for (const Index i : gone) {
                for (int d = 0; d < 8; ++d) {
                    const std::size_t j = std::size_t(std::ptrdiff_t(i) + offset[d]);
                    if (px[j] == Ink) {
                        px[j] |= Queued;
                        candidates.push_back(Index(j));
                    }
                }
            }
            changed = changed || !gone.empty();
        }
    }
    // Thinning leaves steps two pixels thick where a line turns; their corner pixels would
    // look like junctions.
    for (int y = 1; y + 1 < h; ++y) {
        std::uint8_t *row = framed.ptr<std::uint8_t>(y);
        for (int x = 1; x + 1 < w; ++x) {
            if (row[x] && tables.step[ringOf(std::size_t(y) * stride + std::size_t(x))])
                row[x] = 0;
        }
    }
    return true;
}

} // namespace

cv::Mat thinToSkeleton(cv::Mat framed, const TraceControl &control)
{
    static const Tables tables;
    const bool narrow = framed.total() <= std::numeric_limits<std::uint32_t>::max();
    if (!(narrow ? thinFramed<std::uint32_t>(framed, tables, control)
                 : thinFramed<std::size_t>(framed, tables, control)))
        return {};
    cv::Mat skeleton = framed(cv::Rect(1, 1, framed.cols - 2, framed.rows - 2));
    skeleton.setTo(1, skeleton);
    return skeleton;
}
