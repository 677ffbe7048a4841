// Repaints of the drawing area as the editor does them: a 1600 x 1000 back buffer with an
// A4 page scanned at 600 dpi (4960 x 7016, 24 bits) behind it, at the zooms a user reaches,
// and with large drawings on top.

#include "document/ElementIndex.h"
#include "support/A0Drawing.h"
#include "view/CanvasPainter.h"
#include "view/DrawingTiles.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <random>

namespace {

const QSize Area(1600, 1000);

const Dib &scannedPage()
{
    static const Dib page = [] {
        Dib dib = Dib::create(4960, 7016, 24);
        const TDibRec &r = dib.rec();
        for (int y = 0; y < 7016; ++y) {
            std::uint8_t *row = r.Bits + static_cast<std::ptrdiff_t>(y) * r.BytesPerLine;
            for (int x = 0; x < 4960 * 3; ++x)
                row[x] = static_cast<std::uint8_t>((x * 7 + y * 13) >> 3);
        }
        return dib;
    }();
    return page;
}

// Chains of ten mixed segments (lines, quadratic and cubic curves, an ellipse now and then),
// every fourth chain closed, spread over the visible area.
void fillDrawing(TElementList &list, int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> x(0, Area.width()), y(0, Area.height());
    TPointD last {};
    for (int i = 0; i < count; ++i) {
        TDrawElement &e = *list.Append();
        std::memset(&e, 0, sizeof e);
        e.ChainPos = i % 10;
        const TPointD start = e.ChainPos == 0 ? TPointD { x(random), y(random) } : last;
        const TPointD end { std::clamp(start.x + x(random) / 20 - 40, 0.0, 1600.0),
            std::clamp(start.y + y(random) / 12 - 40, 0.0, 1000.0) };
        e.Start = start;
        e.End = end;
        e.Ctrl1 = { (start.x + end.x) / 2 + 15, start.y };
        e.Ctrl2 = { end.x, (start.y + end.y) / 2 - 15 };
        const int kinds[] = { KindLine, KindQuadBezier, KindCubicBezier, KindLine, KindEllipse };
        e.Kind = kinds[i % 5];
        e.ClosesChain = (e.ChainPos == 9 && (i / 10) % 4 == 0) ? 1 : 0;
        last = end;
    }
}

// A repaint as the window makes it while the view stays put (a line following the mouse, the
// crosshair, a new element): the ground with the picture is kept between paints.
void BM_RepaintPicture(benchmark::State &state)
{
    static const Dib &page = scannedPage();
    TPictureLayer layer;
    TPaintScene scene;
    scene.picture = &page.rec();
    scene.pictureSerial = page.serial();
    scene.pictureLayer = &layer;
    scene.view.zoom = static_cast<double>(state.range(0));
    QImage buffer;
    PaintBox1Paint(buffer, Area, scene);
    for (auto _ : state) {
        PaintBox1Paint(buffer, Area, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
}
// The zooms a user reaches, from a whole page on the screen to single pixels as blocks.
void atEveryZoom(benchmark::internal::Benchmark *b)
{
    b->ArgName("zoom")->Arg(10)->Arg(100)->Arg(1000)->Arg(30000);
    b->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
}
BENCHMARK(BM_RepaintPicture)->Apply(atEveryZoom);

// The first paint after the view changed (a zoom, a scroll): the picture is scaled afresh.
void BM_ScalePicture(benchmark::State &state)
{
    TPaintScene scene;
    scene.picture = &scannedPage().rec();
    scene.view.zoom = static_cast<double>(state.range(0));
    QImage buffer;
    for (auto _ : state) {
        PaintBox1Paint(buffer, Area, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
}
BENCHMARK(BM_ScalePicture)->Apply(atEveryZoom);

void BM_RepaintDrawing(benchmark::State &state)
{
    TElementList list;
    fillDrawing(list, static_cast<int>(state.range(0)));
    TPictureLayer layer;
    TPaintScene scene;
    scene.picture = &scannedPage().rec();
    scene.pictureSerial = scannedPage().serial();
    scene.pictureLayer = &layer;
    scene.elements = &list;
    scene.view.zoom = 100;
    QImage buffer;
    for (auto _ : state) {
        PaintBox1Paint(buffer, Area, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
}
BENCHMARK(BM_RepaintDrawing)
    ->ArgName("elements")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// A traced A0 plan: chains of ten short mixed segments spread evenly over an A0 sheet scanned
// at 600 dpi (19866 x 28087 picture pixels), without the scan itself, which alone would take
// 1.6 GB.
const TElementList &a0Drawing(int count)
{
    static std::map<int, std::unique_ptr<TElementList>> made;
    std::unique_ptr<TElementList> &list = made[count];
    if (!list) {
        list = std::make_unique<TElementList>();
        std::mt19937 random(24);
        std::uniform_real_distribution<double> x(0, 19866), y(0, 28087), step(-30, 30);
        TPointD at {};
        for (int i = 0; i < count; ++i) {
            TDrawElement &e = *list->Append();
            std::memset(&e, 0, sizeof e);
            e.ChainPos = i % 10;
            if (e.ChainPos == 0)
                at = { x(random), y(random) };
            e.Start = at;
            e.End = { at.x + step(random), at.y + step(random) };
            e.Ctrl1 = { at.x + step(random), at.y + step(random) };
            e.Ctrl2 = { e.End.x + step(random), e.End.y + step(random) };
            const int kinds[] = { KindLine, KindQuadBezier, KindCubicBezier, KindLine,
                KindEllipse };
            e.Kind = kinds[i % 5];
            e.ClosesChain = (e.ChainPos == 9 && (i / 10) % 4 == 0) ? 1 : 0;
            at = e.End;
        }
    }
    return *list;
}

// Processor time of all threads, which the painting shares out: on a busy machine the wall
// time of a step mostly waits for a processor.
double processCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Steps of the view over the A0 drawing at zoom 100 as the window paints them, the tiles kept
// from one step to the next. The time is the mean step; worst_ms is the slowest step (worst_cpu_ms its processor time), one that
// brings a new row (and for the pan a new column) of tiles into view. dx, dy: one wheel step
// down, or one pan step of the mouse down and to the right.
void viewSteps(benchmark::State &state, int dx, int dy)
{
    TPaintScene scene;
    scene.elements = &a0Drawing(static_cast<int>(state.range(0)));
    ElementIndex index;
    index.rebuild(*scene.elements);
    scene.elementIndex = &index;
    scene.view = { 100, -10000, -10000 };
    TDrawingTiles tiles;
    QImage buffer;
    tiles.paint(buffer, Area, scene);
    double worst = 0;
    double worstCpu = 0;
    for (auto _ : state) {
        if (scene.view.scrollY + dy > 10000 || scene.view.scrollX + dx > 10000) {
            // The end of the scroll range: on to fresh ground for the next sweep.
            state.PauseTiming();
            scene.view.scrollY = -10000;
            scene.view.scrollX =
                scene.view.scrollX + 2000 > 10000 ? -10000 : scene.view.scrollX + 2000;
            tiles.paint(buffer, Area, scene);
            state.ResumeTiming();
        }
        scene.view.scrollX += dx;
        scene.view.scrollY += dy;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = processCpuMs();
        tiles.paint(buffer, Area, scene);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        worst = std::max(worst, took.count());
        worstCpu = std::max(worstCpu, processCpuMs() - cpuStart);
        benchmark::DoNotOptimize(buffer.constBits());
    }
    state.counters["worst_ms"] = worst;
    state.counters["worst_cpu_ms"] = worstCpu;
    state.counters["tiles"] = static_cast<double>(tiles.tileCount());
}

void BM_WheelStep(benchmark::State &state)
{
    viewSteps(state, 0, 20);
}
void BM_PanStep(benchmark::State &state)
{
    viewSteps(state, 15, 9);
}
void onA0(benchmark::internal::Benchmark *b)
{
    b->ArgName("elements")->Arg(100000)->Arg(1000000);
    b->Unit(benchmark::kMillisecond)->Iterations(300);
}
BENCHMARK(BM_WheelStep)->Apply(onA0);
BENCHMARK(BM_PanStep)->Apply(onA0);

// The first paint after opening the A0 drawing: no tile is there yet.
void BM_FirstPaint(benchmark::State &state)
{
    TPaintScene scene;
    scene.elements = &a0Drawing(static_cast<int>(state.range(0)));
    ElementIndex index;
    index.rebuild(*scene.elements);
    scene.elementIndex = &index;
    scene.view = { 100, 0, 0 };
    QImage buffer;
    for (auto _ : state) {
        TDrawingTiles tiles;
        tiles.paint(buffer, Area, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
}
BENCHMARK(BM_FirstPaint)
    ->ArgName("elements")
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

namespace {

// A view change of a large drawing on an A0 sheet, with the editor's element index: each
// iteration paints a view the previous one did not (the zoom or the scroll moved), so nothing
// of the last paint can be reused but the index. Arguments: elements, zoom in percent.
void BM_ViewChangeA0(benchmark::State &state)
{
    static TElementList list;
    static ElementIndex index;
    if (list.Count() != static_cast<std::uint32_t>(state.range(0))) {
        list.Clear();
        benchdrawing::makeA0Drawing(list, static_cast<int>(state.range(0)));
    }
    TPaintScene scene;
    scene.elements = &list;
    scene.elementIndex = &index;
    scene.ShowPicCheck = false;
    const double zoom = static_cast<double>(state.range(1));
    // The view goes round the sheet, so that every paint shows another part of it.
    const int width = static_cast<int>(benchdrawing::A0Width * zoom / 100);
    const int height = static_cast<int>(benchdrawing::A0Height * zoom / 100);
    QImage buffer;
    PaintBox1Paint(buffer, Area, scene);
    int step = 0;
    const double cpuStart = processCpuMs();
    for (auto _ : state) {
        ++step;
        scene.view.zoom = zoom + (step % 2) * 0.001 * zoom;
        scene.view.scrollX = std::max(0, width - Area.width()) * (step % 7) / 7;
        scene.view.scrollY = std::max(0, height - Area.height()) * (step % 5) / 5;
        PaintBox1Paint(buffer, Area, scene);
        benchmark::DoNotOptimize(buffer.constBits());
    }
    // The processor time of all painting threads together, which on a machine shared with
    // other work tells more than the wall time.
    state.counters["all_cpu_ms"] = (processCpuMs() - cpuStart) / static_cast<double>(step);
}
BENCHMARK(BM_ViewChangeA0)
    ->ArgNames({ "elements", "zoom" })
    ->ArgsProduct({ { 100000, 1000000 }, { 10, 100, 1000, 30000 } })
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Building the index for a million elements, as after opening a project or a bulk change.
void BM_RebuildIndexA0(benchmark::State &state)
{
    TElementList list;
    benchdrawing::makeA0Drawing(list, 1000000);
    ElementIndex index;
    for (auto _ : state) {
        index.rebuild(list);
        benchmark::DoNotOptimize(index.bytes());
    }
    state.counters["index_MB"] = static_cast<double>(index.bytes()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_RebuildIndexA0)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
