#include "view/HelperLines.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QImage scene()
{
    QImage image(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            image.setPixel(x, y, qRgb(x * 6, y * 8, 77));
    return image;
}

} // namespace

TEST(HelperLines, DrawRemoveAndRedrawLeaveThePictureUnchanged)
{
    const QImage original = scene();
    QImage screen = original;
    THelperLines lines;
    {
        QPainter p(&screen);
        lines.update(p, 10, 12, true, QSize(60, 50));
    }
    EXPECT_TRUE(lines.HelperLinesShown());
    EXPECT_EQ(lines.HelperLineX(), 10);
    EXPECT_EQ(lines.HelperLineY(), 12);
    // The lines invert what is under them; elsewhere nothing changes, and the crossing pixel,
    // inverted by both lines, shows the picture.
    EXPECT_EQ(screen.pixel(3, 12), original.pixel(3, 12) ^ 0x00FFFFFFu);
    EXPECT_EQ(screen.pixel(10, 25), original.pixel(10, 25) ^ 0x00FFFFFFu);
    EXPECT_EQ(screen.pixel(10, 12), original.pixel(10, 12));
    EXPECT_EQ(screen.pixel(11, 13), original.pixel(11, 13));
    EXPECT_EQ(qAlpha(screen.pixel(3, 12)), 255);

    {
        QPainter p(&screen);
        lines.update(p, 10, 12, true, QSize(60, 50)); // same point: removed and redrawn
    }
    {
        QPainter p(&screen);
        lines.update(p, 30, 5, true, QSize(60, 50));
    }
    EXPECT_EQ(screen.pixel(3, 12), original.pixel(3, 12));
    EXPECT_EQ(screen.pixel(3, 5), original.pixel(3, 5) ^ 0x00FFFFFFu);
    {
        QPainter p(&screen);
        lines.update(p, 30, 5, true, QSize(60, 50));
        lines.update(p, 30, 5, false, QSize(60, 50)); // unchecked: removed, none drawn
    }
    EXPECT_FALSE(lines.HelperLinesShown());
    EXPECT_EQ(screen, original);
}

TEST(HelperLines, ACopyOfTheBufferForgetsTheCrosshair)
{
    QImage screen = scene();
    THelperLines lines;
    {
        QPainter p(&screen);
        lines.update(p, 4, 4, true, QSize(40, 30));
    }
    lines.bufferCopied();
    screen = scene(); // the copy painted over the lines
    {
        QPainter p(&screen);
        lines.update(p, 4, 4, true, QSize(40, 30));
    }
    // Had the old crosshair been "removed" again, the new one would have cancelled it.
    EXPECT_EQ(screen.pixel(0, 4), scene().pixel(0, 4) ^ 0x00FFFFFFu);
}
