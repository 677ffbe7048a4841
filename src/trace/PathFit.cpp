#include "trace/PathFit.h"

#include <algorithm>

namespace {

constexpr double CornerTurn = 0.87; // radians, about fifty degrees

class Fitter
{
public:
    Fitter(const std::vector<TPointD> &p, double tolerance, std::size_t span)
        : m_p(p)
        , m_tol(tolerance)
        , m_span(span)
    {
    }

    // Tangent at point i looking forward, from the points of [first, last] around it.
    TPointD tangent(std::size_t i, std::size_t first, std::size_t last) const
    {
        const std::size_t a = i - std::min(m_span, i - first), b = std::min(last, i + m_span);
        return unit(m_p[b] - m_p[a]);
    }

    void fit(std::size_t first, std::size_t last, TPointD t0, TPointD t1,
        std::vector<OutlinePiece> &out) const
    {
        const TPointD a = m_p[first], b = m_p[last];
        if (last - first < 3 || lineFits(first, last)) {
            OutlinePiece piece;
            piece.line = true;
            piece.p0 = a;
            piece.p3 = b;
            out.push_back(piece);
            return;
        }
        std::vector<double> u = chordParameters(first, last);
        OutlinePiece c;
        std::size_t worst = first;
        for (int round = 0; round < 4; ++round) {
            c = bezier(first, last, u, t0, t1);
            if (error(c, first, last, u, worst) <= m_tol)
                break;
            for (std::size_t i = first + 1; i < last; ++i)
                u[i - first] = newton(c, m_p[i], u[i - first]);
        }
        if (error(c, first, last, u, worst) <= m_tol || last - first < 6) {
            out.push_back(c);
            return;
        }
        worst = std::clamp(worst, first + 2, last - 2);
        const TPointD mid = tangent(worst, first, last);
        fit(first, worst, t0, -1.0 * mid, out);
        fit(worst, last, mid, t1, out);
    }

private:
    bool lineFits(std::size_t first, std::size_t last) const
    {
        const TPointD a = m_p[first], d = unit(m_p[last] - a);
        const double len = norm(m_p[last] - a);
        for (std::size_t i = first + 1; i < last; ++i) {
            const TPointD q = m_p[i] - a;
            const double along = dot(q, d);
            if (std::abs(cross(d, q)) > m_tol || along < -m_tol || along > len + m_tol)
                return false;
        }
        return true;
    }

    std::vector<double> chordParameters(std::size_t first, std::size_t last) const
    {
        std::vector<double> u(last - first + 1, 0.0);
        for (std::size_t i = first + 1; i <= last; ++i)
            u[i - first] = u[i - first - 1] + norm(m_p[i] - m_p[i - 1]);
        const double total = u.back() > 0 ? u.back() : 1;
        for (double &v : u)
            v /= total;
        return u;
    }

    // The cubic from m_p[first] along t0 to m_p[last] along -t1 whose two handle lengths fit
    // the points at parameters u best.
    OutlinePiece bezier(std::size_t first, std::size_t last, const std::vector<double> &u,
        TPointD t0, TPointD t1) const
    {
        const TPointD p0 = m_p[first], p3 = m_p[last];
        double c00 = 0, c01 = 0, c11 = 0, x0 = 0, x1 = 0;
        for (std::size_t i = first; i <= last; ++i) {
            const double t = u[i - first], s = 1 - t;
            const TPointD a0 = (3 * s * s * t) * t0, a1 = (3 * s * t * t) * t1;
            c00 += dot(a0, a0);
            c01 += dot(a0, a1);
            c11 += dot(a1, a1);
            const TPointD rest =
                m_p[i] - ((s * s * s + 3 * s * s * t) * p0 + (t * t * t + 3 * s * t * t) * p3);
            x0 += dot(a0, rest);
            x1 += dot(a1, rest);
        }
        const double det = c00 * c11 - c01 * c01;
        const double chord = norm(p3 - p0);
        double l0 = chord / 3, l1 = chord / 3;
        if (std::abs(det) > 1e-12) {
            const double s0 = (x0 * c11 - x1 * c01) / det, s1 = (c00 * x1 - c01 * x0) / det;
            if (s0 > 1e-3 * chord && s1 > 1e-3 * chord && s0 < 2 * chord && s1 < 2 * chord) {
                l0 = s0;
                l1 = s1;
            }
        }
        OutlinePiece c;
        c.p0 = p0;
        c.p3 = p3;
        c.c1 = p0 + l0 * t0;
        c.c2 = p3 + l1 * t1;
        return c;
    }

    double error(const OutlinePiece &c, std::size_t first, std::size_t last,
        const std::vector<double> &u, std::size_t &worst) const
    {
        double most = 0;
        for (std::size_t i = first + 1; i < last; ++i) {
            const double d = norm(c.at(u[i - first]) - m_p[i]);
            if (d > most) {
                most = d;
                worst = i;
            }
        }
        return most;
    }

    static double newton(const OutlinePiece &c, TPointD p, double t)
    {
        const TPointD d = c.at(t) - p, d1 = c.tangent(t);
        const double s = 1 - t;
        const TPointD d2 = (6 * s) * (c.c2 - 2 * c.c1 + c.p0) + (6 * t) * (c.p3 - 2 * c.c2 + c.c1);
        const double den = dot(d1, d1) + dot(d, d2);
        if (std::abs(den) < 1e-12)
            return t;
        return std::clamp(t - dot(d, d1) / den, 0.0, 1.0);
    }

    const std::vector<TPointD> &m_p;
    double m_tol;
    std::size_t m_span;
};

std::vector<std::size_t> corners(const std::vector<TPointD> &p, std::size_t span)
{
    std::vector<std::size_t> found;
    if (p.size() < 2 * span + 1)
        return found;
    std::vector<double> turn(p.size(), 0.0);
    for (std::size_t i = span; i + span < p.size(); ++i)
        turn[i] = turnOf(p[i] - p[i - span], p[i + span] - p[i]);
    for (std::size_t i = span; i + span < p.size(); ++i) {
        if (turn[i] < CornerTurn)
            continue;
        bool peak = true;
        for (std::size_t j = i - span; j <= i + span && peak; ++j)
            peak = turn[j] < turn[i] || (turn[j] == turn[i] && j >= i);
        if (peak)
            found.push_back(i);
    }
    return found;
}

// Moves each corner to where straight legs on either side of it meet, and drops the points
// around it: thinning and the ink across the stroke both round a corner off, its legs do not.
void sharpenCorners(std::vector<TPointD> &p, std::vector<std::size_t> &cuts, bool closed,
    double tolerance, std::size_t span)
{
    const std::size_t end = p.size() - 1;
    std::vector<bool> drop(p.size(), false);
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        const std::size_t c = cuts[k];
        if (c == 0 && !closed)
            continue;
        // A closed path's first corner is also its last point.
        const std::size_t before = c == 0 ? end : c,
                          prevCut = c == 0 ? cuts[cuts.size() - 2] : cuts[k - 1];
        const std::size_t after = c, nextCut = cuts[k + 1];
        if (before < prevCut + 3 * span || after + 3 * span > nextCut)
            continue;
        const FittedLine in = fitLine(&p[before - 3 * span], &p[before - span] + 1);
        const FittedLine out = fitLine(&p[after + span], &p[after + 3 * span] + 1);
        const double turn = cross(in.direction, out.direction);
        if (in.worst > tolerance || out.worst > tolerance || std::abs(turn) < 0.3)
            continue;
        // in.mean + s * in.direction = out.mean + t * out.direction
        const double s0 = cross(out.mean - in.mean, out.direction) / turn;
        const TPointD at = in.mean + s0 * in.direction;
        if (norm(at - p[c]) > 2.0 * double(span))
            continue;
        p[c] = at;
        if (c == 0)
            p[end] = at;
        for (std::size_t i = 1; i < span; ++i) {
            drop[before - i] = true;
            drop[after + i] = true;
        }
    }
    std::vector<TPointD> kept;
    std::vector<std::size_t> newCuts;
    std::size_t next = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (next < cuts.size() && cuts[next] == i) {
            newCuts.push_back(kept.size());
            ++next;
        }
        if (!drop[i])
            kept.push_back(p[i]);
    }
    p = std::move(kept);
    cuts = std::move(newCuts);
}

} // namespace

