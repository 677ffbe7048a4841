#include "trace/CentreRefiner.h"

#include "trace/PathFit.h"

#include <algorithm>
#include <optional>

namespace {

constexpr double Step = 0.25; // sampling step across the stroke, in pixels

// The direction of the points around index i, from k points on either side.
TPointD direction(const std::vector<TPointD> &p, std::size_t i, std::size_t k, bool loop)
{
    const std::size_t n = p.size();
    if (loop)
        return unit(p[(i + k) % n] - p[(i + n - k % n) % n]);
    const std::size_t a = i >= k ? i - k : 0, b = std::min(n - 1, i + k);
    return unit(p[b] - p[a]);
}

} // namespace

CentreRefiner::CentreRefiner(
    const cv::Mat &grey, double paperLevel, double contrast, double strokeWidth)
    : m_grey(grey)
    , m_paper(paperLevel)
    , m_contrast(std::max(1.0, contrast))
    , m_width(strokeWidth)
{
}

double CentreRefiner::inkAt(TPointD p) const
{
    // Pixel (c, r) has its centre at (c + 0.5, r + 0.5).
    const double x = p.x - 0.5, y = p.y - 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    if (x0 < 0 || y0 < 0 || x0 + 1 >= m_grey.cols || y0 + 1 >= m_grey.rows)
        return 0;
    const double fx = x - x0, fy = y - y0;
    const std::uint8_t *r0 = m_grey.ptr<std::uint8_t>(y0), *r1 = m_grey.ptr<std::uint8_t>(y0 + 1);
    const double g = (1 - fy) * ((1 - fx) * r0[x0] + fx * r0[x0 + 1])
        + fy * ((1 - fx) * r1[x0] + fx * r1[x0 + 1]);
    return std::clamp((m_paper - g) / m_contrast, 0.0, 1.0);
}

bool CentreRefiner::across(TPointD p, TPointD normal, double &offset, double &width) const
{
    // Out from the point on both sides until the paper, so a neighbouring stroke is not counted.
    const double reach = m_width / 2 + 2;
    double sum = inkAt(p), moment = 0;
    for (int side : { -1, 1 }) {
        for (double t = Step; t <= reach; t += Step) {
            const double v = inkAt(p + (side * t) * normal);
            if (v < 0.02)
                break;
            sum += v;
            moment += side * t * v;
        }
    }
    if (sum <= 0)
        return false;
    offset = moment / sum;
    width = sum * Step;
    return true;
}

void CentreRefiner::refineEdge(const Skeleton &s, SkeletonEdge &e) const
{
    const std::size_t n = e.points.size();
    const std::size_t k = std::max<std::size_t>(2, std::size_t(m_width / 2 + 0.5));
    // Points this close to a junction see the other strokes across them.
    const double nearJunction = m_width + 1;
    std::vector<TPointD> moved;
    std::vector<double> widths;
    moved.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TPointD p = e.points[i];
        bool keep = true;
        for (int node : { e.from, e.to }) {
            if (node >= 0 && s.degree(node) >= 3
                && norm(p - s.nodes[std::size_t(node)].at) < nearJunction)
                keep = false;
        }
        if (!keep)
            continue;
        const TPointD d = direction(e.points, i, k, e.loop());
        const TPointD normal { -d.y, d.x };
        double offset = 0, width = 0;
        if (!across(p, normal, offset, width))
            continue;
        moved.push_back(p + std::clamp(offset, -1.0, 1.0) * normal);
        widths.push_back(width);
    }
    // Free ends: the cap narrows the stroke and bends the skeleton, so points where the
    // stroke is narrower than half its width go.
    std::size_t first = 0, last = moved.size();
    if (!e.loop()) {
        if (s.degree(e.from) == 1) {
            while (first < last && widths[first] < m_width / 2)
                ++first;
        }
        if (s.degree(e.to) == 1) {
            while (last > first && widths[last - 1] < m_width / 2)
                --last;
        }
    }
    e.points.assign(moved.begin() + std::ptrdiff_t(first), moved.begin() + std::ptrdiff_t(last));
}

