#include "app/EditPrompts.h"
#include "app/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr quint32 LeftCtrl = 0xFFE3;
constexpr quint32 RightCtrl = 0xFFE4;

#define EXPECT_POINT(p, X, Y)                                                                      \
    do {                                                                                           \
        EXPECT_DOUBLE_EQ((p).x, (X));                                                              \
        EXPECT_DOUBLE_EQ((p).y, (Y));                                                              \
    } while (false)

// Drives a shown main window with real mouse, key and wheel events on its drawing area. The
// window's settings go to a folder of the test's own, so stored choices neither leak in from
// the machine nor out of the test.
class MainFormTools : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsDir.isValid());
        QCoreApplication::setOrganizationName(QStringLiteral("LinovexTest"));
        QCoreApplication::setApplicationName(QStringLiteral("MainFormTools"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        open();
    }

    void open()
    {
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
        box = form->findChild<QWidget *>(QStringLiteral("PaintBox1"));
        ASSERT_NE(box, nullptr);
    }

    QAction *act(const char *name) { return form->findChild<QAction *>(QLatin1String(name)); }
    template <typename T> T *child(const char *name)
    {
        return form->findChild<T *>(QLatin1String(name));
    }

    void click(int x, int y, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(box, b, mods, QPoint(x, y));
        QTest::mouseRelease(box, b, mods, QPoint(x, y));
    }
    void drag(QPoint from, QPoint to, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(box, b, {}, from);
        QTest::mouseMove(box, to);
        QTest::mouseRelease(box, b, {}, to);
    }
    void key(QEvent::Type type, quint32 keysym)
    {
        QKeyEvent event(type, Qt::Key_Control,
            type == QEvent::KeyPress ? Qt::ControlModifier : Qt::NoModifier, 0, keysym, 0);
        QApplication::sendEvent(box, &event);
    }
    // A wheel turn over `over` (the drawing area unless named), delivered as the window
    // system's own: Qt passes only those on to the parents.
    void wheel(int angleY, QWidget *over = nullptr, Qt::KeyboardModifiers mods = {})
    {
        over = over ? over : box;
        const QPointF at(over->width() / 2, over->height() / 2);
        // Qt reports a turn with Alt held as a sideways one.
        const QPoint angle = mods & Qt::AltModifier ? QPoint(angleY, 0) : QPoint(0, angleY);
        QWheelEvent event(at, over->mapToGlobal(at), QPoint(), angle, Qt::NoButton, mods,
            Qt::NoScrollPhase, false);
        // sendEvent would mark it as the program's own; notify keeps it the window system's.
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(over, &event);
    }
    int count() { return static_cast<int>(form->elements().Count()); }
    const TDrawElement &element(int i) { return *form->elements().Get(i); }
    QColor shown(int x, int y) { return box->grab().toImage().pixelColor(x, y); }

    QTemporaryDir settingsDir;
    std::unique_ptr<TMainForm> form;
    QWidget *box = nullptr;
};

TEST_F(MainFormTools, DrawsAChainWithTheToolButtonsThenDragsANodeAndDeletesByArea)
{
    act("Linie1")->trigger();
    click(50, 50);
    QTest::mouseMove(box, QPoint(90, 60));
    click(100, 50);
    ASSERT_EQ(count(), 1);

    // A tool change while the chain is in progress continues the chain with the new kind.
    act("Bezier2")->trigger();
    click(150, 100);
    click(120, 130);
    EXPECT_EQ(count(), 1); // a cubic waits for both control points
    click(170, 140);
    click(300, 300, {}, Qt::RightButton); // ends the chain
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).Kind, KindLine);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Start, 50, 50);
    EXPECT_POINT(element(0).End, 100, 50);
    EXPECT_EQ(element(1).Kind, KindCubicBezier);
    EXPECT_EQ(element(1).ChainPos, 1);
    EXPECT_POINT(element(1).Start, 100, 50);
    EXPECT_POINT(element(1).End, 150, 100);
    EXPECT_POINT(element(1).Ctrl1, 120, 130);
    EXPECT_POINT(element(1).Ctrl2, 170, 140);
    EXPECT_FALSE(form->tools().drawing().Drawing);

    // The joint is one node: dragging it moves the end of the line and the start of the curve.
    act("Zeiger1")->trigger();
    drag({ 101, 49 }, { 101, 69 });
    EXPECT_POINT(element(0).End, 100, 70);
    EXPECT_POINT(element(1).Start, 100, 70);
    EXPECT_FALSE(form->tools().editing().NodeDragging);

    // Only the curve has points in the area; the line keeps its points and chain position.
    act("DelBtn")->trigger();
    drag({ 140, 90 }, { 180, 150 });
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).Kind, KindLine);
    EXPECT_EQ(element(0).ChainPos, 0);
    EXPECT_POINT(element(0).Start, 50, 50);
    EXPECT_POINT(element(0).End, 100, 70);
}

