// Costs per mouse event of the tool logic: snapping and node selection walk the whole element
// list on every event, and a rubber-band move repaints the drawing into the back buffer.
#include "tools/PointSnapping.h"
#include "tools/StatusReadout.h"
#include "tools/ToolController.h"
#include "tools/ToolHost.h"
#include "view/CanvasPainter.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <benchmark/benchmark.h>
#include <random>

namespace {

// A traced drawing: chains of four short elements (line, quadratic, cubic, line) spread over
// a large picture, none of them within reach of the top-left corner where the benchmarks point.
void fillDrawing(TElementList &list, int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> coord(400, 4000);
    std::uniform_real_distribution<double> step(-40, 40);
    const auto near = [&](TPointD p) { return TPointD { p.x + step(random), p.y + step(random) }; };
    for (int i = 0; i < count; ++i) {
        TDrawElement *e = list.Append();
        *e = {};
        e->ChainPos = i % 4;
        e->Kind = i % 4 == 1 ? KindQuadBezier : i % 4 == 2 ? KindCubicBezier : KindLine;
        e->Start = i % 4 == 0 ? TPointD { coord(random), coord(random) } : list.at(i - 1).End;
        e->End = near(e->Start);
        e->Ctrl1 = near(e->Start);
        e->Ctrl2 = near(e->End);
    }
}

// A host whose repaint either only clears the buffer (the tools' own share of a move) or runs
// the drawing area's painter over every element, without a background picture.
class BenchHost : public ToolHost
{
public:
    explicit BenchHost(bool paintElements)
        : m_paintElements(paintElements)
    {
    }
    TElementList &elements() override { return list; }
    TViewTransform view() const override { return TViewTransform { 25, 0, 0 }; }
    QColor penColor() const override { return Qt::red; }
    double lineWidth() const override { return 3; }
    void repaint() override { benchmark::DoNotOptimize(list.Count()); }
    QImage &repaintBufferOnly() override
    {
        if (!m_paintElements) {
            buffer.fill(Qt::white);
            return buffer;
        }
        TPaintScene scene;
        scene.elements = &list;
        scene.penColor = penColor();
        scene.lineWidth = lineWidth();
        scene.view = view();
        scene.BufferOnly = true;
        PaintBox1Paint(buffer, QSize(1280, 800), scene);
        return buffer;
    }
    void showBuffer() override { }
    bool panActive() const override { return false; }
    void startPan(const ToolEvent &) override { }
    void panStep(const ToolEvent &) override { }
    void endPan() override { }
    void updateHelperLines(const ToolEvent &) override { }

    TDrawElement *cur = nullptr;
    TElementList list { &cur };
    QImage buffer { 1280, 800, QImage::Format_RGB32 };

private:
    bool m_paintElements;
};

ToolEvent eventAt(int x, int y, ToolButton tool)
{
    return makeToolEvent(
        TViewTransform { 25, 0, 0 }, QPoint(x, y), MouseButton::Left, false, false, tool);
}

void BM_SnapMiss(benchmark::State &state)
{
    BenchHost host(false);
    fillDrawing(host.list, static_cast<int>(state.range(0)));
    const QPoint canvas(5, 5);
    for (auto _ : state) {
        TPointD p { 20, 20 };
        benchmark::DoNotOptimize(snapPoint(host.list, canvas, 25, p));
    }
}
BENCHMARK(BM_SnapMiss)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_NodeSelect(benchmark::State &state)
{
    BenchHost host(false);
    fillDrawing(host.list, static_cast<int>(state.range(0)));
    ToolController tools(host);
    const ToolEvent press = eventAt(20, 30, ToolButton::Zeiger1);
    for (auto _ : state)
        tools.PaintBox1MouseDown(press);
}
BENCHMARK(BM_NodeSelect)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_NodeDragStep(benchmark::State &state)
{
    BenchHost host(false);
    fillDrawing(host.list, static_cast<int>(state.range(0)));
    ToolController tools(host);
    // Carrying every chain: the heaviest node drag there is.
    tools.PaintBox1MouseDown(eventAt(0, 0, ToolButton::VerschiebBtn));
    tools.PaintBox1MouseUp(eventAt(1200, 1200, ToolButton::VerschiebBtn));
    int x = 0;
    for (auto _ : state)
        tools.PaintBox1MouseMove(eventAt(x++ % 50, 10, ToolButton::VerschiebBtn));
}
BENCHMARK(BM_NodeDragStep)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A pointer move while a cubic curve is being placed: snapping, the buffer repaint and the
// band. Arg 1 = the host runs the painter over every element, 0 = it only clears the buffer.
void BM_RubberBandMove(benchmark::State &state)
{
    BenchHost host(state.range(1) != 0);
    fillDrawing(host.list, static_cast<int>(state.range(0)));
    ToolController tools(host);
    tools.PaintBox1MouseDown(eventAt(10, 10, ToolButton::Bezier2));
    tools.PaintBox1MouseDown(eventAt(90, 10, ToolButton::Bezier2));
    // The pointer stays where no point is, so snapping walks the whole list every time.
    int x = 0;
    for (auto _ : state)
        tools.PaintBox1MouseMove(eventAt(10 + x++ % 50, 60, ToolButton::Bezier2));
}
BENCHMARK(BM_RubberBandMove)
    ->Args({ 10000, 0 })
    ->Args({ 10000, 1 })
    ->Args({ 100000, 0 })
    ->Unit(benchmark::kMillisecond);

// The status bar's share of a pointer move while a line is drawn: the position, the line's
// length and angle and the hint, formatted afresh for every move.
void BM_StatusReadout(benchmark::State &state)
{
    BenchHost host(false);
    ToolController tools(host);
    tools.PaintBox1MouseDown(eventAt(10, 10, ToolButton::Linie1));
    const ReadoutUnit unit(72 / 25.39995, true);
    const ReadoutWords words;
    int x = 0;
    for (auto _ : state) {
        const ToolEvent move = eventAt(10 + x++ % 50, 60, ToolButton::Linie1);
        tools.drawing().CurPt = move.picture;
        benchmark::DoNotOptimize(statusReadout(tools, move, unit, words));
    }
}
BENCHMARK(BM_StatusReadout)->Unit(benchmark::kMicrosecond);

// An area delete that removes about a tenth of a large drawing, spread over the whole list.
void BM_AreaDelete(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        BenchHost host(false);
        fillDrawing(host.list, static_cast<int>(state.range(0)));
        ToolController tools(host);
        state.ResumeTiming();
        tools.PaintBox1MouseDown(eventAt(100, 100, ToolButton::DelBtn));
        tools.PaintBox1MouseUp(eventAt(400, 400, ToolButton::DelBtn));
        benchmark::DoNotOptimize(host.list.Count());
    }
}
BENCHMARK(BM_AreaDelete)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
