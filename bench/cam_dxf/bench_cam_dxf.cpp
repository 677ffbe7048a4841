// The DXF for CAD and CAM programs of the large mixed drawing the CNC benchmark uses, written to a
// real file as the editor does, with the file size and the peak resident memory of the process
// next to the time; and the arcs it writes against those of the CNC export with 20 pieces per
// curve, which follows no tolerance at all.

#include "../support/MixedDrawing.h"
#include "../support/ProcessMemory.h"
#include "dxf/DXFExport.h"
#include "export/CamDxfExport.h"
#include "export/CncDxfExport.h"

#include <QFileInfo>
#include <QIODevice>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {

CamDxfSettings settings()
{
    CamDxfSettings s;
    s.pictureHeight = 3000;
    return s;
}

void BM_CamDxfExport(benchmark::State &state)
{
    const TElementList &list = benchdrawing::drawing();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.dxf"));
    const double before = benchmemory::resetPeak();
    CamDxfCounts counts;
    for (auto _ : state) {
        if (!savedxfCam(list, settings(), path, &counts).ok)
            state.SkipWithError("export failed");
    }
    const double peak = benchmemory::statusMegabytes("VmHWM");
    const double fileMegabytes = static_cast<double>(QFileInfo(path).size()) / 1E6;
    state.counters["file_MB"] = fileMegabytes;
    state.counters["peak_rss_MB"] = peak;
    state.counters["export_peak_MB"] = peak - before;
    state.counters["rss_limit_MB"] = 2 * fileMegabytes + 50;
    state.counters["arcs"] = static_cast<double>(counts.arcs);
    state.counters["polylines"] = static_cast<double>(counts.polylines);
}

// Counts the arcs of a CNC file as it is written: segments whose vertices carry a bulge other
// than 0 (each segment writes its bulge on both of its vertices).
class BulgeCounter : public QIODevice
{
public:
    BulgeCounter() { open(QIODevice::WriteOnly); }
    qint64 arcs() const { return m_bulgeLines / 2; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        for (qint64 i = 0; i < size; ++i) {
            const char c = data[i];
            if (c == '\r')
                continue;
            if (c != '\n') {
                m_line.push_back(c);
                continue;
            }
            if (m_afterBulgeCode && m_line != "0")
                ++m_bulgeLines;
            m_afterBulgeCode = m_line == "42";
            m_line.clear();
        }
        return size;
    }

private:
    std::string m_line;
    bool m_afterBulgeCode = false;
    qint64 m_bulgeLines = 0;
};

void BM_CncArcsWithTwentyPieces(benchmark::State &state)
{
    TElementList &list = benchdrawing::drawing();
    DxfExportParams params;
    params.pieces = 20;
    qint64 arcs = 0;
    for (auto _ : state) {
        BulgeCounter device;
        CncDxfExport exporter(params, device);
        benchmark::DoNotOptimize(exporter.write(list));
        arcs = device.arcs();
    }
    state.counters["arcs"] = static_cast<double>(arcs);
}

} // namespace

BENCHMARK(BM_CamDxfExport)->Unit(benchmark::kMillisecond)->Iterations(5);
// After the export above, so its text does not raise the peak measured there.
BENCHMARK(BM_CncArcsWithTwentyPieces)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
