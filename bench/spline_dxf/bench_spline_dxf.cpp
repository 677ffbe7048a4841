// The spline DXF export of a large mixed drawing, written to a real file as the editor does.
// Reports the file size and the peak resident memory of the process next to the time.

#include "export/SplineDxfExport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <ostream>
#include <streambuf>
#include <sys/resource.h>

namespace {

// Chains of ten elements: four lines, two quadratic and three cubic Beziers and an ellipse,
// every chain closed, spread over a picture of about 4000 x 3000 pixels.
void fillMixed(TElementList &list, int count)
{
    TPointD at { 0, 0 };
    for (int i = 0; i < count; ++i) {
        const int slot = i % 10;
        TDrawElement *e = list.Append();
        *e = TDrawElement {};
        e->ChainPos = slot;
        const double angle = i * 0.37;
        const TPointD next { std::fmod(at.x + 37.3 + 20 * std::cos(angle), 4000.0),
            std::fmod(at.y + 11.9 + 20 * std::sin(angle) + 20, 3000.0) };
        e->Start = at;
        e->End = next;
        e->Ctrl1 = { at.x + 7.1, at.y - 13.7 };
        e->Ctrl2 = { next.x - 5.3, next.y + 9.9 };
        if (slot < 4)
            e->Kind = KindLine;
        else if (slot < 6)
            e->Kind = KindQuadBezier;
        else if (slot < 9)
            e->Kind = KindCubicBezier;
        else
            e->Kind = KindEllipse;
        e->ClosesChain = slot == 9 ? 1 : 0;
        at = next;
    }
}

// The drawing is built once: growing the element list by blocks of 100 takes far longer than
// the export itself.
const TElementList &mixedDrawing()
{
    static TElementList list;
    if (list.Count() == 0)
        fillMixed(list, 100000);
    return list;
}

// Counts the bytes and throws them away, to time the export without the disk.
class NullBuffer : public std::streambuf
{
public:
    std::streamsize total = 0;

protected:
    std::streamsize xsputn(const char *, std::streamsize count) override
    {
        total += count;
        return count;
    }
    int_type overflow(int_type ch) override
    {
        ++total;
        return traits_type::not_eof(ch);
    }
};

void BM_SplineDxfToMemory(benchmark::State &state)
{
    const TElementList &list = mixedDrawing();
    DxfExportParams params;
    for (auto _ : state) {
        NullBuffer sink;
        std::ostream stream(&sink);
        if (!SplineDxfExport::write(stream, list, params))
            state.SkipWithError("export failed");
        benchmark::DoNotOptimize(sink.total);
    }
}

void BM_SplineDxfExport(benchmark::State &state)
{
    const TElementList &list = mixedDrawing();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.dxf"));
    DxfExportParams params;
    for (auto _ : state) {
        const SplineDxfResult result = SplineDxfExport::savedxf(list, params, path);
        if (!result.ok)
            state.SkipWithError("export failed");
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double fileMegabytes = static_cast<double>(QFileInfo(path).size()) / 1E6;
    state.counters["file_MB"] = fileMegabytes;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    state.counters["rss_limit_MB"] = 2 * fileMegabytes + 50;
}

} // namespace

BENCHMARK(BM_SplineDxfToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
// Last, so that the peak memory it reports covers both benchmarks.
BENCHMARK(BM_SplineDxfExport)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
