#include "TraceMeasure.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace trace_scene {

const std::vector<NamedLook> &looks()
{
    static const std::vector<NamedLook> looks = {
        { "clean", {} },
        { "noise", { 255, 0, 0, 10, false } },
        // Blur rounds the corners of the picture itself, the square ends of the 6-pixel bar
        // included; the fitted edges must meet there again.
        { "blur", { 255, 0, 0.8, 0, false } },
        { "grey background", { 190, 50, 0, 0, false } },
        { "grey, blur and noise", { 200, 60, 0.7, 8, false } },
        { "one bit", { 255, 0, 0, 0, true } },
    };
    return looks;
}

Figures measure(const Scene &scene, const std::vector<std::vector<QPointF>> &chains)
{
    Figures f;
    const BoundaryDistance toTruth(scene.boundaries);
    std::vector<double> all;
    int good = 0;
    std::vector<QPolygonF> traced;
    for (const auto &chain : chains) {
        double worst = 0;
        for (QPointF p : chain) {
            const double d = toTruth(p);
            all.push_back(d);
            worst = std::max(worst, d);
        }
        good += worst <= 0.5;
        traced.emplace_back(QList<QPointF>(chain.begin(), chain.end()));
    }
    if (all.empty())
        return f;
    std::sort(all.begin(), all.end());
    f.max = all.back();
    f.median = all[all.size() / 2];
    f.boundariesWithinHalf = double(good) / double(chains.size());
    const BoundaryDistance toTraced(traced);
    for (const QPolygonF &b : scene.boundaries) {
        for (qsizetype i = 0; i < b.size(); i += 20)
            f.missed = std::max(f.missed, toTraced(b[i]));
    }
    return f;
}

namespace {

QPointF centreOf(const TDrawElement &e)
{
    return { (e.Start.x + e.End.x) / 2, (e.Start.y + e.End.y) / 2 };
}

double radiusError(const TDrawElement &e, double radius)
{
    return std::max(std::abs(std::abs(e.End.x - e.Start.x) / 2 - radius),
        std::abs(std::abs(e.End.y - e.Start.y) / 2 - radius));
}

// The circle nearest to the points in the least squares sense of x^2 + y^2 + a x + b y + c = 0,
// taken about the points' mean so that the sums stay well conditioned.
Circle fitCircle(const std::vector<QPointF> &points)
{
    QPointF mean;
    for (QPointF p : points)
        mean += p;
    mean /= double(points.size());
    double suu = 0, suv = 0, svv = 0, suuu = 0, svvv = 0, suvv = 0, svuu = 0;
    for (QPointF p : points) {
        const double u = p.x() - mean.x(), v = p.y() - mean.y();
        suu += u * u, suv += u * v, svv += v * v;
        suuu += u * u * u, svvv += v * v * v, suvv += u * v * v, svuu += v * u * u;
    }
    const double det = suu * svv - suv * suv;
    if (points.size() < 3 || std::abs(det) < 1e-12)
        return { mean, 0 };
    const double ru = (suuu + suvv) / 2, rv = (svvv + svuu) / 2;
    const double uc = (ru * svv - rv * suv) / det, vc = (rv * suu - ru * suv) / det;
    const double n = double(points.size());
    return { mean + QPointF(uc, vc), std::sqrt(uc * uc + vc * vc + (suu + svv) / n) };
}

} // namespace

std::vector<const TDrawElement *> nearestEllipses(
    const Scene &scene, const std::vector<TDrawElement> &elements)
{
    std::vector<const TDrawElement *> nearest;
    for (const Circle &c : scene.circles) {
        const TDrawElement *best = nullptr;
        double bestDistance = 1e9;
        for (const TDrawElement &e : elements) {
            const double d = QLineF(centreOf(e), c.centre).length()
                + std::abs(std::abs(e.End.x - e.Start.x) / 2 - c.radius);
            if (e.Kind == KindEllipse && d < bestDistance) {
                best = &e;
                bestDistance = d;
            }
        }
        nearest.push_back(best);
    }
    return nearest;
}

CircleFigures ellipseFigures(const Scene &scene, const std::vector<TDrawElement> &elements)
{
    CircleFigures f;
    const auto nearest = nearestEllipses(scene, elements);
    f.total = int(scene.circles.size());
    for (std::size_t i = 0; i < nearest.size(); ++i) {
        if (!nearest[i])
            continue;
        const double centre = QLineF(centreOf(*nearest[i]), scene.circles[i].centre).length();
        const double radius = radiusError(*nearest[i], scene.circles[i].radius);
        if (centre > 1 || radius > 1)
            continue;
        ++f.found;
        f.centreWorst = std::max(f.centreWorst, centre);
        f.radiusWorst = std::max(f.radiusWorst, radius);
    }
    return f;
}

