// The editor's automatic tracing: the tool, the menu command, the preview and taking it over.
#include "PromptRecorder.h"
#include "app/TMainForm.h"
#include "app/TTraceForm.h"
#include "document/UndoHistory.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A shown main window with its own data folder and settings, driven with real mouse and key
// events.
class MainFormTrace : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        linovex::test::useScratchProgramFolders(dir.path());
        form = std::make_unique<TMainForm>();
        prompts.yesNoAnswer = true;
        prompts.install(*form);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
        box = form->findChild<QWidget *>(QStringLiteral("PaintBox1"));
    }

    QAction *act(const char *name) { return form->findChild<QAction *>(QLatin1String(name)); }
    void load(const QImage &image)
    {
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(image.save(path, "PNG"));
        ASSERT_TRUE(form->LadeBild(path));
    }
    void waitForTrace()
    {
        QTRY_VERIFY_WITH_TIMEOUT(!form->traceRunning(), 20000);
        QCoreApplication::processEvents();
    }
    QByteArray projectBytes(const char *name)
    {
        const QString path = dir.filePath(QLatin1String(name));
        form->saveprojekt(path);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    QString resultText() { return form->traceForm()->ErgebnisLabel->text(); }

    QTemporaryDir dir;
    PromptRecorder prompts;
    std::unique_ptr<TMainForm> form;
    QWidget *box = nullptr;
};

// A square, and a washer (a ring) right of it, on white.
QImage shapes(int w = 400, int h = 300)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawRect(QRectF(40, 40, 80, 80));
    QPainterPath washer;
    washer.addEllipse(QPointF(250, 150), 60, 60);
    washer.addEllipse(QPointF(250, 150), 25, 25);
    p.drawPath(washer);
    return image;
}

void expectWithin(const std::vector<TDrawElement> &elements, QRectF box)
{
    ASSERT_FALSE(elements.empty());
    for (const TDrawElement &e : elements) {
        EXPECT_TRUE(box.contains(e.Start.x, e.Start.y)) << e.Start.x << ' ' << e.Start.y;
        EXPECT_TRUE(box.contains(e.End.x, e.End.y)) << e.End.x << ' ' << e.End.y;
    }
}

} // namespace

TEST_F(MainFormTrace, TheWholePictureIsPreviewedAndTakenOverAsOneUndoStep)
{
    load(shapes());
    TDrawElement *line = form->elements().Append();
    *line = {};
    line->End = { 10, 290 };
    form->changeCompleted();
    const QByteArray before = projectBytes("before.lvx");
    const int steps = form->undoHistory().undoCount();

    act("Bildnachzeichnen1")->trigger();
    waitForTrace();
    // The square's outline and the washer's two circles, shown but not yet in the document.
    const std::vector<TDrawElement> preview = form->tracePreview();
    ASSERT_GE(preview.size(), 3u);
    EXPECT_EQ(form->elements().Count(), 1u);
    EXPECT_EQ(form->undoHistory().undoCount(), steps);

    // Too many elements: asked first, and a No leaves everything as it was.
    QPushButton *accept = form->traceForm()->UebernehmenBtn;
    ASSERT_TRUE(accept->isEnabled());
    form->setTraceQuestionLimit(preview.size() - 1);
    prompts.yesNoAnswer = false;
    accept->click();
    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(form->elements().Count(), 1u);
    EXPECT_EQ(form->tracePreview().size(), preview.size());
    prompts.yesNoAnswer = true;
    accept->click();
    EXPECT_EQ(form->elements().Count(), 1 + preview.size());
    EXPECT_EQ(std::memcmp(&form->elements().at(1), preview.data(), sizeof(TDrawElement)), 0);
    EXPECT_TRUE(form->tracePreview().empty());
    EXPECT_FALSE(accept->isEnabled());
    EXPECT_EQ(form->undoHistory().undoCount(), steps + 1);

    act("Rckgngig1")->trigger();
    EXPECT_EQ(projectBytes("undone.lvx"), before);
    act("Wiederherstellen1")->trigger();
    EXPECT_EQ(form->elements().Count(), 1 + preview.size());
}

TEST_F(MainFormTrace, TheToolTracesADraggedRectangleOrTheShapeUnderAClick)
{
    load(shapes());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_T);
    ASSERT_TRUE(act("TraceBtn")->isChecked());
    const QPoint origin = form->viewTransform().ImageToScreen(TPointD { 0, 0 });

    // Around the square only.
    QTest::mousePress(box, Qt::LeftButton, {}, origin + QPoint(20, 20));
    QTest::mouseMove(box, origin + QPoint(80, 80));
    QTest::mouseMove(box, origin + QPoint(150, 150));
    QTest::mouseRelease(box, Qt::LeftButton, {}, origin + QPoint(150, 150));
    waitForTrace();
    expectWithin(form->tracePreview(), QRectF(38, 38, 84, 84));

    // A click in the washer's hole takes the washer: its two circles.
    QTest::mouseClick(box, Qt::LeftButton, {}, origin + QPoint(250, 140));
    waitForTrace();
    expectWithin(form->tracePreview(), QRectF(188, 88, 124, 124));
    EXPECT_EQ(form->tracePreview().size(), 2u);
    EXPECT_EQ(form->elements().Count(), 0u);
}

