#include "PromptRecorder.h"
#include "app/EditPrompts.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "base/Cp1252.h"
#include "document/UndoHistory.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/DbfTable.h"
#include "support/TestSupport.h"
#include "view/CanvasPainter.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace {

// A shown main window with its own data folder and settings, driven with real mouse and key
// events; its questions are answered by the test.
class MainFormEdit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        linovex::test::useScratchProgramFolders(dir.path());
        form = std::make_unique<TMainForm>();
        prompts.yesNoAnswer = true;
        prompts.colorAnswer = QColor(Qt::blue);
        prompts.install(*form);
        form->editPrompts().askDistance = [this](QWidget *, const QString &, const QString &) {
            return distanceAnswer;
        };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
        box = form->findChild<QWidget *>(QStringLiteral("PaintBox1"));
    }

    QAction *act(const char *name) { return form->findChild<QAction *>(QLatin1String(name)); }
    void click(int x, int y, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(box, b, {}, QPoint(x, y));
        QTest::mouseRelease(box, b, {}, QPoint(x, y));
    }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(box, Qt::LeftButton, {}, from);
        QTest::mouseMove(box, (from + to) / 2);
        QTest::mouseMove(box, to);
        QTest::mouseRelease(box, Qt::LeftButton, {}, to);
    }
    // Read through the window's read-only access, which leaves its kept painting alone.
    const TElementList &list() const { return std::as_const(*form).elements(); }
    int count() { return static_cast<int>(list().Count()); }
    const TDrawElement &element(int i) { return list().at(i); }
    void undo() { act("Rckgngig1")->trigger(); }
    void redo() { act("Wiederherstellen1")->trigger(); }
    // A chain of two lines: (50,50) - (100,50) - (100,100).
    void drawTwoLines()
    {
        act("Linie1")->trigger();
        click(50, 50);
        click(100, 50);
        click(100, 100);
        click(0, 0, Qt::RightButton);
    }
    // The drawing area as the painter makes it afresh from the window's document and view.
    QImage freshPaint()
    {
        TPaintScene scene;
        scene.picture = &form->picture().rec();
        scene.elements = &list();
        scene.penColor = form->penColor();
        scene.lineWidth = form->lineWidth();
        scene.view = form->viewTransform();
        scene.ShowPicCheck = form->showPicture();
        scene.Zeiger1Down = act("Zeiger1")->isChecked();
        scene.HandBtnDown = act("HandBtn")->isChecked();
        scene.fadePercent = form->fadePercent();
        scene.device.screenColorDepth = form->screen()->depth();
        scene.devicePixelRatio = box->devicePixelRatioF();
        QImage expected;
        ::PaintBox1Paint(expected, box->size(), scene);
        return expected;
    }
    QString writePicture(const char *name, int w, int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::green);
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    QTemporaryDir dir;
    PromptRecorder prompts;
    std::unique_ptr<TMainForm> form;
    QWidget *box = nullptr;
    std::optional<double> distanceAnswer;
};

TEST_F(MainFormEdit, DrawingStepsUndoOneAtATimeAndANewChangeClearsRedo)
{
    drawTwoLines();
    ASSERT_EQ(count(), 2);
    act("CloseBtn")->trigger();
    ASSERT_EQ(element(1).ClosesChain, 1);

    undo(); // the closing
    EXPECT_EQ(element(1).ClosesChain, 0);
    undo(); // the second line
    EXPECT_EQ(count(), 1);
    redo();
    ASSERT_EQ(count(), 2);
    EXPECT_DOUBLE_EQ(element(1).End.y, 100);
    EXPECT_TRUE(act("Wiederherstellen1")->isEnabled());

    click(300, 300); // the line tool is still down: a new chain starts, nothing changes yet
    EXPECT_TRUE(act("Wiederherstellen1")->isEnabled());
    click(320, 300);
    EXPECT_FALSE(act("Wiederherstellen1")->isEnabled());
    EXPECT_EQ(count(), 3);
}

