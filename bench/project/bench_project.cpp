// Saving and opening a large project next to copying a file of the same size, so the project
// file's throughput can be read as a share of what the disk gives in the same run.
#include "document/ProjectFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

struct Fixture
{
    QTemporaryDir dir;
    TElementList list;
    Dib picture;
    QString projectPath;
    qint64 projectBytes = 0;

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
        projectPath = dir.filePath(QStringLiteral("big.lvx"));
        saveProjectFile(projectPath, list, picture.rec(), 0xFF, 3);
        projectBytes = QFile(projectPath).size();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_SaveProject(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString target = f.dir.filePath(QStringLiteral("saved.lvx"));
    for (auto _ : state) {
        if (!saveProjectFile(target, f.list, f.picture.rec(), 0xFF, 3))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
}

void BM_OpenProject(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        ProjectLoad load = loadProjectFile(f.projectPath);
        if (!load.result.ok)
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(load.result.contents.elements.data());
    }
    state.SetBytesProcessed(state.iterations() * f.projectBytes);
}

// The reference: QFile::copy of a file of the same size, which reads and writes every byte,
// followed by an fsync, since a project save also waits until its data is on the disk.
void BM_CopyFileOfSameSize(benchmark::State &state)
{
    Fixture &f = fixture();
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

} // namespace

BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CopyFileOfSameSize)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK_MAIN();