TEST_F(MainFormTools, CloseAndBreakButtonsEndTheChain)
{
    act("Linie1")->trigger();
    click(20, 20);
    click(60, 20);
    click(60, 60);
    act("CloseBtn")->trigger();
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(element(0).ClosesChain, 0);
    EXPECT_EQ(element(1).ClosesChain, 1);
    EXPECT_FALSE(form->tools().drawing().Drawing);

    click(200, 20);
    click(240, 20);
    act("BreakBtn")->trigger();
    EXPECT_FALSE(form->tools().drawing().Drawing);
    ASSERT_EQ(count(), 3);
    EXPECT_EQ(element(2).ClosesChain, 0);
}

TEST_F(MainFormTools, ZoomScrollBarsAndWheelRepaintOnceAndOnlyOnAChange)
{
    auto *zoomed = child<QSpinBox>("zoomed");
    auto *bar1 = child<QScrollBar>("ScrollBar1");
    auto *bar2 = child<QScrollBar>("ScrollBar2");
    const int start = form->repaintCount();
    auto repaints = [&] { return form->repaintCount() - start; };

    zoomed->setValue(200);
    EXPECT_EQ(repaints(), 1);
    zoomed->setValue(200);
    EXPECT_EQ(repaints(), 1);
    EXPECT_DOUBLE_EQ(form->navigation().zoom(), 200);

    bar1->setValue(50);
    EXPECT_EQ(repaints(), 2);
    EXPECT_EQ(form->navigation().scrollX(), 50);

    // Towards the user goes down by 20, whatever the amount; the bar follows without a
    // second repaint, and the horizontal position stays.
    wheel(-360);
    EXPECT_EQ(repaints(), 3);
    EXPECT_EQ(bar2->value(), 20);
    wheel(1);
    EXPECT_EQ(repaints(), 4);
    EXPECT_EQ(bar2->value(), 0);
    EXPECT_EQ(bar1->value(), 50);

    bar2->setValue(9990);
    EXPECT_EQ(repaints(), 5);
    wheel(-120);
    EXPECT_EQ(bar2->value(), 10000);
    EXPECT_EQ(repaints(), 6);
    wheel(-120);
    EXPECT_EQ(bar2->value(), 10000);
    EXPECT_EQ(repaints(), 6);

    // The drawing follows the view: a picture point lands where the transform puts it.
    act("Linie1")->trigger();
    zoomed->setValue(100);
    bar2->setValue(0);
    click(80, 40);
    EXPECT_POINT(form->tools().drawing().SegStart, 130, 40);
}

