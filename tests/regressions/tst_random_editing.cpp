// Long seeded runs of random editing: every event goes to the editor as the main window hands
// it on, and the document is checked after each one and at the end. A failing run is shrunk to
// a short event list and saved where the replay of fuzzing inputs picks it up.
#include "EditingDriver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace linovex::editing;

constexpr int Runs = 200;
constexpr int EventsPerRun = 2000;

// Every fourth run keeps a short history, so that its oldest steps go during the run.
RunOptions optionsFor(std::uint32_t seed, const QString &scratch)
{
    RunOptions options;
    options.undoSteps = seed % 4 == 0 ? 12 : 100;
    options.paintEvery = 8;
    options.scratchDir = scratch;
    return options;
}

// Saves a shrunk failing run in the fuzz entry's input format: the history length, then the
// events.
QString saveRegression(
    std::uint32_t seed, const RunOptions &options, const std::vector<Event> &events)
{
    const QString folder = QStringLiteral(LINOVEX_SOURCE_DIR "/tests/data/regressions/editing");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/seed-%1").arg(seed);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const std::vector<std::uint8_t> bytes = encodeEvents(events);
    file.putChar(static_cast<char>(options.undoSteps - 1));
    file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

// The fault without the number of the event it was seen after, so that shrinking keeps to it.
std::string kindOf(const std::string &problem)
{
    const std::size_t colon = problem.find(": ");
    return colon == std::string::npos ? problem : problem.substr(colon + 2);
}

TEST(RandomEditing, seededRunsKeepEveryInvariant)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    int failures = 0;
    for (std::uint32_t seed = 1; seed <= Runs && failures < 3; ++seed) {
        const RunOptions options = optionsFor(seed, scratch.path());
        const std::vector<Event> events = randomEvents(seed, EventsPerRun);
        const std::string problem = runEvents(events, options);
        if (problem.empty())
            continue;
        ++failures;
        const std::vector<Event> shrunk =
            shrinkEvents(events, [&](const std::vector<Event> &candidate) {
                return kindOf(runEvents(candidate, options)) == kindOf(problem);
            });
        const QString saved = saveRegression(seed, options, shrunk);
        ADD_FAILURE() << "seed " << seed << ": " << problem << "\nshrunk to "
                      << runEvents(shrunk, options) << ", saved as " << saved.toStdString() << "\n"
                      << describe(shrunk);
    }
}

TEST(RandomEditing, eventListsSurviveTheirByteForm)
{
    const std::vector<Event> events = randomEvents(7, 300);
    const std::vector<std::uint8_t> bytes = encodeEvents(events);
    const std::vector<Event> back = decodeEvents(bytes);
    ASSERT_EQ(back.size(), events.size());
    EXPECT_EQ(encodeEvents(back), bytes);
    // The same seed gives the same run.
    EXPECT_EQ(encodeEvents(randomEvents(7, 300)), bytes);
}

} // namespace
