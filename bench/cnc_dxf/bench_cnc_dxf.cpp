// The CNC export of a large mixed drawing, with the closed-form arc choice and with the full
// search over all 1999 candidates, into a device that discards the text (the disk is not what is
// measured here).
#include "../support/MixedDrawing.h"
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

using benchdrawing::drawing;

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
