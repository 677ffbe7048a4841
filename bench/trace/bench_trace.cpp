// Outline tracing against the potrace command. The sheet is an A4 page of parts at 300 dpi
// (2480 x 3508 pixels, 8-bit grey, anti-aliased); the trace runs from the picture record to
// the elements, grey levels, threshold and refinement included. The potrace command traces the
// same black-and-white bitmap (the picture at the same threshold) from a PBM file, with its
// default settings, started as a process as a user would start it. The centre-line trace runs
// on an A4 line drawing at 300 dpi: a plan of crossing and meeting walls, doors drawn as
// circles and diagonal hatching, strokes 3 to 6 pixels wide. The memory rows trace the same
// drawing at 600 dpi on an A0 sheet in both modes and report the peak beyond the picture.
#include "ThresholdPbm.h"
#include "TraceScene.h"
#include "support/ProcessMemory.h"
#include "trace/Trace.h"
#include "trace/TracePreview.h"
#include "trace/TraceTarget.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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
        const QByteArray data = thresholdedPbm(image, s->grey);
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

// The plan of the line drawing on an A4 page at 300 dpi, scaled by `scale` and moved by `at`.
std::vector<trace_scene::Stroke> linePlan(double scale, QPointF at)
{
    using trace_scene::Stroke;
    std::vector<Stroke> strokes;
    const auto line = [&](QPointF a, QPointF b, double width) {
        strokes.push_back({ QPolygonF({ at + scale * a, at + scale * b }), scale * width });
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
                    circle << at
                            + scale
                                * (cell
                                    + QPointF(125.3 + 50 * std::cos(k * M_PI / 360),
                                        100.1 + 50 * std::sin(k * M_PI / 360)));
                strokes.push_back({ circle, scale * 4, true });
            } else if ((i + j) % 3 == 1) {
                for (int k = 1; k < 4; ++k)
                    line(cell + QPointF(40 + 50 * k, 30), cell + QPointF(10 + 50 * k, 170), 3);
            } else {
                line(cell + QPointF(40, 100.4), cell + QPointF(200, 100.4), 6);
            }
        }
    }
    return strokes;
}

Dib lineDrawingA4()
{
    return trace_scene::toDib(trace_scene::paint(linePlan(1, {}), 2480, 3508, {}), false);
}

void BM_TraceCenterlineA4(benchmark::State &state)
{
    static const Dib drawing = lineDrawingA4();
    trace(state, drawing, {}, TraceSettings::Mode::Centerline);
}

// An A0 sheet scanned at 600 dpi (19866 x 28087 pixels, 8-bit grey): the A4 drawing at twice
// the resolution, four by four times. It is painted straight into the picture's rows, which
// the tracer reads without a copy, so the picture is held once.
const Dib &lineDrawingA0()
{
    static const Dib *drawing = [] {
        constexpr int Width = 19866, Height = 28087;
        TBitmapInfo grey {};
        for (int i = 0; i < 256; ++i)
            grey.bmiColors[i] = { std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0 };
        auto *dib = new Dib(Dib::create(Width, Height, 8, &grey, 256));
        std::vector<trace_scene::Stroke> strokes;
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                const std::vector<trace_scene::Stroke> tile =
                    linePlan(2, QPointF(i * 4960 + 10, j * 7016 + 20));
                strokes.insert(strokes.end(), tile.begin(), tile.end());
            }
        }
        QImage rows(
            dib->rec().Bits, Width, Height, dib->rec().BytesPerLine, QImage::Format_Grayscale8);
        trace_scene::paintInto(rows, strokes, {});
        return dib;
    }();
    return *drawing;
}

// The same sheet as a 1-bit scan (66 MB), which the tracer converts to grey.
const Dib &lineDrawingA0OneBit()
{
    static const Dib *drawing = [] {
        const TDibRec &grey = lineDrawingA0().rec();
        const int width = grey.BitmapInfo->bmiHeader.biWidth;
        const int height = grey.BitmapInfo->bmiHeader.biHeight;
        TBitmapInfo blackWhite {};
        blackWhite.bmiColors[1] = { 255, 255, 255, 0 };
        auto *dib = new Dib(Dib::create(width, height, 1, &blackWhite, 2));
        for (int y = 0; y < height; ++y) {
            const std::uint8_t *in = grey.Bits + std::size_t(y) * grey.BytesPerLine;
            std::uint8_t *out = dib->rec().Bits + std::size_t(y) * dib->rec().BytesPerLine;
            for (int x = 0; x < width; ++x) {
                if (in[x] >= 128)
                    out[x >> 3] |= std::uint8_t(0x80 >> (x & 7));
            }
        }
        return dib;
    }();
    return *drawing;
}

// Memory of a whole-picture trace of the A0 sheet beyond the picture: the process's peak while
// tracing less what it held before (the picture, the libraries and the other sheets). One run
// only: it is heavy.
void traceMemoryA0(benchmark::State &state, TraceSettings::Mode mode, const Dib &drawing)
{
    TraceSettings settings;
    settings.mode = mode;
    std::size_t elements = 0;
    double before = 0;
    for (auto _ : state) {
        before = benchmemory::resetPeak();
        const TraceResult r = tracePicture(drawing.rec(), settings);
        if (!r.ok())
            state.SkipWithError("the trace failed");
        elements = r.elements.size();
    }
    const double peak = benchmemory::statusMegabytes("VmHWM");
    state.counters["elements"] = double(elements);
    state.counters["picture_MB"] = double(drawing.rec().BytesPerLine)
        * double(drawing.rec().BitmapInfo->bmiHeader.biHeight) / (1024.0 * 1024.0);
    state.counters["before_MB"] = before;
    state.counters["peak_rss_MB"] = peak;
    state.counters["trace_peak_MB"] = peak - before;
}

void BM_TraceCenterlineA0Memory(benchmark::State &state)
{
    traceMemoryA0(state, TraceSettings::Mode::Centerline, lineDrawingA0());
}

void BM_TraceOutlineA0Memory(benchmark::State &state)
{
    traceMemoryA0(state, TraceSettings::Mode::Outline, lineDrawingA0());
}

void BM_TraceCenterlineA0OneBitMemory(benchmark::State &state)
{
    traceMemoryA0(state, TraceSettings::Mode::Centerline, lineDrawingA0OneBit());
}

void BM_TraceOutlineA0OneBitMemory(benchmark::State &state)
{
    traceMemoryA0(state, TraceSettings::Mode::Outline, lineDrawingA0OneBit());
}

void BM_PotraceCommandA4(benchmark::State &state)
{
    Sheet &s = sheet();
    rusage before {}, after {};
    getrusage(RUSAGE_CHILDREN, &before);
    for (auto _ : state) {
        if (!runPotrace({ "potrace", s.pbm, "-o", s.eps })) {
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
BENCHMARK(BM_TraceCenterlineA0Memory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_TraceOutlineA0Memory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_TraceCenterlineA0OneBitMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_TraceOutlineA0OneBitMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
