#include "trace/EdgeRefiner.h"

#include <algorithm>
#include <cmath>

namespace {

// How far along the normal an edge is looked for, and in what steps. Potrace's curves lie
// within about 1.7 pixels of the true edge.
constexpr double SearchRange = 2.0;
constexpr double SearchStep = 0.25;
// Samples per pixel of piece length.
constexpr double SampleSpacing = 0.7;
// A sample whose offset differs this much from its neighbours' median is taken for noise.
constexpr double OutlierOffset = 0.5;

TPointD projectOnto(TPointD p, TPointD point, TPointD dir)
{
    return point + dot(p - point, dir) * dir;
}

} // namespace

// The main axis of the points' scatter.
bool EdgeRefiner::fitPoints(
    const std::vector<TPointD> &points, TPointD along, TPointD &point, TPointD &dir)
{
    if (points.size() < 2 || norm(points.front() - points.back()) < 1.0)
        return false;
    TPointD c { 0, 0 };
    for (TPointD q : points)
        c = c + q;
    c = (1.0 / double(points.size())) * c;
    double xx = 0, xy = 0, yy = 0;
    for (TPointD q : points) {
        const TPointD d = q - c;
        xx += d.x * d.x;
        xy += d.x * d.y;
        yy += d.y * d.y;
    }
    const double angle = 0.5 * std::atan2(2 * xy, xx - yy);
    dir = { std::cos(angle), std::sin(angle) };
    if (dot(dir, along) < 0)
        dir = -1.0 * dir;
    point = c;
    return true;
}

EdgeRefiner::EdgeRefiner(const cv::Mat &grey, double level, double contrast)
    : m_grey(grey)
    , m_level(level)
    , m_contrast(contrast)
{
}

double EdgeRefiner::edgeWidth(const std::vector<std::vector<Sample>> &samples) const
{
    std::vector<double> widths;
    for (const std::vector<Sample> &piece : samples) {
        for (std::size_t k = 0; k < piece.size(); k += 4) {
            const Sample &s = piece[k];
            if (!s.valid)
                continue;
            const double slope = greyAt(s.q + 0.5 * s.normal) - greyAt(s.q - 0.5 * s.normal);
            widths.push_back(slope > 1 ? m_contrast / slope : 4.0);
        }
    }
    if (widths.empty())
        return 1;
    std::nth_element(widths.begin(), widths.begin() + long(widths.size() / 2), widths.end());
    return std::clamp(widths[widths.size() / 2], 1.0, 4.0);
}

double EdgeRefiner::greyAt(TPointD p) const
{
    const double u = std::clamp(p.x - 0.5, 0.0, double(m_grey.cols - 1));
    const double v = std::clamp(p.y - 0.5, 0.0, double(m_grey.rows - 1));
    const int x0 = std::min(int(u), m_grey.cols - 1), y0 = std::min(int(v), m_grey.rows - 1);
    const int x1 = std::min(x0 + 1, m_grey.cols - 1), y1 = std::min(y0 + 1, m_grey.rows - 1);
    const double fx = u - x0, fy = v - y0;
    const std::uint8_t *r0 = m_grey.ptr<std::uint8_t>(y0);
    const std::uint8_t *r1 = m_grey.ptr<std::uint8_t>(y1);
    const double a = r0[x0] + fx * (r0[x1] - r0[x0]);
    const double b = r1[x0] + fx * (r1[x1] - r1[x0]);
    return a + fy * (b - a);
}

bool EdgeRefiner::inkOnLeft(const Outline &o) const
{
    // Each piece votes by the grey level a pixel to either side of its middle.
    int left = 0, right = 0;
    for (const OutlinePiece &p : o.pieces) {
        const TPointD m = p.at(0.5);
        const TPointD n = unit(p.tangent(0.5));
        const TPointD l { -n.y, n.x };
        const double dl = greyAt(m + l), dr = greyAt(m - l);
        left += dl < dr;
        right += dr < dl;
    }
    return left >= right;
}

TPointD EdgeRefiner::outward(TPointD tangent, bool inkLeft) const
{
    const TPointD u = unit(tangent);
    return inkLeft ? TPointD { u.y, -u.x } : TPointD { -u.y, u.x };
}

