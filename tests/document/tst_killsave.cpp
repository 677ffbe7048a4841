// Saves that are killed outright. A user's machine can lose the program at any instant (the
// session ends, the out-of-memory killer strikes); the file on disk must then still be the
// whole previous version or the whole new one, never a mixture or a stub.
#include "document/ProjectFile.h"
#include "export/CncDxfExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using linovex::test::readFile;

namespace {

// One kind of file that the program keeps, in two versions that the saves alternate between.
struct Target
{
    const char *name;
    std::function<bool(const QString &path, int version)> save;
};

struct Outcome
{
    int kills = 0; // children stopped by SIGKILL before they exited
    int killsWhileWriting = 0; // of those, kills of a child that had a file open in the folder
    int finished = 0; // children that completed their save before the kill came
    int strayFiles = 0;
};

// Whether process `pid` has a file of `folder` open: a save that has started and not ended.
bool writingInto(pid_t pid, const QString &folder)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString &fd :
        fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)).startsWith(folder + QLatin1Char('/')))
            return true;
    }
    return false;
}

struct ChildEnd
{
    int status = -1;
    bool wasWriting = false;
};

// Runs `save` in a child process; the child is killed after `delay` unless it has finished
// by then. A negative delay waits for the child to finish.
ChildEnd saveInChild(
    const Target &target, const QString &path, int version, std::chrono::microseconds delay)
{
    ChildEnd end;
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(target.save(path, version) ? 0 : 1);
    if (child < 0)
        return end;
    if (delay.count() >= 0) {
        std::this_thread::sleep_for(delay);
        end.wasWriting = writingInto(child, QFileInfo(path).absolutePath());
        ::kill(child, SIGKILL);
    }
    ::waitpid(child, &end.status, 0);
    return end;
}

bool exitedWell(const ChildEnd &end)
{
    return WIFEXITED(end.status) && WEXITSTATUS(end.status) == 0;
}

// The saves go to memory-backed storage where there is some: a killed process leaves its
// files the same way on any file system, and there the kills land on the writing rather than
// on the wait for a busy disk to confirm it.
QString scratchTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    if (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable())
        return shm + QStringLiteral("/linovex-kill-XXXXXX");
    return {};
}

std::string_view view(const QByteArray &bytes)
{
    return { bytes.constData(), static_cast<std::size_t>(bytes.size()) };
}

// Reads a file into one buffer, allocated and touched once: the file is read after every kill,
// and filling fresh memory each time would cost more than the save being tested.
class FileReader
{
public:
    explicit FileReader(qsizetype largest)
        : m_buffer(static_cast<std::size_t>(largest) + 1, '\0')
    {
    }
    // The file's bytes, or as many as fit when it is larger than the largest expected file
    // (which is then no version either).
    std::string_view read(const QString &path)
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        std::size_t got = 0;
        if (fd >= 0) {
            ssize_t n = 0;
            while (got < m_buffer.size()
                && (n = ::read(fd, m_buffer.data() + got, m_buffer.size() - got)) > 0)
                got += static_cast<std::size_t>(n);
            ::close(fd);
        }
        return { m_buffer.data(), got };
    }

private:
    std::vector<char> m_buffer;
};

// Files beside the target other than the target itself: what killed saves left behind.
QStringList strays(const QDir &dir, const QString &targetName)
{
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    names.removeAll(targetName);
    return names;
}

