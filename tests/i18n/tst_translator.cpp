#include "TableFixture.h"
#include "base/Cp1252.h"
#include "i18n/LanguageOptions.h"
#include "i18n/MessageTable.h"
#include "support/TestSupport.h"

#include <QFile>
#include <optional>

using linovex::test::readFile;
using linovex::test::ReadOnlyFolder;
using linovex::test::writeFile;

class TranslatorTest : public TableFixture
{
protected:
    void SetUp() override
    {
        start();
        for (const char *s : { "Neu", "Datei", "Linie" })
            tr().translateText(s);
        setTranslation("Neu", 1, "\t Fresh \r\n");
        setTranslation("Linie", 1, "Line");
        start(1); // restart so the index is built from the file
    }
    int records() { return tr().table().recordCount(); }
};

TEST_F(TranslatorTest, blanksAroundTheKeyArePutBackAroundTheTrimmedTranslation)
{
    EXPECT_EQ(tr().translateText("  Neu "), "  Fresh ");
    EXPECT_EQ(tr().translateText("Linie"), "Line");
    tr().setLanguageIndex(0);
    EXPECT_EQ(tr().translateText("  Neu "), "  Neu ");
    // An empty English field gives the input back, blanks and all.
    tr().setLanguageIndex(1);
    EXPECT_EQ(tr().translateText(" Datei  "), " Datei  ");
    EXPECT_EQ(records(), 3);
}

TEST_F(TranslatorTest, aFieldOfControlCharactersOnlyCountsAsEmpty)
{
    // Whether the translator left a stray line break or the text itself is a control
    // character: the caption shows its own text rather than vanishing.
    setTranslation("Linie", 1, "\r\n");
    EXPECT_EQ(tr().translateText(" Linie"), " Linie");
    tr().setLanguageIndex(0);
    EXPECT_EQ(tr().translateText("  \x1e"), "  \x1e");
    EXPECT_EQ(tr().translateText("  \x1e"), "  \x1e");
    EXPECT_EQ(records(), 4);
}

TEST_F(TranslatorTest, emptyAndBlankTextsAreNeitherLookedUpNorStored)
{
    EXPECT_EQ(tr().translateText(""), "");
    EXPECT_EQ(tr().translateText("   "), "   ");
    EXPECT_EQ(records(), 3);
}

TEST_F(TranslatorTest, aMissAddsOneRecordWithoutOuterBlanksAndIsFoundNextTime)
{
    EXPECT_EQ(tr().translateText("  Farbe wählen "), "  Farbe wählen ");
    ASSERT_EQ(records(), 4);
    EXPECT_EQ(tr().table().field(4, 0), cp1252::encode("Farbe wählen"));
    EXPECT_EQ(tr().table().current(), 4);
    EXPECT_EQ(tr().translateText("Farbe wählen"), "Farbe wählen");
    EXPECT_EQ(records(), 4);
    // Start-up sorts each bucket; a later miss stands at its end, behind the sorted entries.
    tr().translateText("Fz");
    start(1);
    tr().translateText("Fb");
    const TranslationIndex &index = tr().index();
    ASSERT_EQ(index.bucketSize('F'), 3);
    EXPECT_EQ(index.textAt('F', 0), cp1252::encode("Farbe wählen"));
    EXPECT_EQ(index.textAt('F', 1), "Fz");
    EXPECT_EQ(index.textAt('F', 2), "Fb");
}

TEST_F(TranslatorTest, keysAreCaseSensitiveAndKeepTabs)
{
    EXPECT_EQ(tr().translateText("neu"), "neu");
    EXPECT_EQ(tr().translateText("\tNeu"), "\tNeu");
    EXPECT_EQ(records(), 5);
    EXPECT_EQ(tr().table().field(4, 0), "neu");
    EXPECT_EQ(tr().table().field(5, 0), "\tNeu");
    EXPECT_EQ(tr().translateText("Neu"), "Fresh");
}

