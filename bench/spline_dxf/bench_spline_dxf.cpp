// The spline DXF export of a large mixed drawing, written to a real file as the editor does.
// Reports the file size and the peak resident memory of the process next to the time.

#include "export/SplineDxfExport.h"
#include "support/PeakMemory.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <ostream>
#include <streambuf>

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
    if (list.Count() == 0) {
        // The store copies itself into a fresh block at every growth. Kept on the heap
        // instead of in mappings of their own, those blocks reuse memory that was already
        // touched, and building the list no longer costs a page fault per page copied.
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 256 << 20);
        fillMixed(list, 100000);
    }
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
    // The peak is measured from here: memory the process gave back before is returned to the
    // system, and the kernel's high-water mark is set back to what is resident now.
    restartPeak();
    const double before = statusMegabytes("VmRSS");
    for (auto _ : state) {
        const SplineDxfResult result = SplineDxfExport::savedxf(list, params, path);
        if (!result.ok)
            state.SkipWithError("export failed");
    }
    const double peak = statusMegabytes("VmHWM");
    const double fileMegabytes = static_cast<double>(QFileInfo(path).size()) / 1E6;
    state.counters["file_MB"] = fileMegabytes;
    // The whole process at its peak (the drawing and the libraries included), and what the
    // export added to it.
    state.counters["peak_rss_MB"] = peak;
    state.counters["export_peak_MB"] = peak - before;
    state.counters["rss_limit_MB"] = 2 * fileMegabytes + 50;
}

} // namespace

BENCHMARK(BM_SplineDxfToMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SplineDxfExport)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
