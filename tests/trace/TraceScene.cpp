#include "TraceScene.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>

namespace trace_scene {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double Fine = 0.05; // spacing of the flattened true boundaries, in pixels

QPointF polar(QPointF c, double r, double degrees)
{
    const double a = degrees * Pi / 180;
    return { c.x() + r * std::cos(a), c.y() + r * std::sin(a) };
}

void arc(QPolygonF &poly, QPointF c, double r, double from, double to)
{
    const int n = std::max(2, int(std::ceil(std::abs(to - from) * Pi / 180 * r / Fine)));
    for (int i = 0; i <= n; ++i)
        poly << polar(c, r, from + (to - from) * i / n);
}

void cubic(QPolygonF &poly, QPointF p0, QPointF c1, QPointF c2, QPointF p3)
{
    for (int i = 1; i <= 4000; ++i) {
        const double t = i / 4000.0, s = 1 - t;
        poly << s * s * s * p0 + 3 * s * s * t * c1 + 3 * s * t * t * c2 + t * t * t * p3;
    }
}

QPolygonF circle(QPointF c, double r)
{
    QPolygonF p;
    arc(p, c, r, 0, 360);
    p.removeLast();
    return p;
}

QPolygonF placed(const QPolygonF &local, QPointF at, double degrees)
{
    QTransform t;
    t.translate(at.x(), at.y());
    t.rotate(degrees);
    return t.map(local);
}

void addTile(Scene &s, QPointF o)
{
    // A plate with sharp corners, a round hole and a slot, turned by an odd angle.
    s.boundaries.push_back(
        placed(QPolygonF({ { -130, -80 }, { 130, -80 }, { 130, 80 }, { -130, 80 } }),
            o + QPointF(165, 130), 12));
    s.boundaries.push_back(circle(o + QPointF(165, 130) + QPointF(-60.3, 10.7), 30.2));
    s.circles.push_back({ o + QPointF(165, 130) + QPointF(-60.3, 10.7), 30.2 });
    QPolygonF slot;
    arc(slot, { 90, 0 }, 14, -90, 90);
    arc(slot, { 40, 0 }, 14, 90, 270);
    s.boundaries.push_back(placed(slot, o + QPointF(165, 130), 12));

    // Drill holes as ink dots, down to the smallest size recognised as circles.
    const double radii[] = { 5.0, 6.3, 8.1, 12.4 };
    for (int i = 0; i < 4; ++i) {
        const QPointF c = o + QPointF(60.37 + 55 * i, 285.61 + 0.3 * i);
        s.boundaries.push_back(circle(c, radii[i]));
        s.circles.push_back({ c, radii[i] });
    }

    // A ring: a disc with a round hole.
    const QPointF ring = o + QPointF(330.5, 290.25);
    s.boundaries.push_back(circle(ring, 40.4));
    s.boundaries.push_back(circle(ring, 26.8));
    s.circles.push_back({ ring, 40.4 });
    s.circles.push_back({ ring, 26.8 });

    // An arc band: two arcs joined by straight ends at sharp corners.
    QPolygonF band;
    const QPointF bc = o + QPointF(560, 150);
    arc(band, bc, 95, 200, 430);
    arc(band, bc, 62, 430, 200);
    s.boundaries.push_back(band);

    // A smooth Bezier blob and a teardrop with one sharp point.
    QPolygonF blob;
    const QPointF b = o + QPointF(140, 440);
    blob << b + QPointF(-90, 0);
    cubic(blob, b + QPointF(-90, 0), b + QPointF(-90, -70), b + QPointF(-10, -90),
        b + QPointF(40, -60));
    cubic(blob, b + QPointF(40, -60), b + QPointF(90, -30), b + QPointF(110, 40),
        b + QPointF(50, 70));
    cubic(
        blob, b + QPointF(50, 70), b + QPointF(0, 100), b + QPointF(-90, 70), b + QPointF(-90, 0));
    blob.removeLast();
    s.boundaries.push_back(blob);
    QPolygonF drop;
    const QPointF d = o + QPointF(330, 430);
    drop << d + QPointF(0, -80);
    cubic(
        drop, d + QPointF(0, -80), d + QPointF(20, -30), d + QPointF(70, 10), d + QPointF(40, 55));
    cubic(
        drop, d + QPointF(40, 55), d + QPointF(10, 95), d + QPointF(-60, 70), d + QPointF(0, -80));
    drop.removeLast();
    s.boundaries.push_back(drop);

    // A triangle with a 40 degree point, and a thin bar.
    s.boundaries.push_back(
        QPolygonF({ o + QPointF(450, 360), o + QPointF(560, 520), o + QPointF(420, 500) }));
    s.boundaries.push_back(placed(QPolygonF({ { -110, -3 }, { 110, -3 }, { 110, 3 }, { -110, 3 } }),
        o + QPointF(640, 430), 63.4));
}

} // namespace