TEST_F(TranslatorTest, restartFindsAppendedTextsWithoutDuplicating)
{
    tr().translateText("Zeige Bild");
    tr().translateText("Lineal");
    start(1);
    EXPECT_EQ(tr().translateText("Zeige Bild"), "Zeige Bild");
    EXPECT_EQ(tr().translateText("Lineal"), "Lineal");
    EXPECT_EQ(records(), 5);
    EXPECT_EQ(tr().index().find("Lineal"), 5);
}

TEST_F(TranslatorTest, messagesGoThroughTheLookupWithTheCurrentLanguage)
{
    EXPECT_EQ(messageText(0), "");
    EXPECT_EQ(messageText(15), "");
    EXPECT_EQ(records(), 3);
    tr().setLanguageIndex(0);
    EXPECT_EQ(messageText(12), "Konnte diese Datei nicht erstellen:");
    setTranslation("Konnte diese Datei nicht erstellen:", 1, "Could not create this file:");
    // The very next lookup after a change of language uses the new field.
    tr().setLanguageIndex(1);
    EXPECT_EQ(messageText(12), "Could not create this file:");
    EXPECT_EQ(messageText(7), "Fresh");
}

TEST_F(TranslatorTest, languageIndexBeyondTheFieldsMeansGerman)
{
    for (int index : { 19, 4711, -1 }) {
        tr().setLanguageIndex(index);
        EXPECT_EQ(tr().translateText(" Neu"), " Neu") << index;
    }
    tr().setLanguageIndex(18);
    EXPECT_EQ(tr().translateText("Linie"), "Linie");
}

// Writing refused, or a folder that may not be written although the file itself could be (a
// portable copy on a read-only share).
TEST_F(TranslatorTest, readOnlyTableTranslatesButAddsNothing)
{
    const QByteArray before = (tr().table().close(), readFile(tablePath()));
    for (const bool folder : { false, true }) {
        std::optional<ReadOnlyFolder> readOnly;
        if (folder && !readOnly.emplace(dir()).active())
            GTEST_SKIP() << "this file system lets the test write into any folder";
        start(1, !folder);
        ASSERT_EQ(m_lastOpen.state, TableOpenResult::State::ReadOnly) << folder;
        EXPECT_TRUE(tr().isReadOnly());
        EXPECT_EQ(tr().translateText("Linie"), "Line");
        tr().translateMessages();
        EXPECT_EQ(tr().translateText("Unbekannt"), "Unbekannt");
        EXPECT_EQ(records(), 3);
        EXPECT_EQ(tr().index().find("Unbekannt"), 0);
        m_translator.reset();
        EXPECT_EQ(readFile(tablePath()), before);
    }
}

TEST_F(TranslatorTest, missingTableInAFolderThatRefusesWritingIsUnusable)
{
    m_translator.reset();
    QFile::remove(tablePath());
    start(1, true);
    EXPECT_EQ(m_lastOpen.state, TableOpenResult::State::Unusable);
    EXPECT_EQ(tr().translateText("Linie"), "Linie");
    EXPECT_EQ(messageText(7), "Neu");
    EXPECT_FALSE(QFile::exists(tablePath()));
}

TEST_F(TranslatorTest, umlautsAreStoredAsWindows1252)
{
    tr().translateText("Übersetzen...");
    EXPECT_EQ(tr().table().field(4, 0),
        "\xDC"
        "bersetzen...");
    setTranslation("Übersetzen...", 1, cp1252::encode("Translate… ‘x’"));
    start(1);
    EXPECT_EQ(tr().translateText("Übersetzen..."), "Translate… ‘x’");
}

// A field holds 255 bytes; longer texts must still find their own record after a restart,
// and two long texts that differ only after the cut must not share one.
TEST_F(TranslatorTest, longTextsMatchTheirOwnRecordAfterARestart)
{
    const QString stem(250, u'ä');
    const QString a = stem + "Ende A";
    const QString b = stem + "Ende B";
    EXPECT_EQ(tr().translateText(a), a);
    EXPECT_EQ(tr().translateText(b), b);
    ASSERT_EQ(records(), 5);
    EXPECT_EQ(tr().table().field(4, 0).size(), 255);
    tr().table().setField(5, 1, "Long B");
    start(1);
    EXPECT_EQ(tr().translateText(b), "Long B");
    EXPECT_EQ(tr().translateText(a), a);
    EXPECT_EQ(records(), 5);
    // In German the shortened key is never shown in place of the text.
    tr().setLanguageIndex(0);
    EXPECT_EQ(tr().translateText(b), b);
}