bool EdgeRefiner::findCrossing(TPointD p, TPointD n, double &offset) const
{
    // Ink is darker than the edge level: from the ink side the edge lies outward, from the
    // paper side inward. The first crossing in that direction is taken.
    double previous = greyAt(p) - m_level;
    const double direction = previous < 0 ? 1 : -1;
    for (double s = SearchStep; s <= SearchRange + 1e-9; s += SearchStep) {
        const double f = greyAt(p + (direction * s) * n) - m_level;
        if ((f >= 0) != (previous >= 0)) {
            const double within = previous / (previous - f);
            offset = direction * (s - SearchStep + within * SearchStep);
            return true;
        }
        previous = f;
    }
    return false;
}

std::vector<EdgeRefiner::Sample> EdgeRefiner::samplePiece(
    const OutlinePiece &piece, bool inkLeft) const
{
    const int count = std::clamp(int(std::ceil(piece.length() / SampleSpacing)), 3, 4000);
    std::vector<Sample> samples(static_cast<std::size_t>(count));
    // Samples lie evenly along the piece, not evenly in its parameter: potrace ends many long
    // straight curves with handles of a pixel or less, and there the parameter crowds its
    // steps into the last pixels, which belong to the corner.
    std::vector<double> table;
    if (!piece.line) {
        table.resize(std::size_t(count) + 1);
        TPointD last = piece.p0;
        table[0] = 0;
        for (int k = 1; k <= count; ++k) {
            const TPointD p = piece.at(double(k) / count);
            table[std::size_t(k)] = table[std::size_t(k) - 1] + norm(p - last);
            last = p;
        }
    }
    for (int k = 0; k < count; ++k) {
        Sample &s = samples[std::size_t(k)];
        s.share = (k + 0.5) / count;
        s.t = s.share;
        if (!piece.line && table.back() > 0) {
            const double target = s.share * table.back();
            const auto j =
                std::size_t(std::upper_bound(table.begin(), table.end(), target) - table.begin());
            const std::size_t i = std::clamp<std::size_t>(j, 1, table.size() - 1) - 1;
            const double step = table[i + 1] - table[i];
            s.t = (double(i) + (step > 0 ? (target - table[i]) / step : 0)) / count;
        }
        const TPointD p = piece.at(s.t);
        const TPointD n = outward(piece.tangent(s.t), inkLeft);
        s.normal = n;
        s.valid = (n.x != 0 || n.y != 0) && findCrossing(p, n, s.offset);
        if (s.valid)
            s.q = p + s.offset * n;
    }
    // Noise can put a crossing next to the piece where there is no edge; such a sample stands
    // out from its neighbours.
    std::vector<double> window;
    for (std::size_t k = 0; k < samples.size(); ++k) {
        if (!samples[k].valid)
            continue;
        window.clear();
        for (std::size_t j = k >= 2 ? k - 2 : 0; j < std::min(samples.size(), k + 3); ++j) {
            if (samples[j].valid)
                window.push_back(samples[j].offset);
        }
        std::nth_element(window.begin(), window.begin() + long(window.size() / 2), window.end());
        if (std::abs(samples[k].offset - window[window.size() / 2]) > OutlierOffset)
            samples[k].valid = false;
    }
    return samples;
}

EdgeRefiner::LineFit EdgeRefiner::fitLine(const OutlinePiece &piece,
    const std::vector<Sample> &samples, double startClear, double endClear) const
{
    const double length = norm(piece.p3 - piece.p0);
    std::vector<TPointD> used;
    used.reserve(samples.size());
    for (const Sample &s : samples) {
        const double along = s.share * length;
        if (s.valid && along >= startClear && length - along >= endClear)
            used.push_back(s.q);
    }
    LineFit fit;
    fit.ok = fitPoints(used, piece.p3 - piece.p0, fit.point, fit.dir);
    return fit;
}

void EdgeRefiner::fitCurve(
    OutlinePiece &piece, TPointD t0, TPointD t3, std::vector<Sample> &samples) const
{
    const TPointD a = piece.p0, b = piece.p3;
    const double chord = norm(b - a);
    double alpha = norm(piece.c1 - a), beta = norm(b - piece.c2);
    piece.c1 = a + alpha * t0;
    piece.c2 = b - beta * t3;
    int valid = 0;
    for (const Sample &s : samples)
        valid += s.valid;
    if (valid < 3)
        return;
    for (int round = 0; round < 3; ++round) {
        double a11 = 0, a12 = 0, a22 = 0, r1 = 0, r2 = 0;
        for (const Sample &s : samples) {
            if (!s.valid)
                continue;
            const double u = 1 - s.t;
            const double b0 = u * u * u, b1 = 3 * u * u * s.t, b2 = 3 * u * s.t * s.t,
                         b3 = s.t * s.t * s.t;
            const TPointD rest = s.q - ((b0 + b1) * a + (b2 + b3) * b);
            a11 += b1 * b1;
            a12 -= b1 * b2 * dot(t0, t3);
            a22 += b2 * b2;
            r1 += b1 * dot(t0, rest);
            r2 -= b2 * dot(t3, rest);
        }
        const double det = a11 * a22 - a12 * a12;
        if (std::abs(det) < 1e-12)
            return;
        const double na = (r1 * a22 - r2 * a12) / det;
        const double nb = (a11 * r2 - a12 * r1) / det;
        // Handles that turn round or reach far beyond the piece mean the samples do not
        // describe this piece; potrace's handles are kept then.
        if (!(na > 0 && nb > 0 && na < 3 * chord + 2 && nb < 3 * chord + 2))
            return;
        alpha = na;
        beta = nb;
        piece.c1 = a + alpha * t0;
        piece.c2 = b - beta * t3;
        // Each sample's parameter moves to the nearest point of the new curve (one Newton
        // step), so the next round compares like with like.
        for (Sample &s : samples) {
            if (!s.valid)
                continue;
            const TPointD d = piece.at(s.t) - s.q;
            const TPointD d1 = piece.tangent(s.t);
            const double u = 1 - s.t;
            const TPointD d2 = (6 * u) * (piece.c2 - 2.0 * piece.c1 + piece.p0)
                + (6 * s.t) * (piece.p3 - 2.0 * piece.c2 + piece.c1);
            const double den = dot(d1, d1) + dot(d, d2);
            if (den > 1e-12)
                s.t = std::clamp(s.t - dot(d, d1) / den, 0.0, 1.0);
        }
    }
}

TPointD EdgeRefiner::smoothJoint(const Outline &o, const std::vector<std::vector<Sample>> &samples,
    const std::vector<LineFit> &lines, std::size_t i, bool inkLeft) const
{
    const std::size_t n = o.pieces.size(), p = (i + n - 1) % n;
    const OutlinePiece &prev = o.pieces[p], &cur = o.pieces[i];
    const TPointD j = cur.p0;
    const LineFit &lp = lines[p], &lc = lines[i];
    // A smooth joint moves along its normal by the offsets found next to it.
    double sum = 0;
    int count = 0;
    const auto take = [&](const std::vector<Sample> &ss, std::size_t k) {
        const Sample &s = ss[k];
        if (s.valid) {
            sum += s.offset;
            ++count;
        }
    };
    const std::vector<Sample> &sp = samples[p], &sc = samples[i];
    take(sp, sp.size() - 1);
    take(sc, 0);
    if (count == 0 && sp.size() > 1 && sc.size() > 1) {
        take(sp, sp.size() - 2);
        take(sc, 1);
    }
    const TPointD normal =
        unit(outward(prev.tangent(1), inkLeft) + outward(cur.tangent(0), inkLeft));
    TPointD moved = count ? j + (sum / count) * normal : j;
    if (lp.ok && lc.ok)
        moved = 0.5 * (projectOnto(moved, lp.point, lp.dir) + projectOnto(moved, lc.point, lc.dir));
    else if (lp.ok)
        moved = projectOnto(moved, lp.point, lp.dir);
    else if (lc.ok)
        moved = projectOnto(moved, lc.point, lc.dir);
    return moved;
}

