// Saving and opening a large project next to copying a file of the same size, so the project
// file's throughput can be read as a share of what the disk gives in the same run.
#include "document/ElementIndex.h"
#include "document/ProjectFile.h"
#include "document/UndoHistory.h"
#include "support/A0Drawing.h"
#include "support/ProcessMemory.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// A drawing with its picture, saved once as the project the benchmarks open and copy.
struct ProjectFixture
{
    QTemporaryDir dir;
    TElementList list;
    Dib picture;
    QString projectPath;
    qint64 projectBytes = 0;

    void write(const QString &name)
    {
        projectPath = dir.filePath(name);
        saveProjectFile(projectPath, list, picture.rec(), 0xFF, 3);
        projectBytes = QFile(projectPath).size();
    }
};

void saveProject(benchmark::State &state, ProjectFixture &f)
{
    const QString target = f.dir.filePath(QStringLiteral("saved.lvx"));
    for (auto _ : state) {
        if (!saveProjectFile(target, f.list, f.picture.rec(), 0xFF, 3))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
}

// The reference: QFile::copy of a file of the same size, which reads and writes every byte,
// followed by an fsync, since a project save also waits until its data is on the disk.
void copyFileOfSameSize(benchmark::State &state, ProjectFixture &f)
{
    const QString target = f.dir.filePath(QStringLiteral("copy.lvx"));
    for (auto _ : state) {
        QFile::remove(target);
        if (!QFile::copy(f.projectPath, target))
            state.SkipWithError("copy failed");
        const int fd = ::open(QFile::encodeName(target).constData(), O_RDONLY);
        ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
}

struct Fixture : ProjectFixture
{
    Fixture()
    {
        picture = Dib::create(4960, 7016, 24);
        const TDibRec &r = picture.rec();
        for (int y = 0; y < 7016; ++y)
            std::memset(
                r.Bits + static_cast<std::size_t>(y) * r.BytesPerLine, y & 0xFF, r.BytesPerLine);
        for (int i = 0; i < 100000; ++i) {
            TDrawElement *e = list.Append();
            *e = {};
            e->ChainPos = i % 10;
            e->Kind = i % 4 == 3 ? KindEllipse : i % 3;
            e->Start = { double(i % 4960), double(i % 7016) };
            e->End = { e->Start.x + 5, e->Start.y + 7 };
        }
        write(QStringLiteral("big.lvx"));
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_SaveProject(benchmark::State &state)
{
    saveProject(state, fixture());
}

void BM_OpenProject(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        ProjectLoad load = loadProjectFile(f.projectPath);
        if (!load.result.ok)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(load.result.contents.elements->Count());
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
}

void BM_CopyFileOfSameSize(benchmark::State &state)
{
    copyFileOfSameSize(state, fixture());
}

// A project of a million elements on an A0 sheet, without a picture, so that what the editor
// holds besides the element store shows plainly.
struct A0Fixture : ProjectFixture
{
    A0Fixture()
    {
        picture = Dib::create(1, 1, 24);
        benchdrawing::makeA0Drawing(list, 1000000);
        write(QStringLiteral("a0.lvx"));
    }
};

A0Fixture &a0()
{
    static A0Fixture f;
    return f;
}

void BM_SaveProjectA0(benchmark::State &state)
{
    saveProject(state, a0());
}

// Opening as the window does it: the file is read and checked straight into a fresh element
// store, which becomes the document's, the undo history takes the drawing as its starting state
// and the element index is built. The counters give the time of each of those steps and what
// the process holds at the end and at its peak besides the element store, measured from before
// the open; the read's own peak is taken before the history and the index exist.
void BM_OpenProjectA0(benchmark::State &state)
{
    A0Fixture &f = a0();
    const double storeMB = static_cast<double>(f.projectBytes) / (1024.0 * 1024.0);
    double readPeakBesides = 0, peakBesides = 0, residentBesides = 0;
    double readMs = 0, historyMs = 0, indexMs = 0;
    using Clock = std::chrono::steady_clock;
    const auto msSince = [](Clock::time_point start) {
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    for (auto _ : state) {
        state.PauseTiming();
        const double before = benchmemory::resetPeak();
        state.ResumeTiming();
        const auto t0 = Clock::now();
        std::unique_ptr<TElementList> list;
        UndoHistory history;
        ElementIndex index;
        {
            ProjectLoad load = loadProjectFile(f.projectPath);
            if (!load.result.ok)
                state.SkipWithError("open failed");
            list = std::move(load.result.contents.elements);
        }
        readMs = msSince(t0);
        state.PauseTiming();
        readPeakBesides = benchmemory::statusMegabytes("VmHWM") - before - storeMB;
        state.ResumeTiming();
        const auto t1 = Clock::now();
        history.reset(*list, 0xFF, 3);
        historyMs = msSince(t1);
        const auto t2 = Clock::now();
        index.rebuild(*list);
        indexMs = msSince(t2);
        state.PauseTiming();
        peakBesides = benchmemory::statusMegabytes("VmHWM") - before - storeMB;
        residentBesides = benchmemory::statusMegabytes("VmRSS") - before - storeMB;
        list.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
    state.counters["read_peak_besides_store_MB"] = readPeakBesides;
    state.counters["peak_besides_store_MB"] = peakBesides;
    state.counters["resident_besides_store_MB"] = residentBesides;
    state.counters["read_ms"] = readMs;
    state.counters["history_reset_ms"] = historyMs;
    state.counters["index_rebuild_ms"] = indexMs;
}

void BM_CopyFileOfSameSizeA0(benchmark::State &state)
{
    copyFileOfSameSize(state, a0());
}

} // namespace

BENCHMARK(BM_SaveProjectA0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OpenProjectA0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CopyFileOfSameSizeA0)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CopyFileOfSameSize)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_MAIN();