TEST_F(TranslatorTest, freshStartCreatesTheTableWithMessagesAndTitle)
{
    m_translator.reset();
    QFile::remove(tablePath());
    start(0);
    ASSERT_EQ(m_lastOpen.state, TableOpenResult::State::ReadWrite);
    EXPECT_EQ(tr().table().fieldCount(), 19);
    EXPECT_EQ(tr().table().fieldName(18), "language19");
    tr().translateMessages();
    EXPECT_EQ(tr().translateText("Linovex"), "Linovex");
    ASSERT_EQ(records(), 10);
    std::vector<int> numbers = messageNumbers();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(cp1252::decode(tr().table().field(i + 1, 0)), messageSourceText(numbers[i]));
    EXPECT_EQ(tr().table().field(10, 0), "Linovex");
}

TEST(TranslationIndexTest, sortBucketOrdersBytesUnsignedWithPrefixesFirst)
{
    TranslationIndex index;
    const std::vector<QByteArray> texts = { "Ab", "A", "A\xFF", "Abc", "A\x80", "AB", "Aa", "Ab" };
    for (std::size_t i = 0; i < texts.size(); ++i)
        index.add(texts[i], std::int32_t(i + 1));
    index.sortAll();
    const std::vector<QByteArray> expected = { "A", "AB", "Aa", "Ab", "Ab", "Abc", "A\x80",
        "A\xFF" };
    auto &bucket = index.bucket('A');
    ASSERT_EQ(bucket.Count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(index.textAt('A', std::int32_t(i)), expected[i]) << i;
        // Each entry keeps the record number it was added with.
        const TIndexEntry &e = bucket.at(std::int32_t(i));
        EXPECT_EQ(texts[std::size_t(e.recNo - 1)], expected[i]);
    }
    // Texts are bucketed by their first byte, above 127 too.
    index.add("\xC4rger", 9);
    EXPECT_EQ(index.bucket(0xC4).Count(), 1u);
    EXPECT_EQ(index.find("\xC4rger"), 9);
    EXPECT_EQ(index.find("Ab"), 1);
}

TEST(TranslationIndexTest, sortBucketSortsOnlyTheGivenRange)
{
    TranslationIndex one;
    int rec = 1;
    for (const char *s : { "xz", "xd", "xc", "xb", "xa" })
        one.add(s, rec++);
    one.sortBucket('x', 1, 3);
    const std::vector<QByteArray> expected = { "xz", "xb", "xc", "xd", "xa" };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(one.textAt('x', i), expected[std::size_t(i)]);
}

class LanguageOptionsTest : public TableFixture
{
protected:
    QString optionsPath() const { return dir() + "/options.dat"; }
};

TEST_F(LanguageOptionsTest, loadReadsFourLittleEndianBytesAndOtherwiseMeansGerman)
{
    EXPECT_EQ(loadOptions(dir()), 0);
    EXPECT_FALSE(QFile::exists(optionsPath()));
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\x01\x00\x00\x00", 4)));
    EXPECT_EQ(loadOptions(dir()), 1);
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\x04\x01\x00\x00", 4)));
    EXPECT_EQ(loadOptions(dir()), 260);
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\xff\xff\xff\xff", 4)));
    EXPECT_EQ(loadOptions(dir()), -1);
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\x01\x00\x00", 3)));
    EXPECT_EQ(loadOptions(dir()), 0);
    EXPECT_EQ(loadOptions(dir() + "/missing-folder"), 0);
}

TEST_F(LanguageOptionsTest, saveWritesExactlyFourBytesReplacingALongerFile)
{
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray(10, '\x07')));
    ASSERT_TRUE(saveOptions(dir(), 1));
    EXPECT_EQ(readFile(optionsPath()), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(loadOptions(dir()), 1);
    EXPECT_FALSE(saveOptions(dir() + "/missing-folder", 1));
}