TEST_F(MainFormTrace, NothingToTraceOrACancelledTraceLeavesTheDocumentAsItWas)
{
    QImage noise(300, 300, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random.bounded(2) ? 0xFFFFFFFF : 0xFF000000);
    QImage white(300, 300, QImage::Format_RGB32);
    white.fill(Qt::white);
    QImage black(300, 300, QImage::Format_RGB32);
    black.fill(Qt::black);
    const std::pair<const char *, QImage> pictures[] = {
        { "all white", white },
        { "all black", black },
        { "noise", noise },
    };
    const QString nothing = QStringLiteral(
        "Hier gibt es nichts nachzuzeichnen: keine Form, nur eine Fläche oder nur Rauschen.");
    for (const auto &[what, picture] : pictures) {
        SCOPED_TRACE(what);
        load(picture);
        const int steps = form->undoHistory().undoCount();
        act("Bildnachzeichnen1")->trigger();
        waitForTrace();
        EXPECT_TRUE(form->tracePreview().empty());
        EXPECT_EQ(resultText(), nothing);
        EXPECT_FALSE(form->traceForm()->UebernehmenBtn->isEnabled());
        EXPECT_EQ(form->elements().Count(), 0u);
        EXPECT_EQ(form->undoHistory().undoCount(), steps);
    }
    EXPECT_TRUE(prompts.messages.isEmpty());

    // Large enough that the trace is still converting the picture when it is told to stop.
    QImage many(4000, 3000, QImage::Format_RGB32);
    many.fill(Qt::white);
    {
        QPainter p(&many);
        p.setBrush(Qt::black);
        for (int y = 20; y < 3000; y += 40)
            for (int x = 20; x < 4000; x += 40)
                p.drawEllipse(QPointF(x, y), 12, 12);
    }
    load(many);
    const QByteArray before = projectBytes("before.lvx");
    act("Bildnachzeichnen1")->trigger();
    ASSERT_TRUE(form->traceRunning());
    form->cancelTrace();
    waitForTrace();
    EXPECT_TRUE(form->tracePreview().empty());
    EXPECT_EQ(resultText(), QStringLiteral("Das Nachzeichnen wurde abgebrochen."));
    EXPECT_EQ(projectBytes("after.lvx"), before);

    // A trace of a picture that was replaced meanwhile is of no use.
    act("Bildnachzeichnen1")->trigger();
    load(white);
    waitForTrace();
    EXPECT_TRUE(form->tracePreview().empty());
    EXPECT_EQ(resultText(),
        QStringLiteral("Das Bild hat sich geändert; die Nachzeichnung gilt nicht mehr."));
}

TEST_F(MainFormTrace, TheBlackAndWhiteViewUsesTheDialogsThreshold)
{
    QImage grey(200, 200, QImage::Format_RGB32);
    grey.fill(QColor(150, 150, 150));
    load(grey);
    TTraceForm *dialog = form->traceForm();
    dialog->show();
    act("SchwarzweiVorschau1")->setChecked(true);
    const QPoint inside = form->viewTransform().ImageToScreen(TPointD { 100, 100 });
    const struct
    {
        int threshold;
        QRgb shown;
    } rows[] = { { 200, qRgb(0, 0, 0) }, { 100, qRgb(255, 255, 255) }, { 151, qRgb(0, 0, 0) },
        { 150, qRgb(255, 255, 255) } };
    dialog->AutoSchwelleCheck->setChecked(false);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.threshold);
        dialog->SchwelleEd->setValue(row.threshold);
        QCoreApplication::processEvents();
        EXPECT_EQ(form->backBuffer().pixel(inside) & 0xFFFFFF, row.shown & 0xFFFFFF);
    }

    // The next run starts with the dialog as it was left.
    dialog->MittellinieBtn->setChecked(true);
    dialog->close();
    form = std::make_unique<TMainForm>();
    EXPECT_FALSE(form->traceForm()->AutoSchwelleCheck->isChecked());
    EXPECT_EQ(form->traceForm()->SchwelleEd->value(), 150);
    EXPECT_EQ(form->traceForm()->settings().mode, TraceSettings::Mode::Centerline);
}
