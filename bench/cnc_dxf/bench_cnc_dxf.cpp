// The CNC export of a large mixed drawing, with the closed-form arc choice and with the full
// search over all 1999 candidates, into a device that discards the text (the disk is not what is
// measured here).
#include "document/Chain.h"
#include "dxf/RealFormat.h"
#include "export/CncDxfExport.h"

#include <QIODevice>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <malloc.h>
#include <random>
#include <vector>

namespace {

class NullDevice : public QIODevice
{
public:
    NullDevice() { open(QIODevice::WriteOnly); }
    qint64 written = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        written += size;
        return size;
    }
};

// 100,000 elements in chains of ten, as a traced drawing has them: 40 % lines, 25 % quadratic and
// 25 % cubic curves, 10 % ellipses, on a picture of 4000 x 3000 pixels.
void makeDrawing(TElementList &list, int count)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<double> x(0, 4000), y(0, 3000), step(-40, 40);
    std::uniform_int_distribution<int> kind(0, 19);
    TPointD at { 0, 0 };
    for (int i = 0; i < count; ++i) {
        TDrawElement e;
        std::memset(&e, 0, sizeof e);
        e.ChainPos = i % 10;
        if (e.ChainPos == 0)
            at = { x(random), y(random) };
        e.Start = at;
        e.End = { at.x + step(random), at.y + step(random) };
        e.Ctrl1 = { at.x + step(random), at.y + step(random) };
        e.Ctrl2 = { e.End.x + step(random), e.End.y + step(random) };
        const int k = kind(random);
        e.Kind = k < 8 ? KindLine
            : k < 13   ? KindQuadBezier
            : k < 18   ? KindCubicBezier
                       : KindEllipse;
        e.ClosesChain = e.ChainPos == 9 && k % 2 == 0;
        at = e.End;
        *list.Append() = e;
    }
}

// Built once: the element store grows in blocks of 100 records and copies itself each time, which
// makes building 100,000 elements slower than exporting them.
TElementList &drawing()
{
    static TElementList list;
    if (list.Count() == 0) {
        // The store copies itself into a fresh block at every growth. Kept on the heap
        // instead of in mappings of their own, those blocks reuse memory that was already
        // touched, and building the list no longer costs a page fault per page copied.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        makeDrawing(list, 100000);
    }
    return list;
}

void exportDrawing(benchmark::State &state, CncDxfExport::ArcSearch search,
    CncDxfExport::Threading threading = CncDxfExport::Threading::Automatic)
{
    TElementList &list = drawing();
    DxfExportParams params;
    params.pieces = 4;
    qint64 bytes = 0;
    for (auto _ : state) {
        NullDevice device;
        CncDxfExport exporter(params, device);
        exporter.setArcSearch(search);
        exporter.setThreading(threading);
        benchmark::DoNotOptimize(exporter.write(list));
        bytes = device.written;
    }
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_CncExportClosedForm(benchmark::State &state)
{
    exportDrawing(state, CncDxfExport::ArcSearch::ClosedForm);
}

// The same on one thread: the geometry and the text one after the other.
void BM_CncExportClosedFormOneThread(benchmark::State &state)
{
    exportDrawing(state, CncDxfExport::ArcSearch::ClosedForm, CncDxfExport::Threading::Single);
}

void BM_CncExportLiteralSearch(benchmark::State &state)
{
    exportDrawing(state, CncDxfExport::ArcSearch::Literal);
}

// The number format alone, on coordinates and bulges as the export makes them.
void BM_DxfNumber(benchmark::State &state)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> pixel(0, 4000), angle(0, 1.5);
    const double q = 72 / 25.39995;
    std::vector<double> values;
    for (int i = 0; i < 1 << 20; ++i)
        values.push_back(i % 3 == 2 ? std::tan(angle(random) / 4) : -(pixel(random) / q));
    std::vector<char> text(values.size() * MaxDxfRealLength);
    for (auto _ : state) {
        char *out = text.data();
        for (const double v : values)
            out = writeDxfDouble(out, v);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}

} // namespace

BENCHMARK(BM_DxfNumber)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CncExportClosedForm)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CncExportClosedFormOneThread)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CncExportLiteralSearch)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