TEST_F(MainFormEdit, UndoDuringAChainEndsItFirst)
{
    act("Bezier2")->trigger();
    click(50, 50);
    click(100, 50);
    click(60, 20);
    click(90, 20);
    ASSERT_EQ(count(), 1);
    click(150, 50); // the end of the next cubic curve is placed, the curve is not complete
    ASSERT_TRUE(form->tools().drawing().Drawing);

    undo();
    EXPECT_FALSE(form->tools().drawing().Drawing);
    EXPECT_EQ(count(), 0);
    // The next press starts a new chain.
    click(200, 200);
    click(250, 200);
    click(220, 180);
    click(240, 180);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).ChainPos, 0);
}

TEST_F(MainFormEdit, ANodeDragAndAnAreaMoveAreOneStepEach)
{
    drawTwoLines();
    const int steps = form->undoHistory().undoCount();

    act("Zeiger1")->trigger();
    drag(QPoint(100, 50), QPoint(130, 70));
    ASSERT_DOUBLE_EQ(element(0).End.x, 130);
    EXPECT_EQ(form->undoHistory().undoCount(), steps + 1);

    // Pick up the chain, carry it without a button and put it down with a click.
    act("VerschiebBtn")->trigger();
    drag(QPoint(40, 40), QPoint(60, 60));
    QTest::mouseMove(box, QPoint(70, 80));
    QTest::mouseMove(box, QPoint(80, 90));
    EXPECT_EQ(form->undoHistory().undoCount(), steps + 1);
    act("Linie1")->trigger();
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(80, 90));
    ASSERT_DOUBLE_EQ(element(0).Start.x, 70);
    EXPECT_EQ(form->undoHistory().undoCount(), steps + 2);

    undo();
    EXPECT_DOUBLE_EQ(element(0).Start.x, 50);
    EXPECT_DOUBLE_EQ(element(0).End.x, 130);
    // Nothing is carried after an undo, although the restored records are selected.
    QTest::mouseMove(box, QPoint(200, 200));
    EXPECT_DOUBLE_EQ(element(0).Start.x, 50);
    undo();
    EXPECT_DOUBLE_EQ(element(0).End.x, 100);
    EXPECT_DOUBLE_EQ(element(1).Start.x, 100);
}

TEST_F(MainFormEdit, AreaDeleteLinienNeuPictureColourWidthAndProjectAreSteps)
{
    drawTwoLines();
    act("DelBtn")->trigger();
    drag(QPoint(95, 95), QPoint(105, 105));
    ASSERT_EQ(count(), 1);
    undo();
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(1).ChainPos, 1);

    act("Neu1")->trigger();
    ASSERT_EQ(count(), 0);
    undo();
    EXPECT_EQ(count(), 2);

    ASSERT_TRUE(form->LadeBild(writePicture("p.png", 40, 30)));
    ASSERT_EQ(form->picture().width(), 40);
    undo();
    EXPECT_EQ(form->picture().width(), 320);
    redo();
    EXPECT_EQ(form->picture().width(), 40);

    act("ChooseColorBtn")->trigger();
    ASSERT_EQ(form->penColor(), QColor(Qt::blue));
    auto *width = form->findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"));
    width->setValue(5);
    undo();
    EXPECT_DOUBLE_EQ(form->lineWidth(), 3);
    EXPECT_DOUBLE_EQ(width->value(), 3);
    undo();
    EXPECT_EQ(form->penColor(), QColor(Qt::red));

    const QString project = dir.filePath(QStringLiteral("other.lvx"));
    form->saveprojekt(project);
    act("Neu1")->trigger();
    form->openprojekt(project);
    ASSERT_EQ(count(), 2);
    act("Neu1")->trigger();
    undo();
    undo(); // the opening
    EXPECT_EQ(count(), 0);
    EXPECT_TRUE(prompts.messages.isEmpty())
        << prompts.messages.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainFormEdit, TitleCarriesAnAsteriskWhileTheDocumentDiffersFromTheSavedOne)
{
    const QString title = form->windowTitle();
    EXPECT_FALSE(title.endsWith(QLatin1Char('*')));
    drawTwoLines();
    EXPECT_EQ(form->windowTitle(), title + QLatin1Char('*'));

    const QString project = dir.filePath(QStringLiteral("saved.lvx"));
    form->saveprojekt(project);
    EXPECT_EQ(form->windowTitle(), title);
    undo();
    EXPECT_EQ(form->windowTitle(), title + QLatin1Char('*'));
    redo();
    EXPECT_EQ(form->windowTitle(), title);
    // Selecting points changes nothing of the drawing.
    act("Zeiger1")->trigger();
    click(100, 50);
    EXPECT_EQ(form->windowTitle(), title);
    form->openprojekt(project);
    EXPECT_EQ(form->windowTitle(), title);
}

TEST_F(MainFormEdit, TwoPointsSevenHundredTwentyPixelsApartAndTwoHundredFiftyFourMillimetres)
{
    TDXFExportForm dxf(form.get());
    form->setDxfExportForm(&dxf);
    // At 50 % the two presses 360 screen pixels apart are 720 picture pixels apart.
    form->findChild<QSpinBox *>(QStringLiteral("zoomed"))->setValue(50);
    distanceAnswer = 254.0;
    act("Mastabauszweipunkten1")->trigger();
    ASSERT_TRUE(form->scalePicking());
    click(20, 30);
    EXPECT_EQ(count(), 0);
    click(380, 30);
    EXPECT_FALSE(form->scalePicking());
    EXPECT_EQ(dxf.DPIED->text(), QStringLiteral("71.99985827"));
    // The width field follows for the 320 pixels of the picture.
    EXPECT_EQ(dxf.BreitEdValue->text(), QStringLiteral("112.89"));
    EXPECT_DOUBLE_EQ(
        QSettings().value(QStringLiteral("TDXFExportForm/DPIED.Value")).toDouble(), 71.99985827);

    // A cancelled question, and the right button while picking, change nothing.
    distanceAnswer.reset();
    act("Mastabauszweipunkten1")->trigger();
    click(20, 30);
    click(200, 30);
    EXPECT_EQ(dxf.DPIED->text(), QStringLiteral("71.99985827"));
    act("Mastabauszweipunkten1")->trigger();
    click(20, 30, Qt::RightButton);
    EXPECT_FALSE(form->scalePicking());
    // A resolution beyond the field's range is held to it.
    distanceAnswer = 0.01;
    act("Mastabauszweipunkten1")->trigger();
    click(20, 30);
    click(380, 30);
    EXPECT_EQ(dxf.DPIED->value(), 10000.0);
}

TEST_F(MainFormEdit, PictureOperationsMoveTheDrawingAndUndoRestoresPictureDrawingAndResolution)
{
    TDXFExportForm dxf(form.get());
    form->setDxfExportForm(&dxf);
    ASSERT_TRUE(form->LadeBild(writePicture("turn.png", 400, 300)));
    dxf.setResolution(200, 400);
    drawTwoLines();
    const int steps = form->undoHistory().undoCount();

    act("Um90drehen1")->trigger();
    EXPECT_EQ(form->picture().width(), 300);
    EXPECT_EQ(element(0).Start.x, 250);
    EXPECT_EQ(element(0).Start.y, 50);

    // Two presses on one spot give no edge: refused, and nothing changes.
    act("Ausrichten1")->trigger();
    click(30, 30);
    click(30, 30);
    EXPECT_EQ(prompts.messages.value(0), QStringLiteral("Die beiden Punkte fallen zusammen."));
    EXPECT_EQ(form->picture().width(), 300);
    EXPECT_EQ(form->undoHistory().undoCount(), steps + 1);

    // A rectangle of 200 x 100 pixels rectified to 50 x 50 mm: the finer side decides.
    distanceAnswer = 50.0;
    act("Perspektiveentzerren1")->trigger();
    for (const QPoint p : { QPoint(20, 20), QPoint(220, 20), QPoint(220, 120), QPoint(20, 120) })
        click(p.x(), p.y());
    EXPECT_EQ(form->picture().width(), 200);
    EXPECT_NEAR(dxf.DPIED->value(), 200 * 25.39995 / 50, 1e-6);
    EXPECT_NEAR(element(0).Start.x, 230, 1e-6);

    act("Zuschneiden1")->trigger();
    drag({ 10, 10 }, { 110, 60 });
    EXPECT_EQ(form->picture().width(), 100);
    EXPECT_EQ(form->picture().height(), 50);

    undo();
    undo();
    EXPECT_NEAR(element(0).Start.x, 250, 1e-9);
    EXPECT_EQ(dxf.DPIED->value(), 200);
    undo();
    EXPECT_EQ(form->picture().width(), 400);
    EXPECT_EQ(element(0).Start.x, 50);
    redo();
    redo();
    EXPECT_EQ(form->picture().width(), 200);
    EXPECT_NEAR(dxf.DPIED->value(), 200 * 25.39995 / 50, 1e-6);
}

