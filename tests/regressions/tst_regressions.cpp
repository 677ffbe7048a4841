// Replays every input a fuzzer ever found a fault with, and the fuzzers' seed inputs, through
// the same entries the fuzz programs call. A saved input that crashes again or gives a wrong
// result fails here, in the normal suite, without clang or libFuzzer.
#include "FuzzEntries.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QStringList inputFiles(const QString &folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

void replay(const linovex::fuzz::Entry &entry, const QString &folder)
{
    for (const QString &path : inputFiles(folder)) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = file.readAll();
        const std::string problem =
            entry.run({ reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                static_cast<std::size_t>(bytes.size()) });
        EXPECT_EQ(problem, "") << path.toStdString();
    }
}

class Replay : public testing::TestWithParam<const linovex::fuzz::Entry *>
{
};

TEST_P(Replay, savedFaultsStayFixed)
{
    replay(*GetParam(),
        QStringLiteral(LINOVEX_SOURCE_DIR "/tests/data/regressions/") + GetParam()->name);
}

TEST_P(Replay, seedInputsPassTheChecks)
{
    const QString folder = QStringLiteral(LINOVEX_SOURCE_DIR "/fuzz/corpus/") + GetParam()->name;
    if (!QDir(folder).exists())
        GTEST_SKIP() << "no seeds of their own: the entry takes them from the test data";
    replay(*GetParam(), folder);
}

std::vector<const linovex::fuzz::Entry *> allEntries()
{
    std::vector<const linovex::fuzz::Entry *> all;
    for (const linovex::fuzz::Entry &e : linovex::fuzz::entries())
        all.push_back(&e);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, testing::ValuesIn(allEntries()),
    [](const testing::TestParamInfo<const linovex::fuzz::Entry *> &info) {
        return std::string(info.param->name);
    });

// The pictures of the image library's tests are the opendib entry's seeds.
TEST(ReplayPictures, testPicturesPassTheChecks)
{
    const linovex::fuzz::Entry *entry = linovex::fuzz::findEntry("opendib");
    ASSERT_NE(entry, nullptr);
    replay(*entry, QStringLiteral(LINOVEX_TEST_DATA_DIR "/raster"));
}

} // namespace
