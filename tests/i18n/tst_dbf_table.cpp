#include "TableFixture.h"
#include "base/Cp1252.h"
#include "i18n/DbfTable.h"
#include "support/TestSupport.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <csignal>
#include <sys/resource.h>

using linovex::test::dataPath;
using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

// Parses the commented hex golden file; "..", the masked date bytes, become -1.
std::vector<int> readGolden(const QString &path)
{
    std::vector<int> bytes;
    const QStringList lines = QString::fromLatin1(readFile(path)).split('\n');
    for (QString line : lines) {
        line = line.section('#', 0, 0).trimmed();
        for (const QString &token : line.split(' ', Qt::SkipEmptyParts))
            bytes.push_back(token == ".." ? -1 : token.toInt(nullptr, 16));
    }
    return bytes;
}

} // namespace

class DbfTableTest : public TableFixture
{
};

TEST_F(DbfTableTest, newTableMatchesTheHandMadeHeaderByteForByte)
{
    start();
    ASSERT_EQ(m_lastOpen.state, TableOpenResult::State::ReadWrite);
    tr().table().close();
    const QByteArray file = readFile(tablePath());
    const std::vector<int> golden = readGolden(dataPath("i18n/empty-table.hex"));
    ASSERT_EQ(golden.size(), 642u);
    ASSERT_EQ(file.size(), 642);
    for (std::size_t i = 0; i < golden.size(); ++i) {
        if (golden[i] >= 0) {
            EXPECT_EQ(quint8(file[int(i)]), golden[i]) << "offset " << i;
        }
    }
    const QDate today = QDate::currentDate();
    EXPECT_EQ(quint8(file[1]), today.year() - 1900);
    EXPECT_EQ(quint8(file[2]), today.month());
    EXPECT_EQ(quint8(file[3]), today.day());
    // No code-page side file: the language driver byte says it all.
    EXPECT_FALSE(QFile::exists(dir() + "/translate.cpg"));
    EXPECT_FALSE(QFile::exists(dir() + "/translate-new.dbf"));
}

TEST_F(DbfTableTest, independentReaderSeesFieldsUmlautsAndAppendedRecords)
{
    const QString python = "/usr/bin/python3";
    if (QProcess::execute(python, { "-c", "import dbfread" }) != 0)
        GTEST_SKIP() << "python3-dbfread is not installed";
    start();
    tr().translateMessages();
    tr().translateText(QStringLiteral("Größe ändern"));
    setTranslation(QStringLiteral("Größe ändern"), 1, cp1252::encode(QStringLiteral("Resize – €")));
    tr().table().close();

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PYTHONIOENCODING", "utf-8");
    p.setProcessEnvironment(env);
    p.start(python,
        { "-c",
            "import sys, dbfread\n"
            "t = dbfread.DBF(sys.argv[1], encoding='cp1252')\n"
            "print(','.join(t.field_names))\n"
            "print(','.join(str(f.length) + f.type for f in t.fields[:2]))\n"
            "for r in t: print(r['language1'] + '|' + r['language2'])\n",
            tablePath() });
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    QStringList names;
    for (int i = 1; i <= 19; ++i)
        names << QStringLiteral("language%1").arg(i);
    EXPECT_EQ(lines.value(0), names.join(','));
    EXPECT_EQ(lines.value(1), "255C,255C");
    EXPECT_EQ(lines.value(2),
        QStringLiteral("Bitte starten Sie das Programm neu, damit die Sprache "
                       "aktiviert werden kann.|"));
    EXPECT_EQ(lines.value(3), QStringLiteral("Übersetzung|"));
    EXPECT_EQ(lines.value(9), QStringLiteral("Konnte Datei nicht öffnen.|"));
    EXPECT_EQ(lines.value(11), QStringLiteral("Größe ändern|Resize – €"));
    EXPECT_EQ(lines.size(),
        13); // header lines, ten records and the empty remainder after the last newline
}