TEST_F(MainFormEdit, ScalePointsSnapToTheDrawing)
{
    TDXFExportForm dxf(form.get());
    form->setDxfExportForm(&dxf);
    drawTwoLines();
    distanceAnswer = 25.39995;
    act("Mastabauszweipunkten1")->trigger();
    click(53, 48); // snaps to (50, 50)
    click(97, 52); // snaps to (100, 50)
    EXPECT_EQ(dxf.DPIED->text(), QStringLiteral("50.00000000"));
    EXPECT_EQ(count(), 2);
}

TEST_F(MainFormEdit, FadeAtZeroLeavesEveryPixelAsThePainterMakesIt)
{
    ASSERT_TRUE(form->LadeBild(writePicture("fade.png", 200, 150)));
    drawTwoLines();
    auto *fade = form->findChild<QSpinBox *>(QStringLiteral("FadeEd"));
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->minimum(), 0);
    EXPECT_EQ(fade->maximum(), 90);
    EXPECT_EQ(fade->value(), 0);

    const QImage expected = freshPaint();
    form->Repaint();
    EXPECT_EQ(form->backBuffer(), expected);
    fade->setValue(50);
    EXPECT_EQ(form->fadePercent(), 50);
    // The picture under the drawing is lighter; the file's picture is not touched.
    EXPECT_NE(form->backBuffer(), expected);
    EXPECT_EQ(form->picture().width(), 200);
    fade->setValue(0);
    EXPECT_EQ(form->backBuffer(), expected);
}

TEST_F(MainFormEdit, EveryChangeOfDocumentOrViewShowsWhatAFreshPaintShows)
{
    // The window keeps the painted drawing between paints; each way the document changes
    // must reach it, or the area would go on showing what was there before.
    auto *scrollX = form->findChild<QScrollBar *>(QStringLiteral("ScrollBar1"));
    auto *scrollY = form->findChild<QScrollBar *>(QStringLiteral("ScrollBar2"));
    auto *width = form->findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"));
    const std::pair<const char *, std::function<void()>> steps[] = {
        { "draw", [&] { drawTwoLines(); } },
        { "typed length",
            [&] {
                act("Linie1")->trigger();
                click(60, 40);
                QTest::mouseMove(box, QPoint(90, 80));
                QTest::keyClicks(box, QStringLiteral("20"));
                QTest::keyClick(
                    form->findChild<QLineEdit *>(QStringLiteral("LengthEd")), Qt::Key_Return);
                click(300, 300, Qt::RightButton);
            } },
        { "point entry",
            [&] {
                form->editPrompts().askPoint = [](QWidget *, const QString &, TPointD, int,
                                                   const QString &) -> std::optional<TPointD> {
                    return TPointD { 40, -30 };
                };
                act("Zeiger1")->trigger();
                QTest::mouseDClick(box, Qt::LeftButton, {}, QPoint(60, 40));
                QCoreApplication::processEvents();
            } },
        { "scroll", [&] { scrollX->setValue(-30); } },
        { "draw on",
            [&] {
                act("Linie1")->trigger();
                click(150, 60);
                click(190, 120);
                click(130, 140);
            } },
        { "close", [&] { act("CloseBtn")->trigger(); } },
        { "wheel", [&] { scrollY->setValue(-20); } },
        { "area delete",
            [&] {
                act("DelBtn")->trigger();
                drag(QPoint(85, 95), QPoint(140, 125));
            } },
        { "undo", [&] { undo(); } },
        { "redo", [&] { redo(); } },
        { "area move",
            [&] {
                act("VerschiebBtn")->trigger();
                drag(QPoint(160, 50), QPoint(240, 150));
                act("Linie1")->trigger();
                QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(200, 100));
            } },
        { "width", [&] { width->setValue(6); } },
        { "scroll back", [&] { scrollX->setValue(0); } },
        { "new", [&] { act("Neu1")->trigger(); } },
    };
    for (const auto &[name, step] : steps) {
        step();
        form->Repaint();
        ASSERT_EQ(form->backBuffer(), freshPaint()) << name;
    }
}

