#include "view/ViewNavigation.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

TEST(ViewTransform, RoundsHalvesToTheEvenPixel)
{
    TViewTransform v { 50, 0, 0 };
    EXPECT_EQ(v.ImageToScreen(1, 3), QPoint(0, 2)); // 0.5 -> 0, 1.5 -> 2
    EXPECT_EQ(v.ImageToScreen(5, 7), QPoint(2, 4)); // 2.5 -> 2, 3.5 -> 4
    EXPECT_EQ(v.ImageToScreen(-1, -3), QPoint(0, -2));
    EXPECT_EQ(RoundEven(-2.5L), -2);
}

TEST(ViewTransform, LandsOnThePixelOfTheExtendedPrecisionQuotient)
{
    // The conversion takes a shortcut through double precision; it must round exactly as the
    // product and quotient in extended precision do, also for points that fall on a half or
    // within a rounding error of one, at any zoom.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(-30000, 30000);
    std::uniform_int_distribution<int> whole(-30000, 30000);
    for (const double zoom : { 10.0, 10.01, 33.3, 50.0, 100.0, 250.0, 1000.0, 30000.0 }) {
        const TViewTransform v { zoom, 0, 0 };
        for (int i = 0; i < 20000; ++i) {
            // Halves: odd numbers of half pixels, and their nearest neighbours in double.
            double x = (2 * whole(random) + 1) * 50 / zoom;
            if (i % 3 == 1)
                x = std::nextafter(x, i % 2 ? 1e9 : -1e9);
            else if (i % 3 == 2)
                x = anywhere(random);
            const long double z = zoom;
            EXPECT_EQ(v.imageToScreenX(x), RoundEven(z * x / 100)) << zoom << " " << x;
        }
    }
}

TEST(ViewTransform, MapsAtTheExtremeZoomsAndSubtractsTheScroll)
{
    TViewTransform low { 10, 7, -3 };
    EXPECT_EQ(low.ImageToScreen(1000, 1000), QPoint(100 - 7, 100 + 3));
    TViewTransform high { 30000, 40, 0 };
    EXPECT_EQ(high.ImageToScreen(1, 0), QPoint(300 - 40, 0));
    // And back, without rounding: drawing-area pixel 260 at scroll 40 is picture x 1.
    EXPECT_DOUBLE_EQ(high.ScreenToImage(260, 0).x, 1.0);
    EXPECT_DOUBLE_EQ((TViewTransform { 300, 10, 0 }).ScreenToImage(5, 0).x, 5.0);
}

TEST(ViewTransform, PenWidthIsTheRoundedLineWidthButAtLeastOnePixel)
{
    EXPECT_EQ((TViewTransform { 100, 0, 0 }).penWidth(0.1), 1);
    EXPECT_EQ((TViewTransform { 100, 0, 0 }).penWidth(2.5), 2);
    EXPECT_EQ((TViewTransform { 300, 0, 0 }).penWidth(2.5), 8);
    EXPECT_EQ((TViewTransform { 200, 5, 6 }).pictureRect(320, 241), QRect(-5, -6, 640, 482));
}

TEST(ViewTransform, DamagedCoordinatesSaturateInsteadOfOverflowing)
{
    TViewTransform v { 30000, -10000, 10000 };
    EXPECT_EQ(v.imageToScreenX(1e300), INT_MAX);
    EXPECT_EQ(v.imageToScreenY(-1e300), INT_MIN);
    EXPECT_EQ(v.imageToScreenX(std::nan("")), 10000);
}

TEST(ViewNavigation, ScrollPositionsClampAndReportOnlyRealChanges)
{
    TViewNavigation nav;
    EXPECT_TRUE(nav.setScrollX(25000));
    EXPECT_EQ(nav.scrollX(), 10000);
    EXPECT_FALSE(nav.setScrollX(12000)); // clamped to the same value: no redraw
    EXPECT_TRUE(nav.setScrollY(-10001));
    EXPECT_EQ(nav.scrollY(), -10000);
    EXPECT_FALSE(nav.setScrollY(-10000));
}

TEST(ViewNavigation, WheelMovesTwentyDownOrUpAndStopsAtTheEnd)
{
    TViewNavigation nav;
    nav.setScrollY(9990);
    nav.setScrollX(33);
    EXPECT_TRUE(nav.wheel(-120)); // towards the user
    EXPECT_EQ(nav.scrollY(), 10000);
    EXPECT_FALSE(nav.wheel(-120)); // nothing changes, nothing is drawn
    EXPECT_FALSE(nav.wheel(-15)); // the amount does not matter
    EXPECT_TRUE(nav.wheel(480)); // away from the user: still only 20
    EXPECT_EQ(nav.scrollY(), 9980);
    EXPECT_FALSE(nav.wheel(0));
    EXPECT_EQ(nav.scrollX(), 33);
}

TEST(ViewNavigation, ZoomChangeKeepsTheScrollPositions)
{
    TViewNavigation nav;
    nav.setScrollX(50);
    EXPECT_EQ(nav.transform().imageToScreenX(50), 0);
    EXPECT_TRUE(nav.setZoom(200));
    EXPECT_EQ(nav.scrollX(), 50);
    EXPECT_EQ(nav.transform().imageToScreenX(50), 50);
    EXPECT_FALSE(nav.setZoom(200));
    EXPECT_TRUE(nav.setZoom(5));
    EXPECT_EQ(nav.zoom(), 10);
    nav.setZoom(99999);
    EXPECT_EQ(nav.zoom(), 30000);
}

