#include "view/ui/TPaintBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

TEST(PaintBox, ForwardsEventsToTheOwnersHandlersAndLetsTheWheelThrough)
{
    QWidget parent;
    parent.resize(100, 100);
    auto *box = new TPaintBox(&parent);
    box->setGeometry(0, 0, 100, 100);

    QStringList seen;
    box->setPaintHandler([&](QPainter &p) {
        seen << QStringLiteral("paint");
        p.fillRect(box->rect(), Qt::green);
    });
    box->setMouseDownHandler([&](QMouseEvent *e) {
        seen << QStringLiteral("down %1,%2").arg(e->position().x()).arg(e->position().y());
    });
    box->setMouseMoveHandler([&](QMouseEvent *) { seen << QStringLiteral("move"); });
    box->setMouseUpHandler([&](QMouseEvent *) { seen << QStringLiteral("up"); });
    box->setWheelHandler([&](QWheelEvent *) { seen << QStringLiteral("wheel"); });

    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    seen.clear();
    box->repaint();
    EXPECT_EQ(seen, QStringList { "paint" });
    EXPECT_EQ(box->grab().toImage().pixelColor(50, 50), QColor(Qt::green));

    seen.clear();
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(10, 20));
    // Moves are reported with no button held as well: the crosshair follows the pointer.
    QTest::mouseMove(box, QPoint(30, 40));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(30, 40));
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.first(), QStringLiteral("down 10,20"));
    EXPECT_TRUE(seen.contains(QStringLiteral("move")));
    EXPECT_EQ(seen.last(), QStringLiteral("up"));

    seen.clear();
    QWheelEvent wheel(QPointF(50, 50), box->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(box, &wheel);
    EXPECT_EQ(seen, QStringList { "wheel" });
    // Left unaccepted, a real wheel turn goes on to the main window, which scrolls.
    EXPECT_FALSE(wheel.isAccepted());
}

} // namespace
