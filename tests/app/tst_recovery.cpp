#include "app/EditPrompts.h"
#include "app/TMainForm.h"
#include "document/RecoveryWriter.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The child that is killed runs this test binary again with these variables set.
const char *const ChildFlag = "LINOVEX_RECOVERY_CHILD";
const char *const ChildSettings = "LINOVEX_RECOVERY_SETTINGS";

void useFolders(const QString &data, const QString &settings)
{
    qputenv("LINOVEX_DATA_DIR", data.toLocal8Bit());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings);
}

bool waitFor(const std::function<bool()> &condition, int ms = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
    return true;
}

struct Offer
{
    int asked = 0;
    bool answer = true;
    QString restore;
    QString discard;
    void install(TMainForm &form)
    {
        form.editPrompts().askRestore = [this](QWidget *, const QString &, const QString &,
                                            const QString &r, const QString &d) {
            ++asked;
            restore = r;
            discard = d;
            return answer;
        };
    }
};

void drawThreeLines(TMainForm &form)
{
    QWidget *box = form.findChild<QWidget *>(QStringLiteral("PaintBox1"));
    form.findChild<QAction *>(QStringLiteral("Linie1"))->trigger();
    for (QPoint p : { QPoint(40, 40), QPoint(140, 40), QPoint(140, 140), QPoint(40, 140) }) {
        QTest::mousePress(box, Qt::LeftButton, {}, p);
        QTest::mouseRelease(box, Qt::LeftButton, {}, p);
    }
    form.findChild<QAction *>(QStringLiteral("CloseBtn"))->trigger();
    form.findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"))->setValue(5);
}

// Not a test of its own: the editor process that KilledEditorOffersTheDrawingAtTheNextStart
// starts and kills. It draws, waits until the recovery file holds the drawing, says so and
// goes on running until it is killed.
TEST(Recovery, ChildDrawsUntilKilled)
{
    if (qEnvironmentVariableIsEmpty(ChildFlag))
        GTEST_SKIP() << "runs only as the child of the kill test";
    useFolders(qEnvironmentVariable("LINOVEX_DATA_DIR"), qEnvironmentVariable(ChildSettings));
    TMainForm form;
    form.setRecoveryInterval(50);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    drawThreeLines(form);
    const qint64 expected = 4 + 3 * 144;
    ASSERT_TRUE(waitFor([&] {
        QFile file(form.recoveryFileName());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        // Three elements and a width of 5 at the end.
        const QByteArray bytes = file.readAll();
        double width = 0;
        if (bytes.size() > expected)
            std::memcpy(&width, bytes.constData() + bytes.size() - 8, 8);
        return bytes.size() > expected && bytes.at(0) == 3 && width == 5.0;
    }));
    std::printf("READY\n");
    std::fflush(stdout);
    waitFor([] { return false; }, 60000);
}

class RecoveryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        useFolders(data(), settings());
    }
    QString data() const { return dir.filePath(QStringLiteral("data")); }
    QString settings() const { return dir.filePath(QStringLiteral("settings")); }
    QString recoveryFile() const { return data() + QStringLiteral("/recovery.lvx"); }
    std::unique_ptr<TMainForm> start()
    {
        auto form = std::make_unique<TMainForm>();
        offer.install(*form);
        form->prompts().showMessage = [this](QWidget *, const QString &t) { messages << t; };
        form->prompts().askYesNo = [](QWidget *, const QString &, const QString &) { return true; };
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
        return form;
    }
    // A recovery file holding one line, as a crashed editor leaves it.
    void leaveRecoveryFile()
    {
        QDir().mkpath(data());
        TDrawElement e {};
        e.End = { 7, 9 };
        Dib picture = Dib::create(3, 2, 24);
        ASSERT_TRUE(writeRecoveryFile(recoveryFile(), { e }, picture.rec(), 0xFF0000, 2.5));
    }

    QTemporaryDir dir;
    Offer offer;
    QStringList messages;
};