CircleFigures fittedCircleFigures(
    const Scene &scene, const std::vector<std::vector<QPointF>> &chains)
{
    std::vector<Circle> fitted;
    for (const auto &chain : chains)
        fitted.push_back(fitCircle(chain));
    CircleFigures f;
    f.total = int(scene.circles.size());
    for (const Circle &c : scene.circles) {
        double best = 1e9, centre = 0, radius = 0;
        for (const Circle &fit : fitted) {
            const double dc = QLineF(fit.centre, c.centre).length();
            const double dr = std::abs(fit.radius - c.radius);
            if (dc + dr < best)
                best = dc + dr, centre = dc, radius = dr;
        }
        f.centreWorst = std::max(f.centreWorst, centre);
        f.radiusWorst = std::max(f.radiusWorst, radius);
    }
    return f;
}

namespace {

constexpr double Pi = 3.14159265358979323846;

// A dense polyline through `corners`, a twentieth of a pixel apart.
QPolygonF dense(std::initializer_list<QPointF> corners)
{
    QPolygonF out;
    const std::vector<QPointF> c(corners);
    for (std::size_t i = 0; i + 1 < c.size(); ++i) {
        const int n = std::max(1, int(QLineF(c[i], c[i + 1]).length() / 0.05));
        for (int k = 0; k < n; ++k)
            out << c[i] + (c[i + 1] - c[i]) * (double(k) / n);
    }
    out << c.back();
    return out;
}

QPolygonF arc(QPointF centre, double r, double from, double to)
{
    QPolygonF out;
    const int n = int(std::abs(to - from) * Pi / 180 * r / 0.05);
    for (int i = 0; i <= n; ++i) {
        const double a = (from + (to - from) * i / n) * Pi / 180;
        out << centre + QPointF(r * std::cos(a), r * std::sin(a));
    }
    return out;
}

} // namespace

Drawing lineDrawing()
{
    Drawing d;
    // T: a bar and a stem that meets its middle.
    d.strokes.push_back({ dense({ { 40.3, 60.6 }, { 260.3, 60.6 } }), 6 });
    d.strokes.push_back({ dense({ { 150.3, 60.6 }, { 150.3, 220.2 } }), 6 });
    d.junctions.push_back({ { 150.3, 60.6 }, 3 });
    // X: two lines crossing at 66 degrees.
    d.strokes.push_back({ dense({ { 320.4, 40.7 }, { 500.1, 230.2 } }), 4 });
    d.strokes.push_back({ dense({ { 300.2, 190.9 }, { 530.6, 110.3 } }), 4 });
    d.junctions.push_back({ { 422.3207, 148.1790 }, 4 });
    // A corner of 70 degrees in a wide stroke, and a thin curve.
    d.strokes.push_back({ dense({ { 60.2, 300.4 }, { 220.7, 330.1 }, { 120.5, 460.3 } }), 8 });
    d.strokes.push_back({ arc({ 400.3, 400.6 }, 90.2, 200, 340), 3 });
    d.openChains = 3 + 4 + 1 + 1; // the arms of the T and the X, the corner, the curve
    // Loops: a rectangle with rounded-off corners and a circle.
    QPolygonF frame = dense(
        { { 60.5, 540.5 }, { 240.5, 540.5 }, { 240.5, 680.5 }, { 60.5, 680.5 }, { 60.5, 540.5 } });
    d.strokes.push_back({ frame, 5, true });
    d.strokes.push_back({ arc({ 400.4, 610.7 }, 60.3, 0, 360), 4, true });
    d.closedChains = 2;
    return d;
}

// An open line goes out and back, so the grid's closing segment has no length.
BoundaryDistance centreLines(const Drawing &d)
{
    std::vector<QPolygonF> lines;
    for (const Stroke &s : d.strokes) {
        QPolygonF there = s.line;
        if (!s.closed)
            there.append(QPolygonF(QList<QPointF>(s.line.rbegin(), s.line.rend())));
        lines.push_back(there);
    }
    return BoundaryDistance(lines);
}