TEST_F(MainFormEdit, KeysChooseToolsEndChainsUndoAndZoom)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_2);
    EXPECT_TRUE(act("Linie1")->isChecked());
    QTest::keyClick(form.get(), Qt::Key_7);
    EXPECT_TRUE(act("Zeiger1")->isChecked());
    QTest::keyClick(form.get(), Qt::Key_2);
    click(50, 50);
    click(100, 50);
    ASSERT_TRUE(form->tools().drawing().Drawing);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->tools().drawing().Drawing);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(count(), 0);
    QTest::keyClick(form.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(count(), 1);

    auto *zoom = form->findChild<QSpinBox *>(QStringLiteral("zoomed"));
    QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(zoom->value(), 130);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(zoom->value(), 100);
    zoom->setValue(10);
    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(zoom->value(), 10);

    // Digits typed into a number field stay in the field.
    auto *width = form->findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"));
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("5"));
    EXPECT_DOUBLE_EQ(width->value(), 5.0);
    EXPECT_TRUE(act("Linie1")->isChecked());
}

TEST_F(MainFormEdit, ZoomFitsThePictureShowsItAtFullSizeAndStepsAboutThePointer)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto *zoom = form->findChild<QSpinBox *>(QStringLiteral("zoomed"));
    const QSize picture(form->picture().width(), form->picture().height());

    QTest::keyClick(form.get(), Qt::Key_0, Qt::ControlModifier);
    const int fit = static_cast<int>(
        std::min(100.0 * box->width() / picture.width(), 100.0 * box->height() / picture.height()));
    EXPECT_EQ(zoom->value(), fit);
    const QRect shown = form->viewTransform().pictureRect(picture.width(), picture.height());
    EXPECT_TRUE(box->rect().contains(shown));
    EXPECT_LE(std::abs(shown.center().x() - box->rect().center().x()), 1);
    EXPECT_LE(std::abs(shown.center().y() - box->rect().center().y()), 1);

    // Over the drawing area the picture point under the pointer stays where it is.
    const QPoint at(box->width() / 3, box->height() / 4);
    QCursor::setPos(box->mapToGlobal(at));
    for (auto [key, expected] : { std::pair { Qt::Key_1, 100 }, std::pair { Qt::Key_Plus, 130 },
             std::pair { Qt::Key_Minus, 100 } }) {
        const TPointD under = form->viewTransform().ScreenToImage(at.x(), at.y());
        const int repaints = form->repaintCount();
        QTest::keyClick(form.get(), key, Qt::ControlModifier);
        EXPECT_EQ(zoom->value(), expected);
        EXPECT_EQ(form->viewTransform().ImageToScreen(under), at) << expected;
        EXPECT_EQ(form->repaintCount(), repaints + 1) << expected;
    }
    // Elsewhere the zoom field's rule holds: the scroll positions stay.
    QCursor::setPos(box->mapToGlobal(QPoint(-20, -20)));
    const int scrollX = form->scrollX();
    QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(zoom->value(), 130);
    EXPECT_EQ(form->scrollX(), scrollX);
}

TEST_F(MainFormEdit, RulersInTheExportUnitAreRemembered)
{
    QWidget *ruler = form->findChild<QWidget *>(QStringLiteral("PaintBox3"));
    const QImage pixels = ruler->grab().toImage();
    act("LinealeinMm1")->trigger();
    QCoreApplication::processEvents();
    // At 72 dpi a millimetre is 2.83 pixels: the labels change.
    EXPECT_NE(ruler->grab().toImage(), pixels);
    form.reset();
    TMainForm again;
    EXPECT_TRUE(again.findChild<QAction *>(QStringLiteral("LinealeinMm1"))->isChecked());
}

TEST_F(MainFormEdit, DocumentShortcutsWorkWhateverFieldHasTheFocus)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The drawing area has the focus from the start, not the first field of the tool bar.
    EXPECT_EQ(QApplication::focusWidget(), box);
    drawTwoLines();
    ASSERT_EQ(count(), 2);
    // The keys go where the focus is; a number field must not keep them for its own text.
    for (const char *name : { "zoomed", "WidthEd", "FadeEd" }) {
        auto *field = form->findChild<QAbstractSpinBox *>(QLatin1String(name));
        field->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), field) << name;
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(count(), 1) << name;
        QTest::keyClick(field, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(count(), 2) << name;
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(count(), 2) << name;
        // A click in the drawing area takes the focus back.
        click(0, 0, Qt::RightButton);
        EXPECT_EQ(QApplication::focusWidget(), box) << name;
    }
}

