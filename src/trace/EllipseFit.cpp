#include "trace/EllipseFit.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace {

// Solves the n x n system a x = b in place by Gaussian elimination with pivoting; false when
// it is singular.
template <int N> bool solve(std::array<std::array<double, N>, N> a, std::array<double, N> &b)
{
    for (int c = 0; c < N; ++c) {
        int pivot = c;
        for (int r = c + 1; r < N; ++r) {
            if (std::abs(a[r][c]) > std::abs(a[pivot][c]))
                pivot = r;
        }
        if (std::abs(a[pivot][c]) < 1e-300)
            return false;
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < N; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < N; ++k)
                a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int c = N - 1; c >= 0; --c) {
        for (int k = c + 1; k < N; ++k)
            b[c] -= a[c][k] * b[k];
        b[c] /= a[c][c];
    }
    return true;
}

// Residual of one point and its derivatives by centre x, centre y, rx and ry.
double residual(const AxisEllipse &e, TPointD p, std::array<double, 4> &grad)
{
    const double u = (p.x - e.centre.x) / e.rx, v = (p.y - e.centre.y) / e.ry;
    const double rho = std::sqrt(u * u + v * v);
    if (rho < 1e-12) {
        grad = { 0, 0, -1, -1 };
        return -std::min(e.rx, e.ry);
    }
    // rho - 1 scaled by the local radius: exact distance for a circle, first order otherwise.
    const double gx = u / (e.rx * rho), gy = v / (e.ry * rho);
    const double g = std::sqrt(gx * gx + gy * gy);
    const double r = (rho - 1) / g;
    // Derivatives of rho; the slowly varying scale 1/g is held constant.
    grad = { -gx / g, -gy / g, -(u * u) / (e.rx * rho) / g, -(v * v) / (e.ry * rho) / g };
    return r;
}

} // namespace

double AxisEllipse::distance(TPointD p) const
{
    std::array<double, 4> unused;
    return std::abs(residual(*this, p, unused));
}

std::optional<AxisEllipse> fitAxisEllipse(const std::vector<TPointD> &points, double roughTolerance)
{
    if (points.size() < 8)
        return std::nullopt;
    // Work about the centroid, scaled to unit size, so the normal equations stay well
    // conditioned for large ellipses.
    TPointD c { 0, 0 };
    for (TPointD p : points)
        c = c + p;
    c = (1.0 / double(points.size())) * c;
    double scale = 0;
    for (TPointD p : points)
        scale = std::max(scale, norm(p - c));
    if (scale < 1e-9)
        return std::nullopt;
    // x^2 + C y^2 + D x + E y + F = 0 in the least-squares sense.
    std::array<std::array<double, 4>, 4> m {};
    std::array<double, 4> rhs {};
    for (TPointD p : points) {
        const double x = (p.x - c.x) / scale, y = (p.y - c.y) / scale;
        const std::array<double, 4> row { y * y, x, y, 1 };
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j)
                m[i][j] += row[i] * row[j];
            rhs[i] -= row[i] * x * x;
        }
    }
    if (!solve<4>(m, rhs))
        return std::nullopt;
    const double cc = rhs[0], d = rhs[1], ee = rhs[2], f = rhs[3];
    if (!(cc > 0))
        return std::nullopt;
    const double x0 = -d / 2, y0 = -ee / (2 * cc);
    const double g = x0 * x0 + cc * y0 * y0 - f;
    if (!(g > 0))
        return std::nullopt;
    AxisEllipse e { { c.x + scale * x0, c.y + scale * y0 }, scale * std::sqrt(g),
        scale * std::sqrt(g / cc) };
    if (roughTolerance > 0 && fitError(e, points).rms > roughTolerance)
        return std::nullopt;

    for (int iteration = 0; iteration < 6; ++iteration) {
        std::array<std::array<double, 4>, 4> jtj {};
        std::array<double, 4> jtr {};
        std::array<double, 4> grad;
        for (TPointD p : points) {
            const double r = residual(e, p, grad);
            for (int i = 0; i < 4; ++i) {
                for (int j = 0; j < 4; ++j)
                    jtj[i][j] += grad[i] * grad[j];
                jtr[i] -= grad[i] * r;
            }
        }
        if (!solve<4>(jtj, jtr))
            break;
        e.centre.x += jtr[0];
        e.centre.y += jtr[1];
        e.rx += jtr[2];
        e.ry += jtr[3];
        if (!(e.rx > 0 && e.ry > 0))
            return std::nullopt;
        if (std::abs(jtr[0]) + std::abs(jtr[1]) + std::abs(jtr[2]) + std::abs(jtr[3]) < 1e-7)
            break;
    }
    return e;
}

FitError fitError(const AxisEllipse &e, const std::vector<TPointD> &points)
{
    FitError err;
    if (points.empty())
        return err;
    double sum = 0;
    for (TPointD p : points) {
        const double d = e.distance(p);
        sum += d * d;
        err.max = std::max(err.max, d);
    }
    err.rms = std::sqrt(sum / double(points.size()));
    return err;
}

std::vector<TPointD> outlinePoints(const Outline &outline, double spacing)
{
    std::vector<TPointD> points;
    for (const OutlinePiece &p : outline.pieces) {
        const double length =
            p.line ? norm(p.p3 - p.p0) : norm(p.c1 - p.p0) + norm(p.c2 - p.c1) + norm(p.p3 - p.c2);
        const int count = std::max(1, int(std::ceil(length / spacing)));
        for (int k = 0; k < count; ++k)
            points.push_back(p.at(double(k) / count));
    }
    return points;
}

bool recognizeEllipse(
    Outline &outline, const std::vector<TPointD> &edgePoints, double rms, double max)
{
    // Outlines with sharp corners are no ellipses, and most outlines of a drawing have them.
    for (const OutlinePiece &p : outline.pieces) {
        if (p.line)
            return false;
    }
    // The algebraic fit alone is off by far less than this for an ellipse; it spares the
    // refinement for the shapes that are not.
    const std::optional<AxisEllipse> e = fitAxisEllipse(edgePoints, 4 * rms + 0.5);
    if (!e || std::min(e->rx, e->ry) < 1.0)
        return false;
    if (fitError(*e, edgePoints).rms > rms)
        return false;
    // The refined pieces must follow the ellipse all the way round; a shape whose edge places
    // fit but which has a notch or a corner the samples missed is not an ellipse.
    if (fitError(*e, outlinePoints(outline, 0.5)).max > max)
        return false;
    outline.isEllipse = true;
    outline.centre = e->centre;
    outline.radiusX = e->rx;
    outline.radiusY = e->ry;
    return true;
}

void refitOnPixelSides(Outline &outline, const cv::Mat &grey, int threshold)
{
    if (!outline.isEllipse)
        return;
    const AxisEllipse first { outline.centre, outline.radiusX, outline.radiusY };
    const int x0 = std::max(0, int(first.centre.x - first.rx) - 2);
    const int x1 = std::min(grey.cols - 1, int(first.centre.x + first.rx) + 2);
    const int y0 = std::max(0, int(first.centre.y - first.ry) - 2);
    const int y1 = std::min(grey.rows - 1, int(first.centre.y + first.ry) + 2);
    std::vector<TPointD> sides;
    const auto take = [&](TPointD p) {
        if (first.distance(p) <= 1.5)
            sides.push_back(p);
    };
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t *row = grey.ptr<std::uint8_t>(y);
        const std::uint8_t *above = y < y1 ? grey.ptr<std::uint8_t>(y + 1) : nullptr;
        for (int x = x0; x <= x1; ++x) {
            const bool ink = row[x] < threshold;
            if (x < x1 && ink != (row[x + 1] < threshold))
                take({ x + 1.0, y + 0.5 });
            if (above && ink != (above[x] < threshold))
                take({ x + 0.5, y + 1.0 });
        }
    }
    const std::optional<AxisEllipse> e = fitAxisEllipse(sides);
    if (!e || norm(e->centre - first.centre) > 0.5 || std::abs(e->rx - first.rx) > 0.5
        || std::abs(e->ry - first.ry) > 0.5)
        return;
    outline.centre = e->centre;
    outline.radiusX = e->rx;
    outline.radiusY = e->ry;
}