// Thinning eats into the free ends of slanting strokes, by three stroke widths and more at 45
// degrees, so the line would stop short of where the pen stopped. Each free end is therefore
// walked on through the ink a pixel at a time, kept in the middle of the stroke, to where the
// ink ends; the pen stopped half the stroke's width before that, and the points beyond go
// again. refineEdge then trims the cap as at every other end. A walk that finds the stroke
// widening (another stroke or a blot) or goes on for more than a few widths adds nothing, as
// there the end cannot be told.
void CentreRefiner::extendEnd(std::vector<TPointD> &points, bool atBack) const
{
    const std::size_t n = points.size();
    if (n < 2)
        return;
    const std::size_t back = std::min(n - 1, std::size_t(2 * m_width + 2));
    const TPointD end = atBack ? points[n - 1] : points[0];
    const TPointD before = atBack ? points[n - 1 - back] : points[back];
    TPointD d = unit(end - before);
    // The stroke's own width, in its body; the drawing's strokes need not all be alike.
    double offset = 0, width = m_width;
    if (!across(before, { -d.y, d.x }, offset, width) || width > 2 * m_width)
        width = m_width;
    const double ownWidth = width;

    std::vector<TPointD> added;
    TPointD p = end;
    std::optional<TPointD> inkEnds;
    for (double walked = 1; walked <= 4 * ownWidth + 4; walked += 1) {
        TPointD q = p + d;
        const double here = inkAt(p), ahead = inkAt(q);
        if (ahead < 0.5) {
            inkEnds =
                here > ahead ? p + std::clamp((here - 0.5) / (here - ahead), 0.0, 1.0) * d : p;
            break;
        }
        const TPointD normal { -d.y, d.x };
        if (!across(q, normal, offset, width) || width > 1.5 * ownWidth + 1)
            break;
        q = q + std::clamp(offset, -0.5, 0.5) * normal;
        d = unit(3.0 * d + unit(q - p));
        added.push_back(q);
        p = q;
    }
    if (!inkEnds)
        return;
    while (!added.empty() && norm(added.back() - *inkEnds) < ownWidth / 2)
        added.pop_back();
    if (atBack) {
        points.insert(points.end(), added.begin(), added.end());
    } else {
        std::reverse(added.begin(), added.end());
        points.insert(points.begin(), added.begin(), added.end());
    }
}

TPointD CentreRefiner::junction(const Skeleton &s, int node) const
{
    // The point nearest, in least squares, to the lines fitted to each stroke's refined
    // points a little way out from the junction.
    const TPointD guess = s.nodes[std::size_t(node)].at;
    double a11 = 0, a12 = 0, a22 = 0, b1 = 0, b2 = 0;
    int lines = 0;
    for (int id : s.nodes[std::size_t(node)].edges) {
        const SkeletonEdge &e = s.edges[std::size_t(id)];
        std::vector<TPointD> near;
        for (TPointD p : e.points) {
            if (norm(p - guess) <= 3 * m_width + 3)
                near.push_back(p);
        }
        if (near.size() < 3)
            continue;
        const FittedLine line = fitLine(near.data(), near.data() + near.size());
        const TPointD mean = line.mean;
        const double dx = line.direction.x, dy = line.direction.y;
        // (I - d d^T) projects onto the line's normal.
        const double m11 = 1 - dx * dx, m12 = -dx * dy, m22 = 1 - dy * dy;
        a11 += m11;
        a12 += m12;
        a22 += m22;
        b1 += m11 * mean.x + m12 * mean.y;
        b2 += m12 * mean.x + m22 * mean.y;
        ++lines;
    }
    const double det = a11 * a22 - a12 * a12;
    if (lines < 2 || det < 0.05)
        return guess;
    const TPointD at { (a22 * b1 - a12 * b2) / det, (a11 * b2 - a12 * b1) / det };
    // Thinning may split a crossing into two junctions a stroke width or more apart, and
    // their merged node lies between them, so the fitted point may be as far from it.
    return norm(at - guess) <= 2 * m_width + 1 ? at : guess;
}

void CentreRefiner::refine(Skeleton &s) const
{
    for (SkeletonEdge &e : s.edges) {
        if (e.removed || e.loop())
            continue;
        if (s.degree(e.from) == 1)
            extendEnd(e.points, false);
        if (s.degree(e.to) == 1)
            extendEnd(e.points, true);
    }
    for (SkeletonEdge &e : s.edges) {
        if (!e.removed)
            refineEdge(s, e);
    }
    for (std::size_t n = 0; n < s.nodes.size(); ++n) {
        if (!s.nodes[n].removed && s.degree(int(n)) >= 3)
            s.nodes[n].at = junction(s, int(n));
    }
    // Every edge that meets a junction starts or ends at exactly its point, so the chains
    // that meet there share it to the last bit.
    for (SkeletonEdge &e : s.edges) {
        if (e.removed || e.loop())
            continue;
        if (s.degree(e.from) >= 3)
            e.points.insert(e.points.begin(), s.nodes[std::size_t(e.from)].at);
        if (s.degree(e.to) >= 3)
            e.points.push_back(s.nodes[std::size_t(e.to)].at);
    }
}
