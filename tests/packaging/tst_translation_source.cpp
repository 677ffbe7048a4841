#include "i18n/Translator.h"
#include "i18n/tools/TranslationSource.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::vector<TranslationPair> parse(const char *utf8, QStringList *problems = nullptr)
{
    QStringList local;
    return parseTranslationSource(QByteArray(utf8), problems ? problems : &local);
}

TEST(TranslationSource, ReadsPairsSkippingCommentsAndBlankLinesAndUndoingEscapes)
{
    const auto pairs = parse("# reviewed\n"
                             "\n"
                             "Datei\tFile\r\n"
                             "Linovex Projekt (*.lvx)|*.lvx\tLinovex project (*.lvx)|*.lvx\n"
                             "Zeile eins\\nZeile zwei\tLine one\\nline two\n"
                             "a\\\\b\\tc\tA\\\\B\\tC\n"
                             "Übersetzen...\tTranslate...");
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0].german, QStringLiteral("Datei"));
    EXPECT_EQ(pairs[0].english, QStringLiteral("File"));
    EXPECT_EQ(pairs[1].english, QStringLiteral("Linovex project (*.lvx)|*.lvx"));
    EXPECT_EQ(pairs[2].german, QStringLiteral("Zeile eins\nZeile zwei"));
    EXPECT_EQ(pairs[3].german, QStringLiteral("a\\b\tc"));
    EXPECT_EQ(pairs[4].german, QString::fromUtf8("Übersetzen..."));
}

// Each of these lines would put a record into the shipped table that the program can never
// find, or one that shows no English; the whole source is refused with the line named.
TEST(TranslationSource, RefusesLinesThatCannotBecomeUsableRecords)
{
    const char *bad[] = {
        "Datei", // no English
        "Datei\tFile\tDatei", // a tab too many
        "Datei\t   ", // blank English
        "\tFile", // empty German
        " Datei\tFile", // outer blanks: the lookup strips them from its key
        "Datei \tFile",
        "Datei\\x\tFile", // unknown escape
        "Datei\tFile\\", // escape cut off
        "Kreis \xe2\x97\x8b\tCircle", // outside Windows-1252
    };
    for (const char *line : bad) {
        QStringList problems;
        const auto pairs = parse(QByteArray("Neu\tNew\n").append(line).constData(), &problems);
        EXPECT_TRUE(pairs.empty()) << line;
        ASSERT_EQ(problems.size(), 1) << line;
        EXPECT_TRUE(problems[0].startsWith(QStringLiteral("line 2:"))) << problems[0].toStdString();
    }

    QStringList problems;
    EXPECT_TRUE(parse("Neu\tNew\nNeu\tFresh\n", &problems).empty());
    EXPECT_EQ(problems.size(), 1);

    const QByteArray longEnglish = "Neu\t" + QByteArray(Translator::kFieldWidth + 1, 'x');
    EXPECT_TRUE(parse(longEnglish.constData(), &problems).empty());
    EXPECT_EQ(problems.size(), 1);
}

// The written table must be found by the program's own lookup, long texts included, whose
// keys are shortened by the table's key rule.
TEST(TranslationSource, WrittenTableTranslatesThroughTheLookup)
{
    QTemporaryDir dir;
    const QString longGerman = QString(300, QLatin1Char('a')) + QStringLiteral(" Ende");
    const std::vector<TranslationPair> pairs = { { QStringLiteral("Datei"),
                                                     QStringLiteral("File") },
        { QString::fromUtf8("Farbe wählen"), QStringLiteral("Choose colour") },
        { longGerman, QStringLiteral("Long text") } };
    QString reason;
    ASSERT_TRUE(writeTranslationTable(pairs, dir.filePath("translate.dbf"), &reason))
        << reason.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "translate.dbf" });

    Translator translator;
    ASSERT_EQ(translator.openTable(dir.path()).state, TableOpenResult::State::ReadWrite);
    translator.buildTranslationIndex();
    translator.setLanguageIndex(1);
    EXPECT_EQ(translator.translateText(QStringLiteral("Datei")), QStringLiteral("File"));
    EXPECT_EQ(translator.translateText(QString::fromUtf8(" Farbe wählen")),
        QStringLiteral(" Choose colour"));
    EXPECT_EQ(translator.translateText(longGerman), QStringLiteral("Long text"));
    EXPECT_EQ(translator.table().recordCount(), 3);

    // A second run replaces the table instead of appending to it.
    translator.table().close();
    ASSERT_TRUE(writeTranslationTable({ pairs[0] }, dir.filePath("translate.dbf"), &reason));
    DbfTable table;
    ASSERT_TRUE(table.open(dir.filePath("translate.dbf"), DbfTable::Mode::ReadOnly, &reason));
    EXPECT_EQ(table.recordCount(), 1);
}

TEST(TranslationSource, UnwritableFolderIsReportedAndLeavesNothing)
{
    QString reason;
    EXPECT_FALSE(writeTranslationTable(
        { { QStringLiteral("Datei"), QStringLiteral("File") } }, "/no/such/folder/t.dbf", &reason));
    EXPECT_FALSE(reason.isEmpty());
}

} // namespace