TEST_F(MainFormEdit, RecentFilesListTheLastEightNewestFirstAndOpenAgain)
{
    QStringList projects;
    for (int i = 0; i < 10; ++i) {
        projects << dir.filePath(QStringLiteral("p%1.lvx").arg(i));
        form->saveprojekt(projects.last());
    }
    auto *menu = form->findChild<QMenu *>(QStringLiteral("ZuletztgeffneteProjekte1"));
    ASSERT_NE(menu, nullptr);
    QMetaObject::invokeMethod(menu, "aboutToShow");
    ASSERT_EQ(menu->actions().size(), 8);
    EXPECT_TRUE(menu->actions().first()->text().endsWith(QStringLiteral("p9.lvx")));
    EXPECT_TRUE(menu->actions().last()->text().endsWith(QStringLiteral("p2.lvx")));

    const QString picture = writePicture("recent.png", 12, 34);
    ASSERT_TRUE(form->LadeBild(picture));
    ASSERT_TRUE(form->LadeBild(writePicture("later.png", 5, 5)));
    auto *pictures = form->findChild<QMenu *>(QStringLiteral("ZuletztgeffneteBilder1"));
    QMetaObject::invokeMethod(pictures, "aboutToShow");
    ASSERT_EQ(pictures->actions().size(), 2);
    pictures->actions().at(1)->trigger();
    EXPECT_EQ(form->picture().height(), 34);

    // An entry whose file has gone is reported once and leaves the list.
    QFile::remove(projects.last());
    QMetaObject::invokeMethod(menu, "aboutToShow");
    menu->actions().first()->trigger();
    EXPECT_EQ(prompts.messages.size(), 1);
    QMetaObject::invokeMethod(menu, "aboutToShow");
    EXPECT_EQ(menu->actions().size(), 7);
}

TEST_F(MainFormEdit, DroppedPictureOrProjectOpens)
{
    const QString picture = writePicture("drop.png", 21, 13);
    auto drop = [&](const QString &file) {
        QMimeData data;
        data.setUrls({ QUrl::fromLocalFile(file) });
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(form.get(), &event);
        QCoreApplication::processEvents();
    };
    drop(picture);
    EXPECT_EQ(form->picture().width(), 21);

    drawTwoLines();
    const QString project = dir.filePath(QStringLiteral("drop.LVX"));
    form->saveprojekt(project);
    act("Neu1")->trigger();
    drop(project);
    EXPECT_EQ(count(), 2);
}

// One run in English gathers the new captions and the texts of the new questions, so the
// translators find them in the table like every other text.
TEST(MainFormEditTexts, OneRunInEnglishPutsTheNewTextsInTheTable)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    qputenv("LINOVEX_DATA_DIR", data.toLocal8Bit());
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.filePath("settings"));
    QDir().mkpath(data);
    QFile options(data + QStringLiteral("/options.dat"));
    ASSERT_TRUE(options.open(QIODevice::WriteOnly));
    options.write(QByteArray("\x01\x00\x00\x00", 4));
    options.close();
    {
        TMainForm form;
        form.show();
    }
    DbfTable table;
    QString reason;
    ASSERT_TRUE(
        table.open(data + QStringLiteral("/translate.dbf"), DbfTable::Mode::ReadOnly, &reason))
        << reason.toStdString();
    QStringList sources;
    table.scanField(0, [&](int, const QByteArray &v) { sources << cp1252::decode(v); });
    for (const char *text :
        { "Bearbeiten", "Rückgängig", "Wiederherstellen", "Maßstab aus zwei Punkten...",
            "Zuletzt geöffnete Projekte", "Zuletzt geöffnete Bilder",
            "Bild aufhellen:", "Vergrößern", "Verkleinern", "Maßstab aus zwei Punkten",
            "Abstand der beiden Punkte in mm:", "Verwerfen", "Wiederherstellung" }) {
        EXPECT_TRUE(sources.contains(QString::fromUtf8(text))) << text;
    }
    EXPECT_EQ(sources.size(), QSet<QString>(sources.begin(), sources.end()).size());
}

} // namespace