TEST(ViewNavigation, PanDragsTheContentWithTheMouseOneRedrawPerMove)
{
    TViewNavigation nav;
    EXPECT_TRUE(nav.panPress({ 100, 100 }, false, true));
    EXPECT_TRUE(nav.PanActive());
    EXPECT_TRUE(nav.panMove({ 110, 95 }));
    EXPECT_EQ(QPoint(nav.scrollX(), nav.scrollY()), QPoint(-10, 5));
    EXPECT_TRUE(nav.panMove({ 115, 90 }));
    EXPECT_EQ(QPoint(nav.scrollX(), nav.scrollY()), QPoint(-15, 10));
    EXPECT_FALSE(nav.PanStepActive());
    EXPECT_TRUE(nav.panRelease());
    EXPECT_FALSE(nav.PanActive());
    EXPECT_FALSE(nav.panMove({ 200, 200 })); // after the release the mouse moves freely
    EXPECT_EQ(QPoint(nav.scrollX(), nav.scrollY()), QPoint(-15, 10));

    // A purely vertical drag from the new position, anchored where it began.
    EXPECT_TRUE(nav.panPress({ 0, 0 }, false, true));
    EXPECT_TRUE(nav.panMove({ 0, -40 }));
    EXPECT_EQ(QPoint(nav.scrollX(), nav.scrollY()), QPoint(-15, 50));
    EXPECT_TRUE(nav.panRelease());
    EXPECT_FALSE(nav.panRelease());
}

TEST(ViewNavigation, PanNeedsThePanToolAndNeverTheRightButton)
{
    TViewNavigation nav;
    EXPECT_FALSE(nav.panPress({ 5, 5 }, true, true));
    EXPECT_FALSE(nav.PanActive());
    EXPECT_FALSE(nav.panPress({ 5, 5 }, false, false));
    EXPECT_FALSE(nav.panMove({ 50, 50 }));
    EXPECT_EQ(nav.scrollX(), 0);
}

TEST(ViewNavigation, PanClampsAtTheScrollRange)
{
    TViewNavigation nav;
    nav.setScrollX(9990);
    nav.panPress({ 0, 0 }, false, true);
    nav.panMove({ -50, 0 });
    EXPECT_EQ(nav.scrollX(), 10000);
    nav.panMove({ 2000000000, 0 });
    EXPECT_EQ(nav.scrollX(), -10000);
}

TEST(ViewNavigation, FitPutsTheWholePictureCentredIntoTheArea)
{
    struct Case
    {
        QSize area, picture;
        double zoom;
        int scrollX, scrollY;
    };
    const Case cases[] = {
        { { 800, 600 }, { 320, 320 }, 187, -101, -1 }, // 598 x 598: limited by the height
        { { 800, 600 }, { 4000, 1000 }, 20, 0, -200 }, // 800 x 200: limited by the width
        { { 800, 600 }, { 1, 1 }, 30000, -250, -150 }, // the largest zoom still fits 300 x 300
        { { 800, 600 }, { 40000, 1 }, 10, 1600, -300 }, // too wide even at 10 %: centred
    };
    for (const Case &c : cases) {
        TViewNavigation nav;
        nav.setScrollX(37);
        EXPECT_TRUE(nav.fitPicture(c.area, c.picture));
        EXPECT_EQ(nav.zoom(), c.zoom) << c.picture.width();
        EXPECT_EQ(nav.scrollX(), c.scrollX) << c.picture.width();
        EXPECT_EQ(nav.scrollY(), c.scrollY) << c.picture.width();
        const QRect shown = nav.transform().pictureRect(c.picture.width(), c.picture.height());
        if (c.zoom > TViewNavigation::MinZoom) {
            EXPECT_TRUE(QRect(QPoint(0, 0), c.area).contains(shown)) << c.picture.width();
        }
        EXPECT_FALSE(nav.fitPicture(c.area, c.picture)); // already fitted: no redraw
    }
}

TEST(ViewNavigation, ZoomAboutAPointKeepsThatPointOnItsPixel)
{
    struct Case
    {
        double from, to;
        QPoint scroll, anchor;
    };
    const Case cases[] = {
        { 100, 130, { 0, 0 }, { 400, 300 } },
        { 130, 100, { 120, -40 }, { 17, 555 } },
        { 10, 30000, { -50, -20 }, { 52, 21 } },
        { 250, 80, { 900, 900 }, { 0, 0 } },
    };
    for (const Case &c : cases) {
        TViewNavigation nav;
        nav.setZoom(c.from);
        nav.setScrollX(c.scroll.x());
        nav.setScrollY(c.scroll.y());
        const TPointD under = nav.transform().ScreenToImage(c.anchor.x(), c.anchor.y());
        EXPECT_TRUE(nav.zoomAbout(c.to, c.anchor));
        EXPECT_EQ(nav.zoom(), c.to);
        EXPECT_EQ(nav.transform().ImageToScreen(under), c.anchor) << c.from << " -> " << c.to;
    }
    // Where the scroll range ends, the zoom still changes and the scroll stops at its limit.
    TViewNavigation nav;
    nav.setScrollX(9000);
    EXPECT_TRUE(nav.zoomAbout(30000, QPoint(500, 0)));
    EXPECT_EQ(nav.scrollX(), TViewNavigation::MaxScroll);
}
