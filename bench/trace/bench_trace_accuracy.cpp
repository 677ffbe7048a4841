// Tracing accuracy on pictures with known geometry, as counters for the benchmark table: the
// parts sheet at 300 dpi in each look the tracer's tests use, traced by our outline trace and
// by the potrace command, and the line drawing traced to centre lines. The potrace command
// traces the bitmap our tracer makes of the picture at its own threshold, from a PBM file, with
// its default settings; only its output is written to a hundredth of a pixel instead of a
// tenth, so that rounding adds nothing to its distances. Its curves are flattened as ours are,
// every 0.25 pixel, and measured the same way.
#include "ThresholdPbm.h"
#include "TraceMeasure.h"
#include "TraceScene.h"
#include "trace/CenterlineTrace.h"
#include "trace/OutlineTrace.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace trace_scene;

namespace {

const Scene &parts()
{
    static const Scene scene = partsSheet();
    return scene;
}

void outlineCounters(benchmark::State &state, const Figures &f, const CircleFigures &c)
{
    state.counters["max"] = f.max;
    state.counters["median"] = f.median;
    state.counters["within_half"] = f.boundariesWithinHalf;
    state.counters["missed"] = f.missed;
    state.counters["circles_found"] = c.found;
    state.counters["circles_total"] = c.total;
    state.counters["circle_centre_worst"] = c.centreWorst;
    state.counters["circle_radius_worst"] = c.radiusWorst;
}

void outlineAccuracy(benchmark::State &state, const Look &look)
{
    const Dib dib = toDib(paint(parts(), look), look.oneBit);
    TraceResult r;
    for (auto _ : state)
        r = traceOutline(dib.rec(), TraceSettings {});
    if (!r.ok()) {
        state.SkipWithError("the trace failed");
        return;
    }
    outlineCounters(
        state, measure(parts(), flatten(r.elements, 0.25)), ellipseFigures(parts(), r.elements));
}

// The numbers and commands of an SVG path, each command letter a token of its own.
QStringList pathTokens(const QString &d)
{
    QStringList tokens;
    static const QRegularExpression token(QStringLiteral("[A-Za-z]|-?[0-9.]+"));
    for (auto it = token.globalMatch(d); it.hasNext();)
        tokens << it.next().captured();
    return tokens;
}

// The closed curves of the potrace command's SVG, in picture pixels. Its paths use absolute and
// relative moves, relative lines and cubic curves, in units its group's transform scales to
// points (one per pixel) and turns upright.
std::vector<TDrawElement> potraceCurves(const QByteArray &svg, int width)
{
    const QString text = QString::fromUtf8(svg);
    static const QRegularExpression viewBox(QStringLiteral("viewBox=\"0 0 ([0-9.]+) "));
    static const QRegularExpression transform(
        QStringLiteral("translate\\(([-0-9.]+),([-0-9.]+)\\) scale\\(([-0-9.]+),([-0-9.]+)\\)"));
    static const QRegularExpression path(QStringLiteral(" d=\"([^\"]*)\""));
    const auto box = viewBox.match(text);
    const auto t = transform.match(text);
    if (!box.hasMatch() || !t.hasMatch())
        return {};
    const double pixels = width / box.captured(1).toDouble();
    const QPointF shift(t.captured(1).toDouble(), t.captured(2).toDouble());
    const double sx = t.captured(3).toDouble(), sy = t.captured(4).toDouble();
    const auto toPicture = [&](QPointF p) {
        const QPointF q = (shift + QPointF(sx * p.x(), sy * p.y())) * pixels;
        return TPointD { q.x(), q.y() };
    };

    std::vector<TDrawElement> out;
    for (auto paths = path.globalMatch(text); paths.hasNext();) {
        const QStringList tokens = pathTokens(paths.next().captured(1));
        QPointF current, start;
        QChar command;
        qsizetype i = 0;
        const auto number = [&] { return i < tokens.size() ? tokens[i++].toDouble() : 0.0; };
        const auto point = [&] {
            const double x = number();
            return QPointF(x, number());
        };
        while (i < tokens.size()) {
            if (tokens[i][0].isLetter())
                command = tokens[i++][0];
            TDrawElement e {};
            const bool relative = command.isLower();
            const QPointF base = relative ? current : QPointF();
            switch (command.toLower().unicode()) {
            case 'm':
                current = start = base + point();
                command = relative ? QChar('l') : QChar('L'); // further pairs are lines
                continue;
            case 'l':
                e.Kind = KindLine;
                e.Start = toPicture(current);
                current = base + point();
                break;
            case 'c':
                e.Kind = KindCubicBezier;
                e.Start = toPicture(current);
                e.Ctrl1 = toPicture(base + point());
                e.Ctrl2 = toPicture(base + point());
                current = base + point();
                break;
            case 'z':
                if (!out.empty())
                    out.back().ClosesChain = 1;
                current = start;
                command = QChar(); // numbers after a close are not potrace's; skip them
                continue;
            default:
                ++i; // nothing potrace writes
                continue;
            }
            e.End = toPicture(current);
            e.ChainPos = out.empty() || out.back().ClosesChain ? 0 : out.back().ChainPos + 1;
            out.push_back(e);
        }
    }
    return out;
}

void potraceAccuracy(benchmark::State &state, const Look &look)
{
    const QImage picture = paint(parts(), look);
    const QTemporaryDir dir;
    const QByteArray pbm = QFile::encodeName(dir.filePath(QStringLiteral("sheet.pbm")));
    const QByteArray svg = QFile::encodeName(dir.filePath(QStringLiteral("sheet.svg")));
    QFile in(QString::fromLocal8Bit(pbm));
    if (!in.open(QIODevice::WriteOnly)
        || !in.write(thresholdedPbm(picture, toDib(picture, look.oneBit)))) {
        state.SkipWithError("the PBM could not be written");
        return;
    }
    in.close();
    for (auto _ : state) {
        if (!runPotrace({ "potrace", "-b", "svg", "--flat", "-u", "100", pbm, "-o", svg })) {
            state.SkipWithError("the potrace command is not installed or failed");
            return;
        }
    }
    QFile out(QString::fromLocal8Bit(svg));
    const std::vector<TDrawElement> curves = out.open(QIODevice::ReadOnly)
        ? potraceCurves(out.readAll(), picture.width())
        : std::vector<TDrawElement> {};
    if (curves.empty()) {
        state.SkipWithError("the potrace command's SVG could not be read");
        return;
    }
    const auto chains = flatten(curves, 0.25);
    outlineCounters(state, measure(parts(), chains), fittedCircleFigures(parts(), chains));
}

void centerlineAccuracy(benchmark::State &state, const Look &look)
{
    const Drawing drawing = lineDrawing();
    const Dib dib = toDib(paint(drawing.strokes, 560, 740, look), look.oneBit);
    TraceResult r;
    for (auto _ : state)
        r = traceCenterline(dib.rec(), TraceSettings {});
    if (!r.ok()) {
        state.SkipWithError("the trace failed");
        return;
    }
    const CenterlineFigures f = measureCenterline(drawing, r.elements);
    state.counters["max"] = f.max;
    state.counters["mean"] = f.mean;
    state.counters["junctions_joined"] = f.junctionsJoined;
    state.counters["junctions_total"] = double(drawing.junctions.size());
    state.counters["open_chains"] = f.open;
    state.counters["open_chains_drawn"] = drawing.openChains;
    state.counters["longest_spur"] = f.longestSpur;
    state.counters["spur_per_width"] = f.spurPerWidth;
    state.counters["longest_missed"] = f.longestMissed;
}

// A look's name as a benchmark name: "grey, blur and noise" becomes "grey_blur_and_noise".
std::string key(const char *name)
{
    std::string out;
    for (const char *c = name; *c; ++c) {
        if (*c == ' ')
            out += '_';
        else if (*c != ',')
            out += *c;
    }
    return out;
}

[[maybe_unused]] const bool registered = [] {
    using Measure = void (*)(benchmark::State &, const Look &);
    const std::pair<const char *, Measure> kinds[] = {
        { "BM_OutlineAccuracy/", outlineAccuracy },
        { "BM_PotraceAccuracy/", potraceAccuracy },
        { "BM_CenterlineAccuracy/", centerlineAccuracy },
    };
    for (const auto &[prefix, run] : kinds) {
        for (const NamedLook &l : looks())
            benchmark::RegisterBenchmark((prefix + key(l.name)).c_str(), run, l.look)
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