// Kills saves of `target` at random moments within the time a whole save takes until `wanted`
// of them were killed before they ended, and checks the file after each one against the two
// complete versions.
Outcome killRepeatedly(const Target &target, int wanted, std::uint32_t seed)
{
    Outcome outcome;
    const QString scratch = scratchTemplate();
    QTemporaryDir dir = scratch.isEmpty() ? QTemporaryDir() : QTemporaryDir(scratch);
    EXPECT_TRUE(dir.isValid());
    const QString name = QString::fromLatin1(target.name);
    const QString path = dir.filePath(name);

    QByteArray versions[2];
    for (int v = 0; v < 2; ++v) {
        EXPECT_TRUE(target.save(path, v));
        versions[v] = readFile(path);
    }
    EXPECT_NE(versions[0], versions[1]);

    // How long a save takes from the fork to the exit, so that the kills spread over all of it.
    QElapsedTimer timer;
    timer.start();
    int current = 1;
    for (int i = 0; i < 3; ++i) {
        current = 1 - current;
        EXPECT_TRUE(exitedWell(saveInChild(target, path, current, std::chrono::microseconds(-1))));
    }
    const auto whole = std::chrono::microseconds(timer.nsecsElapsed() / 3000);
    FileReader reader(std::max(versions[0].size(), versions[1].size()));
    std::mt19937 random(seed);
    // The time a save takes varies with the machine's load (and much more under the
    // sanitizers), so the window for the kill narrows while saves keep ending first and widens
    // again while kills land before the file is opened.
    std::int64_t window = whole.count();

    for (int round = 0; outcome.kills < wanted && round < 8 * wanted; ++round) {
        const int next = 1 - current;
        const std::int64_t moment = std::uniform_int_distribution<std::int64_t>(0, window)(random);
        const ChildEnd end = saveInChild(target, path, next, std::chrono::microseconds(moment));
        const std::string_view now = reader.read(path);
        if (now == view(versions[next])) {
            current = next;
        } else if (now != view(versions[current])) {
            ADD_FAILURE() << target.name << " round " << round << ": " << now.size()
                          << " bytes, neither the old version (" << versions[current].size()
                          << ") nor the new one (" << versions[next].size() << ")";
            return outcome;
        }
        if (WIFSIGNALED(end.status)) {
            ++outcome.kills;
            if (end.wasWriting)
                ++outcome.killsWhileWriting;
            else
                window = std::min<std::int64_t>(window * 9 / 8 + 1, 2 * whole.count());
        } else {
            EXPECT_TRUE(exitedWell(end)) << round;
            ++outcome.finished;
            window = std::max<std::int64_t>(window * 7 / 8, 1000);
        }
        // Every so often a save runs to its end among the leftovers of killed ones, which
        // must not get in its way.
        if (round % 20 == 19) {
            const int after = 1 - current;
            EXPECT_TRUE(
                exitedWell(saveInChild(target, path, after, std::chrono::microseconds(-1))));
            EXPECT_TRUE(reader.read(path) == view(versions[after])) << round;
            current = after;
            const QStringList remaining = strays(QDir(dir.path()), name);
            outcome.strayFiles += static_cast<int>(remaining.size());
            for (const QString &stray : remaining)
                QFile::remove(dir.filePath(stray));
        }
    }
    return outcome;
}

TDrawElement curve(int i)
{
    TDrawElement e {};
    e.ChainPos = i % 12;
    e.Kind = i % 5 == 4 ? KindEllipse : KindCubicBezier;
    const double x = (i * 37) % 1900;
    const double y = (i * 53) % 1400;
    e.Start = { x, y };
    e.End = { x + 40, y + 15 };
    e.Ctrl1 = { x + 10, y - 30 };
    e.Ctrl2 = { x + 30, y + 45 };
    return e;
}

// A project of about 4.6 MB: a 1000 x 800 colour picture and 15,000 elements.
struct ProjectVersions
{
    TElementList lists[2];
    Dib pictures[2];

    ProjectVersions()
    {
        for (int v = 0; v < 2; ++v) {
            for (int i = 0; i < 15000 + v; ++i)
                *lists[v].Append() = curve(i + v);
            pictures[v] = Dib::create(1000, 800, 24);
            const TDibRec &r = pictures[v].rec();
            for (int y = 0; y < 800; ++y)
                std::memset(
                    r.Bits + std::size_t(y) * r.BytesPerLine, (y + 100 * v) & 0xFF, r.BytesPerLine);
        }
    }
};

} // namespace

TEST(KillSave, KilledProjectSavesLeaveTheOldOrTheNewFile)
{
    ProjectVersions p;
    const Target target { "drawing.lvx", [&p](const QString &path, int v) {
                             return saveProjectFile(path, p.lists[v], p.pictures[v].rec(),
                                 v ? 0x0000FF00u : 0x000000FFu, 2.0 + v);
                         } };
    const Outcome o = killRepeatedly(target, 130, 20261209);
    std::printf("project: %d kills (%d while writing), %d saves finished first, %d stray files\n",
        o.kills, o.killsWhileWriting, o.finished, o.strayFiles);
    EXPECT_EQ(o.kills, 130);
    // Most kills must land while the file is being written, or the test proves little.
    EXPECT_GE(o.killsWhileWriting, o.kills / 2);
}

TEST(KillSave, KilledCncExportsLeaveTheOldOrTheNewFile)
{
    TElementList lists[2];
    for (int v = 0; v < 2; ++v)
        for (int i = 0; i < 2500 + 7 * v; ++i)
            *lists[v].Append() = curve(3 * i + v);
    DxfExportParams params;
    params.pieces = 6;
    const Target target { "cut.dxf",
        [&](const QString &path, int v) { return savedxfArc(lists[v], params, path).ok; } };
    const Outcome o = killRepeatedly(target, 80, 4242);
    std::printf("cnc export: %d kills (%d while writing), %d exports finished first, %d stray "
                "files\n",
        o.kills, o.killsWhileWriting, o.finished, o.strayFiles);
    EXPECT_EQ(o.kills, 80);
    EXPECT_GE(o.killsWhileWriting, o.kills / 2);
}
