// Writing the CNC file to disk: a file that cannot be written is reported with its message and
// never leaves a partial or damaged file behind.
#include "CncTestDrawing.h"
#include "export/CncDxfExport.h"
#include "i18n/MessageTable.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
