#include "app/AppWindows.h"
#include "app/TMainForm.h"
#include "base/Cp1252.h"
#include "i18n/DbfTable.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using linovex::test::readFile;
using linovex::test::writeFile;

// Reads language1 and language2 of every record of a table.
QList<QPair<QString, QString>> records(const QString &path)
{
    QList<QPair<QString, QString>> result;
    DbfTable table;
    QString reason;
    if (!table.open(path, DbfTable::Mode::ReadOnly, &reason)) {
        ADD_FAILURE() << "cannot open " << path.toStdString() << ": " << reason.toStdString();
        return result;
    }
    for (int rec = 1; rec <= table.recordCount(); ++rec) {
        if (!table.isDeleted(rec))
            result.append(
                { cp1252::decode(table.field(rec, 0)), cp1252::decode(table.field(rec, 1)) });
    }
    return result;
}

// One run of the editor in English on a copy of the shipped table, as an installation's first
// start has it. Every text the windows and the message table look up is then in the copy: the
// ones the shipped table lacks were appended by the lookup, with an empty English field.
class EnglishRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(data));
        ASSERT_TRUE(
            writeFile(data + "/translate.dbf", readFile(QStringLiteral(LINOVEX_SHIPPED_TABLE))));
        ASSERT_TRUE(writeFile(data + "/options.dat", QByteArray("\x01\x00\x00\x00", 4)));
        qputenv("LINOVEX_DATA_DIR", data.toLocal8Bit());
        // The program's entry sets these; the window title is looked up from the name.
        QApplication::setOrganizationName(QStringLiteral("Mervane"));
        QApplication::setApplicationName(QStringLiteral("Linovex"));
    }
    void TearDown() override { qunsetenv("LINOVEX_DATA_DIR"); }

    QTemporaryDir dir;
    const QString data = dir.filePath("data");
};

TEST_F(EnglishRun, EveryTextTheProgramGathersHasAnEnglishEntry)
{
    const int shipped = records(QStringLiteral(LINOVEX_SHIPPED_TABLE)).size();
    ASSERT_GT(shipped, 0);
    QStringList messages;
    {
        AppWindows windows({});
        windows.mainForm().prompts().showMessage = [&](QWidget *, const QString &t) {
            messages << t;
        };
        windows.mainForm().prompts().showError = [&](QWidget *, const QString &t) {
            messages << t;
        };
        windows.mainForm().show();
        QApplication::processEvents();
        // The menus are English at once, without a restart.
        auto *file = windows.mainForm().findChild<QMenu *>(QStringLiteral("Datei1"));
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->title(), QStringLiteral("File"));
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    QStringList missing;
    for (const auto &[german, english] : records(data + "/translate.dbf")) {
        if (!german.isEmpty() && english.trimmed().isEmpty())
            missing << german;
    }
    // Names the texts to add to data/i18n/en.tsv, one a line, escaped as the file wants them.
    QString list;
    for (QString text : missing)
        list += text.replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n") + '\n';
    EXPECT_TRUE(missing.isEmpty())
        << missing.size() << " texts have no English entry in data/i18n/en.tsv:\n"
        << list.toStdString();
}

TEST(ShippedTable, HoldsEachGermanTextOnceWithEnglishInTheSecondField)
{
    const auto shipped = records(QStringLiteral(LINOVEX_SHIPPED_TABLE));
    QSet<QString> seen;
    for (const auto &[german, english] : shipped) {
        EXPECT_FALSE(english.trimmed().isEmpty()) << german.toStdString();
        EXPECT_FALSE(seen.contains(german)) << german.toStdString();
        seen.insert(german);
    }
    DbfTable table;
    QString reason;
    ASSERT_TRUE(
        table.open(QStringLiteral(LINOVEX_SHIPPED_TABLE), DbfTable::Mode::ReadOnly, &reason));
    EXPECT_EQ(table.fieldCount(), 19);
    EXPECT_EQ(table.fieldName(1), QByteArray("language2"));
    EXPECT_EQ(DbfTable::checkFile(QStringLiteral(LINOVEX_SHIPPED_TABLE)), QString());
}

} // namespace