namespace {

struct Chain
{
    TPointD start, end;
    bool closed = false;
    double length = 0;
    double worst = 0; // the largest distance from the true centre lines
};

bool same(TPointD a, TPointD b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

double distance(TPointD a, QPointF b)
{
    return std::hypot(a.x - b.x(), a.y - b.y());
}

// The stroke whose centre line passes nearest to `p`.
const Stroke &strokeAt(const Drawing &d, TPointD p)
{
    const Stroke *best = &d.strokes.front();
    double bestDistance = 1e9;
    for (const Stroke &s : d.strokes) {
        for (QPointF q : s.line) {
            if (distance(p, q) < bestDistance)
                bestDistance = distance(p, q), best = &s;
        }
    }
    return *best;
}

} // namespace

CenterlineFigures measureCenterline(const Drawing &d, const std::vector<TDrawElement> &elements)
{
    CenterlineFigures f;
    const BoundaryDistance toTruth = centreLines(d);
    const auto flat = flatten(elements, 0.25);
    std::vector<Chain> chains;
    for (const TDrawElement &e : elements) {
        if (e.ChainPos == 0)
            chains.push_back({ e.Start, e.End, false, 0 });
        chains.back().end = e.End;
        chains.back().closed = e.ClosesChain != 0;
    }
    double sum = 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < flat.size() && i < chains.size(); ++i) {
        for (std::size_t k = 0; k < flat[i].size(); ++k) {
            const double dist = toTruth(flat[i][k]);
            f.max = std::max(f.max, dist);
            chains[i].worst = std::max(chains[i].worst, dist);
            sum += dist;
            ++count;
            if (k > 0)
                chains[i].length += QLineF(flat[i][k - 1], flat[i][k]).length();
        }
        if (!flat[i].empty())
            chains[i].length += distance(chains[i].end, flat[i].back());
    }
    f.mean = count ? sum / double(count) : 0;

    // The longest stretch of a true centre line that no traced line passes within 0.75 pixel
    // of. Open chains go out and back, so that the grid holds no segment that closes them.
    std::vector<QPolygonF> traced;
    for (std::size_t i = 0; i < flat.size() && i < chains.size(); ++i) {
        QPolygonF line(QList<QPointF>(flat[i].begin(), flat[i].end()));
        line << QPointF(chains[i].end.x, chains[i].end.y);
        if (!chains[i].closed)
            line.append(QPolygonF(QList<QPointF>(line.rbegin(), line.rend())));
        traced.push_back(line);
    }
    if (!traced.empty()) {
        const BoundaryDistance toTraced(traced);
        for (const Stroke &s : d.strokes) {
            double gap = 0;
            for (qsizetype k = 1; k < s.line.size(); ++k) {
                gap = toTraced(s.line[k]) > 0.75 ? gap + QLineF(s.line[k - 1], s.line[k]).length()
                                                 : 0;
                f.longestMissed = std::max(f.longestMissed, gap);
            }
        }
    }

    std::vector<TPointD> ends;
    for (const Chain &c : chains) {
        if (c.closed) {
            ++f.closed;
            continue;
        }
        ++f.open;
        ends.push_back(c.start);
        ends.push_back(c.end);
    }
    for (const Junction &j : d.junctions) {
        std::vector<TPointD> there;
        for (TPointD p : ends) {
            if (distance(p, j.at) < 4)
                there.push_back(p);
        }
        const bool joined = int(there.size()) == j.strokes
            && std::all_of(
                there.begin(), there.end(), [&](TPointD p) { return same(p, there.front()); });
        f.junctionsJoined += joined;
        f.junctionEnds.push_back(std::move(there));
    }

    for (const Chain &c : chains) {
        if (c.closed)
            continue;
        for (TPointD end : { c.start, c.end }) {
            const auto shared =
                std::count_if(ends.begin(), ends.end(), [&](TPointD p) { return same(p, end); });
            const bool atStrokeEnd =
                std::any_of(d.strokes.begin(), d.strokes.end(), [&](const Stroke &s) {
                    return !s.closed
                        && std::min(distance(end, s.line.first()), distance(end, s.line.last()))
                        <= s.width;
                });
            if (shared > 1 || atStrokeEnd || c.worst <= 0.75 || c.length <= f.longestSpur)
                continue;
            f.longestSpur = c.length;
            f.spurPerWidth = c.length / strokeAt(d, end).width;
        }
    }
    return f;
}

} // namespace trace_scene
