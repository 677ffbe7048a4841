// The main window's metafile, SVG and picture menu items.

#include "PromptRecorder.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "emf/EmfReader.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using linovex::test::readFile;

namespace {

class ExportMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        linovex::test::useScratchProgramFolders(m_dir.path());
        form = std::make_unique<TMainForm>();
        prompts.install(*form);
        TDrawElement *e = form->elements().Append();
        *e = {};
        e->Kind = KindLine;
        e->Start = { 10.5, 20.5 };
        e->End = { 30, 40 };
    }

    void trigger(const char *item)
    {
        QAction *a = form->findChild<QAction *>(QLatin1String(item));
        ASSERT_NE(a, nullptr) << item;
        ASSERT_TRUE(a->isEnabled()) << item;
        a->trigger();
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    PromptRecorder prompts;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(ExportMenuTest, MetafileIsRecordedAtTheCurrentZoomAgainstTheScreen)
{
    form->findChild<QSpinBox *>(QStringLiteral("zoomed"))->setValue(200);
    prompts.fileAnswer = path("lines.emf");
    trigger("LinienalsDXFexportieren1");
    EXPECT_EQ(prompts.fileDialogs, QStringList { QStringLiteral("SaveDialog4") });
    EXPECT_TRUE(prompts.messages.isEmpty());
    const QByteArray bytes = readFile(prompts.fileAnswer);
    const emf::ReadResult r =
        emf::read(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
    ASSERT_TRUE(r.ok) << r.error;
    const QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(r.header.device.cx, screen->size().width()) << "counted in logical pixels";
    bool line = false;
    for (const emf::Record &rec : r.records) {
        if (rec.type == emf::EMR_LINETO) {
            EXPECT_EQ(rec.points()[0].x, 60);
            EXPECT_EQ(rec.points()[0].y, 80);
            line = true;
        }
    }
    EXPECT_TRUE(line);
}

TEST_F(ExportMenuTest, CancelledDialogsWriteNothingAndFailuresNameTheFile)
{
    prompts.fileAnswer.clear();
    for (const char *item : { "LinienalsDXFexportieren1", "LinienalsSVGspeichern1",
             "AlsBildspeichern1", "AlsBildspeichernnurLinien1" })
        trigger(item);
    EXPECT_EQ(prompts.fileDialogs,
        (QStringList { QStringLiteral("SaveDialog4"), QStringLiteral("SaveDialog2"),
            QStringLiteral("SaveDialog1"), QStringLiteral("SaveDialog1") }));
    EXPECT_TRUE(prompts.messages.isEmpty());

    prompts.fileAnswer = path("missing/out.x");
    for (const char *item : { "LinienalsDXFexportieren1", "LinienalsSVGspeichern1",
             "AlsBildspeichern1", "AlsBildspeichernnurLinien1" })
        trigger(item);
    ASSERT_EQ(prompts.messages.size(), 4);
    for (const QString &m : prompts.messages)
        EXPECT_TRUE(m.contains(prompts.fileAnswer)) << m.toStdString();
    EXPECT_EQ(prompts.messages[0],
        QStringLiteral("Datei %1 kann nicht erstellt werden").arg(prompts.fileAnswer));
}

TEST_F(ExportMenuTest, PicturesAndSvgUseThePictureSize)
{
    QImage blue(50, 40, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(path("blue.png")));
    ASSERT_TRUE(form->LadeBild(path("blue.png")));

    prompts.fileAnswer = path("with.png");
    trigger("AlsBildspeichern1");
    prompts.fileAnswer = path("without.bmp");
    trigger("AlsBildspeichernnurLinien1");
    prompts.fileAnswer = path("lines.svg");
    trigger("LinienalsSVGspeichern1");
    EXPECT_TRUE(prompts.messages.isEmpty());

    const QImage with(path("with.png"));
    const QImage without(path("without.bmp"));
    ASSERT_EQ(with.size(), QSize(50, 40));
    ASSERT_EQ(without.size(), QSize(50, 40));
    EXPECT_EQ(with.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(without.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(with.pixel(20, 30), qRgb(255, 0, 0)) << "a point of the line at 100 %";
    EXPECT_TRUE(readFile(path("lines.svg")).contains("viewBox=\"0 0 50 40\""));
}