FittedLine fitLine(const TPointD *first, const TPointD *last)
{
    FittedLine f;
    const double n = double(last - first);
    if (n < 2)
        return f;
    for (const TPointD *q = first; q != last; ++q)
        f.mean = f.mean + *q;
    f.mean = (1.0 / n) * f.mean;
    double sxx = 0, sxy = 0, syy = 0;
    for (const TPointD *q = first; q != last; ++q) {
        const TPointD d = *q - f.mean;
        sxx += d.x * d.x;
        sxy += d.x * d.y;
        syy += d.y * d.y;
    }
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    f.direction = { std::cos(angle), std::sin(angle) };
    // Along the points, from first to last.
    if (dot(f.direction, *(last - 1) - *first) < 0)
        f.direction = -1.0 * f.direction;
    for (const TPointD *q = first; q != last; ++q)
        f.worst = std::max(f.worst, std::abs(cross(f.direction, *q - f.mean)));
    return f;
}

std::vector<OutlinePiece> fitPath(
    const std::vector<TPointD> &input, bool closed, double tolerance, std::size_t cornerSpan)
{
    std::vector<OutlinePiece> out;
    if (input.size() < 2)
        return out;
    std::vector<TPointD> p = input;
    std::vector<std::size_t> cuts;
    bool cornerAtStart = false;
    if (closed) {
        // Start a loop at its sharpest corner, or anywhere when it has none, and close it.
        // The loop with `span` points of the other end on either side, so corners are found
        // all the way round.
        const std::size_t span = std::min(cornerSpan, p.size());
        std::vector<TPointD> around(p.end() - std::ptrdiff_t(span), p.end());
        around.insert(around.end(), p.begin(), p.end());
        around.insert(around.end(), p.begin(), p.begin() + std::ptrdiff_t(span));
        const std::vector<std::size_t> c = corners(around, cornerSpan);
        std::size_t start = 0;
        if (!c.empty())
            start = (c.front() + p.size() - span) % p.size();
        cornerAtStart = !c.empty();
        std::rotate(p.begin(), p.begin() + std::ptrdiff_t(start), p.end());
        p.push_back(p.front());
    }
    cuts.push_back(0);
    for (std::size_t c : corners(p, cornerSpan))
        cuts.push_back(c);
    const bool smoothLoop = closed && !cornerAtStart;
    if (smoothLoop) {
        cuts.resize(1);
        cuts.push_back(p.size() / 2); // a loop without corners in two halves
    }
    cuts.push_back(p.size() - 1);
    if (!smoothLoop)
        sharpenCorners(p, cuts, closed, tolerance, cornerSpan);
    const Fitter fitter(p, tolerance, cornerSpan);
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        const std::size_t a = cuts[k], b = cuts[k + 1];
        if (b <= a)
            continue;
        TPointD t0 = fitter.tangent(a, a, b);
        TPointD t1 = fitter.tangent(b, a, b);
        if (smoothLoop) {
            // The halves of a smooth loop meet without a kink at both ends.
            const auto around = [&](std::size_t i) {
                const std::size_t n = p.size() - 1, s = std::min(cornerSpan, n / 2);
                return unit(p[(i + s) % n] - p[(i + n - s) % n]);
            };
            t0 = around(a);
            t1 = around(b);
        }
        fitter.fit(a, b, t0, -1.0 * t1, out);
    }
    return out;
}