constexpr int TileW = 760, TileH = 560;

Scene partsSheet(int across, int down)
{
    Scene s;
    s.width = TileW * across + 40;
    s.height = TileH * down + 40;
    for (int i = 0; i < across; ++i) {
        for (int j = 0; j < down; ++j)
            addTile(s, QPointF(20 + TileW * i, 20 + TileH * j));
    }
    return s;
}

Scene a4Sheet()
{
    Scene s = partsSheet(3, 6);
    for (QPolygonF &b : s.boundaries)
        b.translate(80, 54);
    for (Circle &c : s.circles)
        c.centre += QPointF(80, 54);
    s.width = 2480;
    s.height = 3508;
    return s;
}

namespace {

// Blur, noise and the reduction to black and white, on a picture painted with `look`'s levels.
void applyLook(QImage &image, const Look &look)
{
    cv::Mat m(
        image.height(), image.width(), CV_8UC1, image.bits(), std::size_t(image.bytesPerLine()));
    if (look.blur > 0)
        cv::GaussianBlur(m, m, cv::Size(0, 0), look.blur);
    if (look.noise > 0) {
        std::mt19937 random(12345);
        std::normal_distribution<double> noise(0, look.noise);
        for (int y = 0; y < m.rows; ++y) {
            auto *row = m.ptr<std::uint8_t>(y);
            for (int x = 0; x < m.cols; ++x)
                row[x] = cv::saturate_cast<std::uint8_t>(row[x] + noise(random));
        }
    }
    if (look.oneBit)
        cv::threshold(m, m, 127, 255, cv::THRESH_BINARY);
}

} // namespace

QImage paint(const Scene &scene, const Look &look)
{
    QImage image(scene.width, scene.height, QImage::Format_Grayscale8);
    image.fill(look.oneBit ? 255 : look.paper);
    {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        for (const QPolygonF &b : scene.boundaries)
            path.addPolygon(b);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const int ink = look.oneBit ? 0 : look.ink;
        painter.fillPath(path, QColor(ink, ink, ink));
    }
    applyLook(image, look);
    return image;
}

QImage paint(const std::vector<Stroke> &strokes, int width, int height, const Look &look)
{
    QImage image(width, height, QImage::Format_Grayscale8);
    paintInto(image, strokes, look);
    return image;
}