TEST_F(MainFormTools, WheelOverTheDrawingRulersAndBarsScrollsOnlyVertically)
{
    auto *bar1 = child<QScrollBar>("ScrollBar1");
    auto *bar2 = child<QScrollBar>("ScrollBar2");
    for (const char *name : { "PaintBox1", "PaintBox2", "PaintBox3", "ScrollBar1", "ScrollBar2" }) {
        SCOPED_TRACE(name);
        bar1->setValue(50);
        bar2->setValue(100);
        auto *over = child<QWidget>(name);
        wheel(-120, over);
        EXPECT_EQ(bar2->value(), 120);
        wheel(360, over, Qt::ShiftModifier | Qt::AltModifier);
        EXPECT_EQ(bar2->value(), 100);
        EXPECT_EQ(bar1->value(), 50);
    }

    // The spin fields keep their own wheel: it steps their value and leaves the view alone.
    auto *zoomed = child<QSpinBox>("zoomed");
    wheel(120, zoomed);
    EXPECT_EQ(zoomed->value(), 110);
    EXPECT_EQ(bar2->value(), 100);
}

TEST_F(MainFormTools, PanDragScrollsBothBarsAndTheRightButtonNeverPans)
{
    auto *bar1 = child<QScrollBar>("ScrollBar1");
    auto *bar2 = child<QScrollBar>("ScrollBar2");
    act("HandBtn")->trigger();

    drag({ 10, 10 }, { 60, 60 }, Qt::RightButton);
    EXPECT_EQ(bar1->value(), 0);
    EXPECT_EQ(bar2->value(), 0);
    EXPECT_FALSE(form->navigation().PanActive());

    const int start = form->repaintCount();
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(form->navigation().PanActive());
    QTest::mouseMove(box, QPoint(65, 40));
    EXPECT_EQ(bar1->value(), -15);
    EXPECT_EQ(bar2->value(), 10);
    EXPECT_EQ(form->repaintCount() - start, 1);
    QTest::mouseMove(box, QPoint(65, 30)); // purely vertical
    EXPECT_EQ(bar1->value(), -15);
    EXPECT_EQ(bar2->value(), 20);
    EXPECT_EQ(form->repaintCount() - start, 2);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(65, 30));
    EXPECT_FALSE(form->navigation().PanActive());
    EXPECT_EQ(form->repaintCount() - start, 2);
    EXPECT_EQ(count(), 0);
}

TEST_F(MainFormTools, BackAndForwardButtonsAreIgnoredInTheDrawingArea)
{
    act("Linie1")->trigger();
    click(100, 100);
    click(150, 100);
    click(300, 300, {}, Qt::RightButton);
    ASSERT_EQ(count(), 1);
    auto *bar1 = child<QScrollBar>("ScrollBar1");
    for (const Qt::MouseButton b : { Qt::BackButton, Qt::ForwardButton }) {
        act("Linie1")->trigger();
        click(50, 50, {}, b);
        EXPECT_FALSE(form->tools().drawing().Drawing);

        act("HandBtn")->trigger();
        drag({ 50, 50 }, { 90, 80 }, b);
        EXPECT_FALSE(form->navigation().PanActive());
        EXPECT_EQ(bar1->value(), 0);

        // Neither starts an area drag nor ends the one the left button started.
        act("DelBtn")->trigger();
        drag({ 90, 90 }, { 160, 110 }, b);
        EXPECT_FALSE(form->tools().editing().AreaDeleting);
        QTest::mousePress(box, Qt::LeftButton, {}, QPoint(10, 10));
        ASSERT_TRUE(form->tools().editing().AreaDeleting);
        click(40, 40, {}, b);
        EXPECT_TRUE(form->tools().editing().AreaDeleting);
        QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(40, 40));
        EXPECT_FALSE(form->tools().editing().AreaDeleting);
        EXPECT_EQ(count(), 1);
    }
}

