// Both DXF exports write through a temporary file: whatever goes wrong, the user's existing file
// stays byte for byte as it was and no partial or temporary file is left behind.
#include "CncTestDrawing.h"
#include "export/CncDxfExport.h"
#include "export/SplineDxfExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace cnctest;
using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

struct Outcome
{
    bool ok;
    QString fileName;
};

struct Exporter
{
    const char *name;
    std::function<Outcome(const TElementList &, const QString &)> save;
};

const Exporter exporters[] = {
    { "spline",
        [](const TElementList &list, const QString &name) {
            const SplineDxfResult r = SplineDxfExport::savedxf(list, DxfExportParams {}, name);
            return Outcome { r.ok, r.fileName };
        } },
    { "cnc",
        [](const TElementList &list, const QString &name) {
            // The CNC export walks the list with its cursor; it reads nothing else.
            auto &walked = const_cast<TElementList &>(list);
            const ExportResult r = savedxfArc(walked, DxfExportParams {}, name);
            return Outcome { r.ok, r.fileName };
        } },
};

// Several megabytes of either file.
void fillDrawing(TElementList &list)
{
    for (int i = 0; i < 3000; ++i)
        append(list, element(KindEllipse, 0, { double(i), 0 }, { i + 50.0, 70 }));
}

const QByteArray Previous = "the drawing the machine cut yesterday";

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// Takes away the capability that lets root write into any folder, for as long as it lives, so
// a folder without write permission refuses this process too. Capabilities belong to the
// thread, and the export runs on the calling thread.
class WithoutOverride
{
public:
    WithoutOverride()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = { m_saved[0], m_saved[1] };
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutOverride()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }
    WithoutOverride(const WithoutOverride &) = delete;
    WithoutOverride &operator=(const WithoutOverride &) = delete;

private:
    __user_cap_header_struct m_header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
};

} // namespace

TEST(DxfFileSafety, TargetThatIsAFolderStaysAFolder)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    for (const Exporter &exporter : exporters) {
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("teil.dxf"));
        ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inside")));
        const Outcome outcome = exporter.save(list, folder);
        EXPECT_FALSE(outcome.ok) << exporter.name;
        EXPECT_EQ(outcome.fileName, folder) << exporter.name;
        EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/inside")).isDir()) << exporter.name;
        EXPECT_TRUE(filesIn(dir.path()).isEmpty()) << exporter.name;
    }
}

TEST(DxfFileSafety, FolderWithoutWritePermissionKeepsTheOldFile)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    for (const Exporter &exporter : exporters) {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("teil.dxf"));
        ASSERT_TRUE(writeFile(name, Previous));
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        Outcome outcome;
        bool folderRefuses;
        {
            WithoutOverride limited;
            QFile probe(dir.filePath(QStringLiteral("probe")));
            folderRefuses = !probe.open(QIODevice::WriteOnly);
            outcome = exporter.save(list, name);
        }
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!folderRefuses)
            GTEST_SKIP() << "this process may write into any folder";
        EXPECT_FALSE(outcome.ok) << exporter.name;
        EXPECT_EQ(outcome.fileName, name) << exporter.name;
        EXPECT_EQ(readFile(name), Previous) << exporter.name;
        EXPECT_EQ(filesIn(dir.path()), QStringList { QStringLiteral("teil.dxf") }) << exporter.name;
    }
}

TEST(DxfFileSafety, ReadOnlyFileIsNotReplaced)
{
    // The folder would let a temporary file replace it, but the user protected the file itself.
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    for (const Exporter &exporter : exporters) {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("teil.dxf"));
        ASSERT_TRUE(writeFile(name, Previous));
        ASSERT_TRUE(QFile::setPermissions(name, QFile::ReadOwner));
        Outcome outcome;
        {
            WithoutOverride limited;
            if (QFile(name).open(QIODevice::WriteOnly | QIODevice::Append))
                GTEST_SKIP() << "this process may write any file";
            outcome = exporter.save(list, name);
        }
        EXPECT_FALSE(outcome.ok) << exporter.name;
        EXPECT_EQ(readFile(name), Previous) << exporter.name;
        EXPECT_EQ(filesIn(dir.path()), QStringList { QStringLiteral("teil.dxf") }) << exporter.name;
    }
}

TEST(DxfFileSafety, WriteFailingHalfWayKeepsTheOldFileAndLeavesNoPart)
{
    // A file size limit makes the disk refuse the rest after 100 kB, as a full disk would.
    TElementList list;
    fillDrawing(list);
    for (const Exporter &exporter : exporters) {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("teil.dxf"));
        ASSERT_TRUE(writeFile(name, Previous));
        rlimit previous {};
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit small = previous;
        small.rlim_cur = 100000;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Outcome outcome = exporter.save(list, name);
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_FALSE(outcome.ok) << exporter.name;
        EXPECT_EQ(readFile(name), Previous) << exporter.name;
        EXPECT_EQ(filesIn(dir.path()), QStringList { QStringLiteral("teil.dxf") }) << exporter.name;

        // Without the limit the same export replaces the file.
        EXPECT_TRUE(exporter.save(list, name).ok) << exporter.name;
        EXPECT_GT(readFile(name).size(), 1 << 20) << exporter.name;
    }
}