void EdgeRefiner::refine(Outline &o, std::vector<TPointD> *edgePoints) const
{
    std::size_t n = o.pieces.size();
    if (n == 0)
        return;
    const bool inkLeft = inkOnLeft(o);
    std::vector<std::vector<Sample>> samples(n);
    std::vector<double> lengths(n), clearance(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        samples[i] = samplePiece(o.pieces[i], inkLeft);
        lengths[i] = o.pieces[i].length();
    }
    const double width = edgeWidth(samples);
    sharpenCorners(o, samples, width, inkLeft);
    const std::vector<Pin> pins = squareEnds(o, samples, width, inkLeft);
    n = o.pieces.size();
    lengths.resize(n);
    clearance.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        lengths[i] = o.pieces[i].length();
    for (std::size_t i = 0; i < n; ++i) {
        const OutlinePiece &prev = o.pieces[(i + n - 1) % n];
        if (prev.cornerAtEnd)
            clearance[i] = cornerClearance(turnOf(prev.tangent(1), o.pieces[i].tangent(0)), width);
    }
    findHiddenCorners(o, samples, lengths, clearance, width);
    std::vector<LineFit> lines(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (o.pieces[i].line)
            lines[i] = fitLine(o.pieces[i], samples[i], clearance[i], clearance[(i + 1) % n]);
    }

    // New joints, decided on the old geometry before any piece moves. A corner is where the
    // edges on either side, fitted clear of it, meet; their directions become the handle
    // directions of curves that leave the corner.
    std::vector<TPointD> joints(n), intoCorner(n), outOfCorner(n);
    std::vector<bool> fittedCorner(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t p = (i + n - 1) % n;
        const TPointD j = o.pieces[i].p0;
        if (pins[i].on) {
            joints[i] = pins[i].at;
            intoCorner[i] = pins[i].in;
            outOfCorner[i] = pins[i].out;
            fittedCorner[i] = true;
            continue;
        }
        if (o.pieces[p].cornerAtEnd) {
            const LineFit in = fitSide(o, samples, lengths, clearance, i, false);
            const LineFit out = fitSide(o, samples, lengths, clearance, i, true);
            const double sine = in.ok && out.ok ? cross(in.dir, out.dir) : 0;
            if (std::abs(sine) > 0.1) {
                const TPointD x = in.point + (cross(out.point - in.point, out.dir) / sine) * in.dir;
                if (norm(x - j) < 2 * clearance[i] + 1) {
                    joints[i] = x;
                    intoCorner[i] = in.dir;
                    outOfCorner[i] = out.dir;
                    fittedCorner[i] = true;
                    continue;
                }
            }
        }
        joints[i] = smoothJoint(o, samples, lines, i, inkLeft);
    }

    // Handle directions: a curve next to a fitted line continues it; elsewhere potrace's
    // directions stay, and with them the smoothness of the joint.
    std::vector<TPointD> t0(n), t3(n);
    for (std::size_t i = 0; i < n; ++i) {
        const OutlinePiece &c = o.pieces[i];
        if (c.line)
            continue;
        const std::size_t p = (i + n - 1) % n, q = (i + 1) % n;
        t0[i] = unit(norm(c.c1 - c.p0) > 1e-9 ? c.c1 - c.p0 : c.c2 - c.p0);
        t3[i] = unit(norm(c.p3 - c.c2) > 1e-9 ? c.p3 - c.c2 : c.p3 - c.c1);
        if (fittedCorner[i])
            t0[i] = outOfCorner[i];
        else if (lines[p].ok && !o.pieces[p].cornerAtEnd)
            t0[i] = lines[p].dir;
        if (fittedCorner[q])
            t3[i] = intoCorner[q];
        else if (lines[q].ok && !c.cornerAtEnd)
            t3[i] = lines[q].dir;
    }
    for (std::size_t i = 0; i < n; ++i) {
        o.pieces[i].p0 = joints[i];
        o.pieces[(i + n - 1) % n].p3 = joints[i];
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (!o.pieces[i].line) {
            // Next to a corner the grey levels belong to both edges; the corner point already
            // holds what they say.
            const std::size_t q = (i + 1) % n;
            const double startClear = fittedCorner[i] ? clearance[i] : 0;
            const double endClear = fittedCorner[q] ? clearance[q] : 0;
            for (Sample &s : samples[i]) {
                if (s.share * lengths[i] < startClear || (1 - s.share) * lengths[i] < endClear)
                    s.valid = false;
            }
            fitCurve(o.pieces[i], t0[i], t3[i], samples[i]);
        }
        if (edgePoints) {
            for (const Sample &s : samples[i]) {
                if (s.valid)
                    edgePoints->push_back(s.q);
            }
        }
    }
}