TEST_F(MainFormTools, OnlyTheLeftCtrlKeyMakesACircle)
{
    act("CircleBtn")->trigger();
    key(QEvent::KeyPress, LeftCtrl);
    click(100, 100);
    click(130, 90, Qt::ControlModifier); // 30 right, 10 up
    key(QEvent::KeyRelease, LeftCtrl);
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(element(0).Kind, KindEllipse);
    EXPECT_POINT(element(0).End, 110, 90);

    key(QEvent::KeyPress, RightCtrl);
    click(300, 100);
    click(330, 90, Qt::ControlModifier);
    key(QEvent::KeyRelease, RightCtrl);
    ASSERT_EQ(count(), 2);
    EXPECT_POINT(element(1).End, 330, 90);

    // A left key whose release went to another window is forgotten when the focus goes.
    key(QEvent::KeyPress, LeftCtrl);
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(form.get(), &deactivate);
    click(300, 200);
    click(330, 190, Qt::ControlModifier);
    ASSERT_EQ(count(), 3);
    EXPECT_POINT(element(2).End, 330, 190);
}

TEST_F(MainFormTools, HelperLinesFollowThePointerAndStopWhenUnchecked)
{
    QTest::mouseMove(box, QPoint(30, 40));
    ASSERT_TRUE(form->helperLines().HelperLinesShown());
    EXPECT_EQ(form->helperLines().HelperLineX(), 30);
    EXPECT_EQ(form->helperLines().HelperLineY(), 40);
    // Inverted white ground on both lines, untouched beside them.
    EXPECT_EQ(shown(30, 10), QColor(Qt::black));
    EXPECT_EQ(shown(100, 40), QColor(Qt::black));
    EXPECT_EQ(shown(31, 10), QColor(Qt::white));

    QTest::mouseMove(box, QPoint(60, 70));
    EXPECT_EQ(shown(30, 10), QColor(Qt::white));
    EXPECT_EQ(shown(60, 10), QColor(Qt::black));

    // A repaint of the drawing copies the buffer over the crosshair.
    form->Repaint();
    EXPECT_FALSE(form->helperLines().HelperLinesShown());
    EXPECT_EQ(shown(60, 10), QColor(Qt::white));

    QTest::mouseMove(box, QPoint(80, 90));
    act("Hilfslinienanzeigen1")->trigger();
    EXPECT_FALSE(act("Hilfslinienanzeigen1")->isChecked());
    EXPECT_TRUE(form->helperLines().HelperLinesShown()); // stays until the next move
    QTest::mouseMove(box, QPoint(85, 95));
    EXPECT_FALSE(form->helperLines().HelperLinesShown());
    EXPECT_EQ(shown(80, 10), QColor(Qt::white));
    EXPECT_EQ(shown(85, 10), QColor(Qt::white));
}

TEST_F(MainFormTools, RubberBandShowsOverTheDrawingTogetherWithTheCrosshair)
{
    act("Linie1")->trigger();
    click(20, 100);
    QTest::mouseMove(box, QPoint(200, 100));
    // The pen is red and 3 pixels wide at zoom 100; the helper lines run over it.
    EXPECT_EQ(shown(100, 99), QColor(Qt::red));
    EXPECT_EQ(shown(100, 101), QColor(Qt::red));
    EXPECT_EQ(shown(200, 20), QColor(Qt::black));
    EXPECT_EQ(count(), 0);
}

TEST_F(MainFormTools, RulersHelperLinesAndStatusBarChoicesSurviveARestart)
{
    EXPECT_TRUE(act("Linealeanzeigen1")->isChecked());
    EXPECT_TRUE(act("Hilfslinienanzeigen1")->isChecked());
    EXPECT_TRUE(act("Statusleisteanzeigen1")->isChecked());
    EXPECT_TRUE(child<QStatusBar>("StatusBar1")->isVisible());
    const QRect before = box->geometry();

    act("Linealeanzeigen1")->trigger();
    act("Hilfslinienanzeigen1")->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(child<QWidget>("Panel2")->isHidden());
    EXPECT_TRUE(child<QWidget>("Panel4")->isHidden());
    // The drawing area takes the strips' place; the picture origin stays at its corner.
    EXPECT_EQ(box->width(), before.width() + 49);
    EXPECT_EQ(box->height(), before.height() + 49);
    act("Statusleisteanzeigen1")->trigger();
    EXPECT_TRUE(child<QStatusBar>("StatusBar1")->isHidden());

    form.reset();
    open();
    EXPECT_FALSE(act("Linealeanzeigen1")->isChecked());
    EXPECT_FALSE(act("Hilfslinienanzeigen1")->isChecked());
    EXPECT_FALSE(act("Statusleisteanzeigen1")->isChecked());
    EXPECT_TRUE(child<QStatusBar>("StatusBar1")->isHidden());
    EXPECT_TRUE(child<QWidget>("Panel2")->isHidden());
    EXPECT_TRUE(child<QWidget>("Panel4")->isHidden());

    act("Linealeanzeigen1")->trigger();
    EXPECT_FALSE(child<QWidget>("Panel2")->isHidden());
    EXPECT_FALSE(child<QWidget>("Panel4")->isHidden());
}

