// Costs per mouse event of the tool logic: snapping and node selection walk the whole element
// list on every event, and a rubber-band move repaints the drawing into the back buffer.
#include "document/ElementIndex.h"
#include "document/UndoHistory.h"
#include "support/A0Drawing.h"
#include "tools/PointSnapping.h"
#include "tools/StatusReadout.h"
#include "tools/ToolController.h"
#include "tools/ToolHost.h"
#include "view/CanvasPainter.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <memory>
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

    ElementIndex *elementIndex() override { return indexed ? &index : nullptr; }

    TDrawElement *cur = nullptr;
    TElementList list { &cur };
    QImage buffer { 1280, 800, QImage::Format_RGB32 };
    ElementIndex index;
    bool indexed = false;

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

// The same tools on a million elements spread over an A0 sheet, with the editor's element
// index, viewed at 25 % so that the drawing area spans the sheet's width. The index is built
// before the clock starts, as the window builds it when the project opens.
namespace a0 {

constexpr int Elements = 1000000;

struct Setup
{
    BenchHost host { false };
    ToolController tools { host };
    Setup()
    {
        host.indexed = true;
        benchdrawing::makeA0Drawing(host.list, Elements);
        host.index.rebuild(host.list);
    }
};

Setup &shared()
{
    static Setup setup;
    return setup;
}

// A press point on the joint of two elements of some chain, in drawing-area pixels at 25 %.
QPoint jointOnScreen(const TElementList &list, std::int32_t i)
{
    const TPointD p = list.at(i).End;
    return QPoint(static_cast<int>(std::lround(p.x / 4)), static_cast<int>(std::lround(p.y / 4)));
}

void BM_SnapMissA0(benchmark::State &state)
{
    Setup &s = shared();
    for (auto _ : state) {
        TPointD p { 20, 20 };
        benchmark::DoNotOptimize(snapPoint(s.host.list, QPoint(2, 3), 25, p, &s.host.index));
    }
}
BENCHMARK(BM_SnapMissA0)->Unit(benchmark::kMicrosecond);

void BM_NodeSelectA0(benchmark::State &state)
{
    Setup &s = shared();
    std::int32_t i = 0;
    for (auto _ : state) {
        const QPoint at = jointOnScreen(s.host.list, (i += 7919) % Elements);
        s.tools.PaintBox1MouseDown(eventAt(at.x(), at.y(), ToolButton::Zeiger1));
        s.tools.PaintBox1MouseUp(eventAt(at.x(), at.y(), ToolButton::Zeiger1));
    }
}
BENCHMARK(BM_NodeSelectA0)->Unit(benchmark::kMicrosecond);

// A step of dragging a joint: the two points move and the index follows them.
void BM_NodeDragStepA0(benchmark::State &state)
{
    Setup &s = shared();
    const QPoint at = jointOnScreen(s.host.list, 500001);
    s.tools.PaintBox1MouseDown(eventAt(at.x(), at.y(), ToolButton::Zeiger1));
    int x = 0;
    for (auto _ : state) {
        s.tools.PaintBox1MouseMove(eventAt(at.x() + x++ % 50, at.y(), ToolButton::Zeiger1));
        TPointD p {};
        benchmark::DoNotOptimize(snapPoint(s.host.list, at, 25, p, &s.host.index));
    }
    s.tools.PaintBox1MouseUp(eventAt(at.x(), at.y(), ToolButton::Zeiger1));
}
BENCHMARK(BM_NodeDragStepA0)->Unit(benchmark::kMicrosecond);

// The top tenth of the sheet, at 25 %.
constexpr int AreaRight = 4967;
constexpr int AreaBottom = 702;

// An area delete of a tenth of the sheet and its undo (with the checkpoint between them that the
// window takes), each followed by a query of the index, which the painter needs current next:
// the tool and the undo tell it what they changed, as in the window.
void BM_AreaDeleteTenthA0(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<Setup>();
        Dib picture;
        std::uint32_t pen = 0xFF;
        double width = 3;
        UndoHistory history;
        history.reset(s->host.list, pen, width);
        state.ResumeTiming();
        s->tools.PaintBox1MouseDown(eventAt(0, 0, ToolButton::DelBtn));
        s->tools.PaintBox1MouseUp(eventAt(AreaRight, AreaBottom, ToolButton::DelBtn));
        s->host.index.query(s->host.list, { 0, 0, 1, 1 });
        state.PauseTiming();
        state.counters["deleted"] = Elements - static_cast<double>(s->host.list.Count());
        const auto clock = std::chrono::steady_clock::now;
        auto t0 = clock();
        history.checkpoint(s->host.list, pen, width);
        state.counters["checkpoint_ms"] =
            std::chrono::duration<double, std::milli>(clock() - t0).count();
        t0 = clock();
        history.undo(UndoDocument { s->host.list, picture, pen, width, nullptr, &s->host.index });
        s->host.index.query(s->host.list, { 0, 0, 1, 1 });
        state.counters["undo_ms"] = std::chrono::duration<double, std::milli>(clock() - t0).count();
        s.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AreaDeleteTenthA0)->Unit(benchmark::kMillisecond)->Iterations(1);

// Picking up the chains of a tenth of the sheet with the area move tool.
void BM_AreaMovePickUpTenthA0(benchmark::State &state)
{
    Setup &s = shared();
    for (auto _ : state) {
        s.tools.PaintBox1MouseDown(eventAt(0, 0, ToolButton::VerschiebBtn));
        s.tools.PaintBox1MouseUp(eventAt(AreaRight, AreaBottom, ToolButton::VerschiebBtn));
        state.PauseTiming();
        s.tools.PaintBox1MouseUp(eventAt(AreaRight, AreaBottom, ToolButton::Zeiger1));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AreaMovePickUpTenthA0)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace a0

} // namespace