void paintInto(QImage &image, const std::vector<Stroke> &strokes, const Look &look)
{
    image.fill(look.oneBit ? 255 : look.paper);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const int ink = look.oneBit ? 0 : look.ink;
        for (const Stroke &s : strokes) {
            painter.setPen(
                QPen(QColor(ink, ink, ink), s.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            if (s.closed)
                painter.drawPolygon(s.line);
            else
                painter.drawPolyline(s.line);
        }
    }
    applyLook(image, look);
}

Dib toDib(const QImage &grey, bool oneBit)
{
    TBitmapInfo colours {};
    const int n = oneBit ? 2 : 256;
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint8_t>(oneBit ? i * 255 : i);
        colours.bmiColors[i] = { v, v, v, 0 };
    }
    Dib dib = Dib::create(grey.width(), grey.height(), oneBit ? 1 : 8, &colours, n);
    const TDibRec &r = dib.rec();
    for (int y = 0; y < grey.height(); ++y) {
        const std::uint8_t *in = grey.constScanLine(y);
        std::uint8_t *out = r.Bits + std::size_t(grey.height() - 1 - y) * r.BytesPerLine;
        if (!oneBit) {
            std::copy(in, in + grey.width(), out);
            continue;
        }
        for (int x = 0; x < grey.width(); ++x) {
            if (in[x] >= 128)
                out[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
        }
    }
    return dib;
}

std::vector<std::vector<QPointF>> flatten(const std::vector<TDrawElement> &elements, double step)
{
    std::vector<std::vector<QPointF>> chains;
    QPointF chainStart;
    const auto line = [&](QPointF a, QPointF b) {
        const int n = std::max(1, int(std::ceil(QLineF(a, b).length() / step)));
        for (int i = 0; i < n; ++i)
            chains.back().push_back(a + (b - a) * (double(i) / n));
    };
    for (const TDrawElement &e : elements) {
        const QPointF s(e.Start.x, e.Start.y), t(e.End.x, e.End.y);
        if (e.ChainPos == 0) {
            chains.emplace_back();
            chainStart = s;
        }
        if (e.Kind == KindLine) {
            line(s, t);
        } else if (e.Kind == KindCubicBezier) {
            const QPointF c1(e.Ctrl1.x, e.Ctrl1.y), c2(e.Ctrl2.x, e.Ctrl2.y);
            const double length =
                QLineF(s, c1).length() + QLineF(c1, c2).length() + QLineF(c2, t).length();
            const int n = std::max(2, int(std::ceil(length / step)));
            for (int i = 0; i < n; ++i) {
                const double u = double(i) / n, v = 1 - u;
                chains.back().push_back(
                    v * v * v * s + 3 * v * v * u * c1 + 3 * v * u * u * c2 + u * u * u * t);
            }
        } else if (e.Kind == KindEllipse) {
            const QPointF c = (s + t) / 2;
            const double rx = std::abs(t.x() - s.x()) / 2, ry = std::abs(t.y() - s.y()) / 2;
            const int n = std::max(8, int(std::ceil(2 * Pi * std::max(rx, ry) / step)));
            for (int i = 0; i < n; ++i)
                chains.back().push_back(
                    c + QPointF(rx * std::cos(2 * Pi * i / n), ry * std::sin(2 * Pi * i / n)));
        }
        if (e.ClosesChain)
            line(t, chainStart);
    }
    return chains;
}

namespace {
constexpr double Cell = 4;
}

BoundaryDistance::BoundaryDistance(const std::vector<QPolygonF> &boundaries)
{
    QRectF box;
    for (const QPolygonF &b : boundaries)
        box = box.united(b.boundingRect());
    m_cols = int(std::ceil((box.right() + 8) / Cell));
    m_rows = int(std::ceil((box.bottom() + 8) / Cell));
    m_cells.resize(std::size_t(m_cols) * std::size_t(m_rows));
    for (const QPolygonF &b : boundaries) {
        for (qsizetype i = 0; i < b.size(); ++i) {
            const Segment s { b[i], b[(i + 1) % b.size()] };
            const QRectF r = QRectF(s.a, s.b).normalized();
            for (int cy = int(r.top() / Cell); cy <= int(r.bottom() / Cell); ++cy) {
                for (int cx = int(r.left() / Cell); cx <= int(r.right() / Cell); ++cx)
                    m_cells[std::size_t(cy) * std::size_t(m_cols) + std::size_t(cx)].push_back(s);
            }
        }
    }
}

double BoundaryDistance::operator()(QPointF p) const
{
    double best = 1e9;
    const int px = int(p.x() / Cell), py = int(p.y() / Cell);
    for (int cy = py - 1; cy <= py + 1; ++cy) {
        for (int cx = px - 1; cx <= px + 1; ++cx) {
            if (cx < 0 || cy < 0 || cx >= m_cols || cy >= m_rows)
                continue;
            for (const Segment &s :
                m_cells[std::size_t(cy) * std::size_t(m_cols) + std::size_t(cx)]) {
                const QPointF d = s.b - s.a, w = p - s.a;
                const double len2 = QPointF::dotProduct(d, d);
                const double t =
                    len2 > 0 ? std::clamp(QPointF::dotProduct(w, d) / len2, 0.0, 1.0) : 0;
                best = std::min(best, QLineF(p, s.a + t * d).length());
            }
        }
    }
    return best;
}

} // namespace trace_scene