TEST_F(RecoveryTest, KilledEditorOffersTheDrawingAtTheNextStart)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(ChildFlag), QStringLiteral("1"));
    env.insert(QLatin1String(ChildSettings), settings());
    env.insert(QStringLiteral("LINOVEX_DATA_DIR"), data());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=Recovery.ChildDrawsUntilKilled") });
    ASSERT_TRUE(child.waitForStarted());
    QByteArray output;
    QElapsedTimer timer;
    timer.start();
    while (!output.contains("READY") && timer.elapsed() < 60000
        && child.state() == QProcess::Running) {
        child.waitForReadyRead(200);
        output += child.readAllStandardOutput();
    }
    ASSERT_TRUE(output.contains("READY"))
        << output.toStdString() << child.readAllStandardError().toStdString();
    child.kill();
    ASSERT_TRUE(child.waitForFinished());
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    ASSERT_TRUE(QFileInfo::exists(recoveryFile()));

    auto form = start();
    ASSERT_TRUE(waitFor([&] { return offer.asked > 0; }));
    EXPECT_EQ(offer.asked, 1);
    EXPECT_EQ(offer.restore, QStringLiteral("Wiederherstellen"));
    EXPECT_EQ(offer.discard, QStringLiteral("Verwerfen"));
    ASSERT_EQ(form->elements().Count(), 3u);
    EXPECT_DOUBLE_EQ(form->elements().at(0).Start.x, 40);
    EXPECT_EQ(form->elements().at(2).ClosesChain, 1);
    EXPECT_DOUBLE_EQ(form->lineWidth(), 5);
    // The restored drawing is saved nowhere yet.
    EXPECT_TRUE(form->isModified());
    EXPECT_TRUE(form->windowTitle().endsWith(QLatin1Char('*')));
    EXPECT_TRUE(messages.isEmpty());

    // A normal end removes the file, so the next start asks nothing.
    form.reset();
    EXPECT_FALSE(QFileInfo::exists(recoveryFile()));
    form = start();
    QCoreApplication::processEvents();
    EXPECT_EQ(offer.asked, 1);
}

TEST_F(RecoveryTest, DiscardingRemovesTheFileAndKeepsTheBlankDrawing)
{
    leaveRecoveryFile();
    offer.answer = false;
    auto form = start();
    ASSERT_TRUE(waitFor([&] { return offer.asked > 0; }));
    EXPECT_EQ(form->elements().Count(), 0u);
    EXPECT_EQ(form->picture().width(), 320);
    EXPECT_FALSE(form->isModified());
    EXPECT_FALSE(QFileInfo::exists(recoveryFile()));
}

TEST_F(RecoveryTest, AFileOlderThanTheLastSaveIsNotOffered)
{
    leaveRecoveryFile();
    QSettings().setValue(QStringLiteral("Recovery/LastSave"),
        QDateTime::currentDateTimeUtc().addSecs(60).toMSecsSinceEpoch());
    auto form = start();
    QCoreApplication::processEvents();
    EXPECT_EQ(offer.asked, 0);
    EXPECT_FALSE(QFileInfo::exists(recoveryFile()));
}

TEST_F(RecoveryTest, WritesFollowChangesAndSavingOrUndoingToTheSavedDrawingRemovesTheFile)
{
    auto form = start();
    form->setRecoveryInterval(0);
    drawThreeLines(*form);
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(recoveryFile()); }));
    form->waitForRecovery();

    form->saveprojekt(dir.filePath(QStringLiteral("saved.lvx")));
    form->waitForRecovery();
    EXPECT_FALSE(QFileInfo::exists(recoveryFile()));

    form->findChild<QAction *>(QStringLiteral("Neu1"))->trigger();
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(recoveryFile()); }));
    form->findChild<QAction *>(QStringLiteral("Rckgngig1"))->trigger();
    form->waitForRecovery();
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFileInfo::exists(recoveryFile()));
}

TEST_F(RecoveryTest, AFolderThatCannotBeWrittenLosesNothingAndSaysNothing)
{
    auto form = start();
    QFile::setPermissions(data(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    form->setRecoveryInterval(0);
    drawThreeLines(*form);
    QTest::qWait(100);
    form->waitForRecovery();
    EXPECT_EQ(form->elements().Count(), 3u);
    EXPECT_TRUE(messages.isEmpty());
    QFile::setPermissions(
        data(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace
