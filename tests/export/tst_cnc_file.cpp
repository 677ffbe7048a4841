// Writing the CNC file to disk: a file that cannot be written is reported with its message and
// never leaves a partial or damaged file behind.
#include "CncTestDrawing.h"
#include "export/CncDxfExport.h"
#include "i18n/MessageTable.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace cnctest;
using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

// A device that takes a few bytes and then refuses, as a full disk does.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 capacity)
        : m_capacity(capacity)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 size) override
    {
        if (size > m_capacity)
            return -1;
        m_capacity -= size;
        return size;
    }

private:
    qint64 m_capacity;
};

void fillDrawing(TElementList &list)
{
    for (int i = 0; i < 400; ++i)
        append(list, element(KindEllipse, 0, { double(i), 0 }, { i + 50.0, 70 }));
}

// A few thousand elements of every kind in chains, some closed, with the odd degenerate one: more
// segments than travel between the threads in one block, and pieces of every sort.
void fillMixedDrawing(TElementList &list)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> coordinate(0, 2000), step(-30, 30);
    TPointD at { 0, 0 };
    for (int i = 0; i < 3000; ++i) {
        const int chainPos = i % 7;
        if (chainPos == 0)
            at = { coordinate(random), coordinate(random) };
        const TPointD end { at.x + step(random), at.y + step(random) };
        const TPointD c1 { at.x + step(random), at.y + step(random) };
        const TPointD c2 { end.x + step(random), end.y + step(random) };
        TDrawElement e;
        switch (i % 5) {
        case 0:
            e = element(KindLine, chainPos, at, end);
            break;
        case 1:
            e = element(KindQuadBezier, chainPos, at, end, c1);
            break;
        case 2:
            e = element(KindCubicBezier, chainPos, at, end, c1, c2);
            break;
        case 3:
            // An ellipse, every twentieth without width.
            e = element(KindEllipse, 0, at, { i % 20 == 3 ? at.x : end.x, end.y });
            break;
        default:
            // A straight cubic, and now and then one with a point that cannot be written.
            e = element(KindCubicBezier, chainPos, at, end, at, end);
            if (i % 50 == 4)
                e.End.x = std::numeric_limits<double>::quiet_NaN();
            break;
        }
        e.ClosesChain = chainPos == 6 && i % 3 == 0;
        if (e.Kind != KindEllipse)
            at = e.End;
        append(list, e);
    }
}

QByteArray exportWith(TElementList &list, CncDxfExport::Threading threading, int pieces)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    DxfExportParams params;
    params.pieces = pieces;
    CncDxfExport exporter(params, buffer);
    exporter.setThreading(threading);
    EXPECT_TRUE(exporter.write(list));
    return bytes;
}

} // namespace

TEST(CncDxfFile, WritesTheSameBytesAsInMemoryAndReplacesAnOldFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("teil.dxf"));
    ASSERT_TRUE(writeFile(name, "old content"));
    TElementList list;
    fillDrawing(list);
    DxfExportParams params;
    const ExportResult result = savedxfArc(list, params, name);
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.message().isEmpty());
    EXPECT_EQ(readFile(name), cncDxfBytes(list, params));
    EXPECT_GT(readFile(name).size(), 1 << 21) << "large enough to be written in several blocks";
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("teil.dxf") });
}

TEST(CncDxfFile, UncreatableFileGivesMessageTwelveWithTheName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("fehlt/teil.dxf"));
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    const ExportResult result = savedxfArc(list, DxfExportParams {}, name);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.messageNumber, 12);
    EXPECT_EQ(result.fileName, name);
    EXPECT_EQ(result.message(), messageText(12) + QLatin1Char(' ') + name);
    EXPECT_FALSE(QFile::exists(name));

    // A folder in place of the file is left as it is.
    const QString folder = dir.filePath(QStringLiteral("ordner.dxf"));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_FALSE(savedxfArc(list, DxfExportParams {}, folder).ok);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST(CncDxfFile, RefusedWriteIsReportedAtTheBlockThatFailed)
{
    TElementList list;
    fillDrawing(list);
    // The device refuses the first block, then everything: the export says so instead of
    // claiming success.
    FailingDevice refusing(100);
    CncDxfExport exporter(DxfExportParams {}, refusing);
    EXPECT_FALSE(exporter.write(list));

    // With room for everything the same export succeeds.
    FailingDevice roomy(1 << 30);
    CncDxfExport fine(DxfExportParams {}, roomy);
    EXPECT_TRUE(fine.write(list));
}

TEST(CncDxfFile, SecondThreadGivesTheSameBytes)
{
    // Computing the segments on a second thread while this one writes must not change a byte:
    // not the order, not where a polyline ends, not the closing lines, not the left-out pieces.
    TElementList list;
    fillMixedDrawing(list);
    for (const int pieces : { 1, 4, 20 }) {
        const QByteArray single = exportWith(list, CncDxfExport::Threading::Single, pieces);
        EXPECT_GT(single.count("VERTEX"), 4 * static_cast<qsizetype>(SegmentPipe::BlockSize))
            << "the segments travel in several blocks";
        EXPECT_EQ(exportWith(list, CncDxfExport::Threading::Overlapped, pieces), single) << pieces;
        EXPECT_EQ(exportWith(list, CncDxfExport::Threading::Automatic, pieces), single) << pieces;
    }

    // An empty or tiny drawing on two threads is the same file too.
    TElementList small;
    EXPECT_EQ(exportWith(small, CncDxfExport::Threading::Overlapped, 4),
        exportWith(small, CncDxfExport::Threading::Single, 4));
    append(small, element(KindEllipse, 0, { 0, 0 }, { 50, 70 }));
    EXPECT_EQ(exportWith(small, CncDxfExport::Threading::Overlapped, 4),
        exportWith(small, CncDxfExport::Threading::Single, 4));
}

TEST(CncDxfFile, RefusedWriteStopsTheSecondThread)
{
    // When the device refuses, the writing side says so and the computing side stops: the export
    // returns false instead of hanging or claiming success, at the first block and at a later one.
    TElementList list;
    fillMixedDrawing(list);
    for (const qint64 capacity : { qint64 { 100 }, qint64 { 3 << 20 } }) {
        FailingDevice device(capacity);
        CncDxfExport exporter(DxfExportParams {}, device);
        exporter.setThreading(CncDxfExport::Threading::Overlapped);
        EXPECT_FALSE(exporter.write(list)) << capacity;
    }
}
