// Outline tracing against the potrace command. The sheet is an A4 page of parts at 300 dpi
// (2480 x 3508 pixels, 8-bit grey, anti-aliased); the trace runs from the picture record to
// the elements, grey levels, threshold and refinement included. The potrace command traces the
// same black-and-white bitmap (the picture at the same threshold) from a PBM file, with its
// default settings, started as a process as a user would start it. The centre-line trace runs
// on an A4 line drawing at 300 dpi: a plan of crossing and meeting walls, doors drawn as
// circles and diagonal hatching, strokes 3 to 6 pixels wide.
#include "TraceScene.h"
#include "trace/GreyPicture.h"
#include "trace/Threshold.h"
#include "trace/Trace.h"
#include "trace/TracePreview.h"
#include "trace/TraceTarget.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char **environ;

namespace {

struct Sheet
{
    Dib grey;
    Dib rgb;
    QTemporaryDir dir;
    QByteArray pbm;
    QByteArray eps;
};

Sheet &sheet()
{
    static Sheet *s = [] {
        auto *s = new Sheet;
        const QImage image = trace_scene::paint(trace_scene::a4Sheet(), {});
        s->grey = trace_scene::toDib(image, false);
        s->rgb = Dib::create(image.width(), image.height(), 24);
        for (int y = 0; y < image.height(); ++y) {
            const std::uint8_t *in = image.constScanLine(y);
            std::uint8_t *out =
                s->rgb.rec().Bits + std::size_t(image.height() - 1 - y) * s->rgb.rec().BytesPerLine;
            for (int x = 0; x < image.width(); ++x)
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
        }
        // The bitmap the tracer makes of the picture, as a PBM (1 = ink, rows top-down).
        GreyHistogram h;
        const GreyResult g = makeGreyPicture(s->grey.rec(), {}, {});
        greyHistogram(g.picture.grey, h, {});
        const int t = otsuThreshold(h);
        QByteArray data = QByteArrayLiteral("P4\n") + QByteArray::number(image.width()) + ' '
            + QByteArray::number(image.height()) + '\n';
        const int rowBytes = (image.width() + 7) / 8;
        for (int y = 0; y < image.height(); ++y) {
            QByteArray row(rowBytes, '\0');
            for (int x = 0; x < image.width(); ++x) {
                if (image.constScanLine(y)[x] < t)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
            data += row;
        }
        s->pbm = QFile::encodeName(s->dir.filePath(QStringLiteral("sheet.pbm")));
        s->eps = QFile::encodeName(s->dir.filePath(QStringLiteral("sheet.eps")));
        QFile f(QString::fromLocal8Bit(s->pbm));
        if (f.open(QIODevice::WriteOnly))
            f.write(data);
        return s;
    }();
    return *s;
}

void trace(benchmark::State &state, const Dib &dib, QRect region,
    TraceSettings::Mode mode = TraceSettings::Mode::Outline, bool withPreview = false)
{
    TraceSettings settings;
    settings.region = region;
    settings.mode = mode;
    std::size_t elements = 0;
    for (auto _ : state) {
        const TraceResult r = withPreview
            ? traceTarget(dib.rec(), settings, { TraceTarget::Kind::Region, region, {} })
            : tracePicture(dib.rec(), settings);
        if (!r.ok())
            state.SkipWithError("the trace failed");
        elements = r.elements.size();
        benchmark::DoNotOptimize(r.elements.data());
        if (withPreview) {
            const QPainterPath path = tracePreviewPath(r.elements);
            benchmark::DoNotOptimize(path.elementCount());
        }
    }
    state.counters["elements"] = double(elements);
}

void BM_TraceOutlineA4(benchmark::State &state)
{
    trace(state, sheet().grey, {});
}

void BM_TraceOutlineA4Rgb(benchmark::State &state)
{
    trace(state, sheet().rgb, {});
}

// A 1000 x 1000 region, as the editor traces one the user drags: from release to the outline
// the preview paints, which the editor makes on the worker thread too.
void BM_TraceOutlineRegion1000(benchmark::State &state)
{
    trace(state, sheet().grey, QRect(700, 1200, 1000, 1000), TraceSettings::Mode::Outline, true);
}

Dib lineDrawingA4()
{
    using trace_scene::Stroke;
    std::vector<Stroke> strokes;
    const auto line = [&](QPointF a, QPointF b, double width) {
        strokes.push_back({ QPolygonF({ a, b }), width });
    };
    for (int i = 0; i < 17; ++i)
        line({ 100.5, 150.3 + i * 200.2 }, { 2380.5, 150.3 + i * 200.2 }, 5);
    for (int j = 0; j < 10; ++j)
        line({ 120.4 + j * 250.7, 150.3 + (j % 2) * 200.2 }, { 120.4 + j * 250.7, 3353.5 }, 4);
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 9; ++j) {
            const QPointF cell(120.4 + j * 250.7, 150.3 + i * 200.2);
            if ((i + j) % 3 == 0) {
                QPolygonF circle;
                for (int k = 0; k < 720; ++k)
                    circle << cell
                            + QPointF(125.3 + 50 * std::cos(k * M_PI / 360),
                                100.1 + 50 * std::sin(k * M_PI / 360));
                strokes.push_back({ circle, 4, true });
            } else if ((i + j) % 3 == 1) {
                for (int k = 1; k < 4; ++k)
                    line(cell + QPointF(40 + 50 * k, 30), cell + QPointF(10 + 50 * k, 170), 3);
            } else {
                line(cell + QPointF(40, 100.4), cell + QPointF(200, 100.4), 6);
            }
        }
    }
    return trace_scene::toDib(trace_scene::paint(strokes, 2480, 3508, {}), false);
}

void BM_TraceCenterlineA4(benchmark::State &state)
{
    static const Dib drawing = lineDrawingA4();
    trace(state, drawing, {}, TraceSettings::Mode::Centerline);
}

void BM_PotraceCommandA4(benchmark::State &state)
{
    Sheet &s = sheet();
    char program[] = "potrace";
    char output[] = "-o";
    char *argv[] = { program, s.pbm.data(), output, s.eps.data(), nullptr };
    rusage before {}, after {};
    getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawnp(&pid, "potrace", nullptr, nullptr, argv, environ) != 0
            || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the potrace command is not installed or failed");
            break;
        }
    }
    // The processor time of the command itself, to compare with the trace's on a busy machine.
    getrusage(RUSAGE_CHILDREN, &after);
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    const double cpu =
        ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime);
    state.counters["cpu_ms"] = state.iterations() ? cpu / double(state.iterations()) : 0;
}

} // namespace

BENCHMARK(BM_TraceOutlineA4)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_PotraceCommandA4)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_TraceOutlineA4Rgb)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_TraceOutlineRegion1000)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_TraceCenterlineA4)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