// At the default 72 dpi in millimetres, with no DXF settings dialog.
TEST_F(MainFormTools, StatusBarTypedLengthMeasuringAndExactPointEntry)
{
    const ReadoutUnit mm(72 / 25.39995, true);
    act("Linie1")->trigger();
    QTest::mouseMove(box, QPoint(72, 144));
    EXPECT_EQ(form->statusShown().position, QStringLiteral("X: 25.40  Y: -50.80 mm   72, 144 px"));
    EXPECT_EQ(child<QLabel>("HintLabel")->text(), QStringLiteral("Anfangspunkt klicken"));

    // Typing a length: the "1" must not choose the first tool.
    click(10, 20);
    QTest::mouseMove(box, QPoint(40, 60));
    QTest::keyClicks(box, QStringLiteral("12.7"));
    auto *field = child<QLineEdit>("LengthEd");
    ASSERT_TRUE(field->isVisible());
    EXPECT_EQ(field->text(), QStringLiteral("12.7"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(field->isVisible());
    EXPECT_TRUE(act("Linie1")->isChecked());
    ASSERT_EQ(count(), 1);
    const TPointD end = element(0).End;
    EXPECT_NEAR(std::hypot(end.x - 10, end.y - 20), mm.pixels(12.7), 1e-9);
    EXPECT_NEAR((end.x - 10) / (end.y - 20), 0.75, 1e-12);
    click(300, 300, {}, Qt::RightButton);

    // The measuring tool on its key: 720 pixels at 72 dpi, and the drawing stays as it was.
    QTest::keyClick(box, Qt::Key_M);
    ASSERT_TRUE(act("MessBtn")->isChecked());
    click(10, 100);
    click(730, 100);
    EXPECT_EQ(form->statusShown().segment, QStringLiteral("Abstand: 254.00 mm   Winkel: 0.0°"));
    EXPECT_EQ(count(), 1);

    // A double click on the line's end with the node tool asks for its position.
    std::optional<TPointD> asked;
    form->editPrompts().askPoint = [&](QWidget *, const QString &, TPointD initial, int,
                                       const QString &unit) -> std::optional<TPointD> {
        asked = initial;
        EXPECT_EQ(unit, QStringLiteral("mm"));
        return TPointD { 25.4, -12.7 };
    };
    act("Zeiger1")->trigger();
    const QPoint onEnd(static_cast<int>(std::lround(end.x)), static_cast<int>(std::lround(end.y)));
    QTest::mouseDClick(box, Qt::LeftButton, {}, onEnd);
    QCoreApplication::processEvents();
    ASSERT_TRUE(asked.has_value());
    EXPECT_NEAR(asked->x, mm.fromPicture(end).x, 1e-12);
    const TPointD target = mm.toPicture({ 25.4, -12.7 });
    EXPECT_EQ(element(0).End, target);
    // The drag the double click began is over: the point stays when the pointer moves on.
    QTest::mouseMove(box, QPoint(200, 200));
    EXPECT_EQ(element(0).End, target);

    act("Rckgngig1")->trigger();
    EXPECT_EQ(element(0).End, end);
    act("Wiederherstellen1")->trigger();
    EXPECT_EQ(element(0).End, target);
}

} // namespace