TEST_F(DbfTableTest, walkSkipsDeletedRecordsAndFilteredOnes)
{
    start();
    DbfTable &t = tr().table();
    for (const char *s : { "Apfel", "Birne", "Apfelsine", "Kirsche" })
        ASSERT_GT(t.append({ s }), 0);
    ASSERT_TRUE(t.setDeleted(2, true));
    EXPECT_EQ(t.visibleRecords(), (std::vector<int> { 1, 3, 4 }));
    t.setFilter([&](int r) { return t.field(r, 0).contains("Apfel"); });
    ASSERT_TRUE(t.last());
    EXPECT_EQ(t.current(), 3);
    EXPECT_TRUE(t.prior());
    EXPECT_EQ(t.current(), 1);
    EXPECT_FALSE(t.prior());
    // A record number names its record whatever the filter lets through.
    EXPECT_TRUE(t.goTo(4));
    EXPECT_EQ(t.field(4, 0), "Kirsche");
    t.clearFilter();
    // The deleted record stays out of a restart's index too.
    start();
    EXPECT_EQ(tr().index().find("Birne"), 0);
    EXPECT_EQ(tr().index().find("Kirsche"), 4);
}

TEST_F(DbfTableTest, fieldsKeepLeadingBlanksAndAreCutToTheirWidth)
{
    start();
    DbfTable &t = tr().table();
    const int r = t.append({ "  eingerückt  ", QByteArray(300, 'x') });
    EXPECT_EQ(t.field(r, 0), "  eingerückt");
    EXPECT_EQ(t.field(r, 1), QByteArray(255, 'x'));
    EXPECT_TRUE(t.field(r, 19).isEmpty());
    EXPECT_TRUE(t.field(r + 1, 0).isEmpty());
}

// Each damaged file is refused before shapelib reads it, and stays exactly as it was.
TEST_F(DbfTableTest, damagedTablesAreReportedAndLeftUntouched)
{
    start();
    tr().translateMessages();
    tr().table().close();
    const QByteArray good = readFile(tablePath());

    auto withCount = [&](quint32 count) {
        QByteArray b = good;
        b[4] = char(count & 0xff);
        b[5] = char((count >> 8) & 0xff);
        b[6] = char((count >> 16) & 0xff);
        b[7] = char(count >> 24);
        return b;
    };
    QByteArray zeroLength = good;
    zeroLength[10] = 0;
    zeroLength[11] = 0;
    QByteArray hugeHeader = good;
    hugeHeader[8] = char(0xff);
    hugeHeader[9] = char(0xff);
    const std::vector<std::pair<const char *, QByteArray>> cases = {
        { "truncated header", good.left(20) },
        { "empty file", QByteArray() },
        { "record count past the end", withCount(10) },
        { "record count near 2^32", withCount(0xfffffff0u) },
        { "record length 0", zeroLength },
        { "header length past the end", hugeHeader },
        { "not a dBase file",
            QByteArray("PK\x03\x04", 4) + QByteArray("a zip archive, not a table")
                + QByteArray(700, 'z') },
    };
    for (const auto &[name, bytes] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFile(tablePath(), bytes));
        EXPECT_FALSE(DbfTable::checkFile(tablePath()).isEmpty());
        start(1);
        EXPECT_EQ(m_lastOpen.state, TableOpenResult::State::Unusable);
        EXPECT_FALSE(m_lastOpen.reason.isEmpty());
        EXPECT_TRUE(Translator::openFailureText(m_lastOpen).contains("translate.dbf"));
        tr().translateMessages();
        EXPECT_EQ(tr().translateText("  Neu "), "  Neu ");
        EXPECT_EQ(tr().translateText("Ganz neu"), "Ganz neu");
        m_translator.reset();
        EXPECT_EQ(readFile(tablePath()), bytes);
    }
}

// A full disk during an append: the record is lost, but the table stays a valid file holding
// every earlier record, and the program stops writing to it for the rest of the run.
TEST_F(DbfTableTest, appendThatTheDiskRefusesLeavesAValidTable)
{
    start();
    tr().translateMessages();
    const qint64 size = QFileInfo(tablePath()).size();
    rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = rlim_t(size + 100);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int added = tr().table().append({ "Zu viel" });
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(added, 0);
    EXPECT_TRUE(tr().table().isReadOnly());
    EXPECT_EQ(tr().translateText("Noch mehr"), "Noch mehr");
    EXPECT_EQ(tr().table().recordCount(), 9);
    m_translator.reset();
    EXPECT_TRUE(DbfTable::checkFile(tablePath()).isEmpty())
        << DbfTable::checkFile(tablePath()).toStdString();
    start();
    EXPECT_EQ(m_lastOpen.state, TableOpenResult::State::ReadWrite);
    EXPECT_EQ(tr().table().recordCount(), 9);
    EXPECT_EQ(tr().index().find("Neu"), 5);
}
