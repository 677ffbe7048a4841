#include "print/PrintLayout.h"

#include <gtest/gtest.h>

namespace {

const QSize PreviewBox(190, 190);
const QSize PortraitA4(4960, 7016);
const QSize LandscapeA4(7016, 4960);

TPrintChoices choices(bool useFull, bool keepAspect, bool centred, int breit = 50, int hoch = 50)
{
    return TPrintChoices { useFull, keepAspect, centred, breit, hoch };
}

} // namespace

TEST(PreviewPage, FitsThePageShapeIntoTheBoxAndCentresIt)
{
    EXPECT_EQ(previewPageRect(PreviewBox, PortraitA4), QRect(28, 0, 134, 190));
    EXPECT_EQ(previewPageRect(PreviewBox, LandscapeA4), QRect(0, 28, 190, 134));
    // A square page is not landscape: it takes the box's height, which here is the same.
    EXPECT_EQ(previewPageRect(PreviewBox, QSize(5000, 5000)), QRect(0, 0, 190, 190));
    // 190 x 1000 div 3000 = 63.33 is cut, not rounded; (190 - 63) div 2 = 63.
    EXPECT_EQ(previewPageRect(PreviewBox, QSize(1000, 3000)), QRect(63, 0, 63, 190));
    EXPECT_TRUE(previewPageRect(PreviewBox, QSize(0, 7016)).isEmpty());
    EXPECT_TRUE(previewPageRect(PreviewBox, QSize(4960, 0)).isEmpty());
}

TEST(PreviewPicture, FullPageLayouts)
{
    const QRect page = previewPageRect(PreviewBox, PortraitA4);
    // Aspect kept: the square picture takes the page's width and sits in the middle.
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(true, true, true)),
        QRect(28, 28, 134, 134));
    // Aspect not kept: stretched over the whole page.
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(true, false, true)),
        QRect(28, 0, 134, 190));
    // A picture relatively taller than the page takes the page's height:
    // 134 x 400 div 100 = 536 > 190, so w = 100 x 190 div 400 = 47.
    EXPECT_EQ(
        picturePlacement(page, QSize(100, 400), choices(true, true, true)), QRect(71, 0, 47, 190));
    // Not centred: the picture's top-left corner is the page's.
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(true, true, false)),
        QRect(28, 0, 134, 134));
    const QRect landscape = previewPageRect(PreviewBox, LandscapeA4);
    EXPECT_EQ(picturePlacement(landscape, QSize(320, 320), choices(true, true, false)),
        QRect(0, 28, 134, 134));
}

TEST(PreviewPicture, UserDefinedPercentagesRoundHalvesToEven)
{
    const QRect page = previewPageRect(PreviewBox, PortraitA4);
    // 50 % of 134 = 67 and of 190 = 95, centred at (28 + 33, 0 + 47).
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(false, false, true, 50, 50)),
        QRect(61, 47, 67, 95));
    // 35 % of 190 = 66.5 rounds to the even 66; (190 - 66) div 2 = 62.
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(false, true, true, 50, 35)),
        QRect(61, 62, 67, 66));
    // 25 % of 134 = 33.5 rounds to 34, 25 % of 190 = 47.5 rounds to 48.
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(false, false, false, 25, 25)),
        QRect(28, 0, 34, 48));
    EXPECT_EQ(picturePlacement(page, QSize(320, 320), choices(false, false, true, 100, 100)), page);
}

TEST(PreviewPicture, EmptyPictureOrPageDrawsNothing)
{
    const QRect page = previewPageRect(PreviewBox, PortraitA4);
    EXPECT_TRUE(picturePlacement(page, QSize(0, 320), choices(true, true, true)).isEmpty());
    EXPECT_TRUE(picturePlacement(page, QSize(320, 0), choices(true, true, true)).isEmpty());
    EXPECT_TRUE(picturePlacement(QRect(), QSize(320, 320), choices(true, true, true)).isEmpty());
}

TEST(PrintedPicture, UsesTheLayoutAtPrinterResolution)
{
    EXPECT_EQ(printedPictureRect(PortraitA4, QSize(320, 320), choices(true, true, true)),
        QRect(0, 1028, 4960, 4960));
    EXPECT_EQ(printedPictureRect(PortraitA4, QSize(320, 320), choices(true, false, true)),
        QRect(0, 0, 4960, 7016));
    // 50 % and 35 %: 2480 x 2455.6, rounded to 2456, centred.
    EXPECT_EQ(printedPictureRect(PortraitA4, QSize(320, 320), choices(false, true, true, 50, 35)),
        QRect(1240, 2280, 2480, 2456));
    // Products of a large page and a large picture pass 32 bits (100000 x 30000); the layout
    // must still come out right.
    EXPECT_EQ(
        printedPictureRect(QSize(100000, 140000), QSize(60000, 30000), choices(true, true, true)),
        QRect(0, 45000, 100000, 50000));
    EXPECT_EQ(
        printedPictureRect(QSize(100000, 140000), QSize(30000, 60000), choices(true, true, false)),
        QRect(0, 0, 70000, 140000));
}

TEST(Percentages, HeightFollowsWidthCutTowardZero)
{
    // Trunc(200 x 50 / 400 x 4960 / 7016) = Trunc(17.67) = 17, not the rounded 18.
    TPercentPair p = heightFollowsWidth(50, 50, QSize(400, 200), PortraitA4);
    EXPECT_EQ(p.breit, 50);
    EXPECT_EQ(p.hoch, 17);
    p = heightFollowsWidth(50, 50, QSize(320, 320), PortraitA4);
    EXPECT_EQ(p.breit, 50);
    EXPECT_EQ(p.hoch, 35);
    // The mirror: Trunc(400 x 17 / 200 x 7016 / 4960) = Trunc(48.09) = 48.
    p = widthFollowsHeight(50, 17, QSize(400, 200), PortraitA4);
    EXPECT_EQ(p.breit, 48);
    EXPECT_EQ(p.hoch, 17);
    // On a landscape page the same picture needs a larger height share.
    p = heightFollowsWidth(50, 50, QSize(320, 320), LandscapeA4);
    EXPECT_EQ(p.hoch, 70);
}

TEST(Percentages, LimitedValueBringsTheOtherBackOnce)
{
    // A tall picture at full width would need 141 % of the height: the height stops at 100 and
    // the width comes back to Trunc(200 x 100 / 400 x 7016 / 4960) = 70 so the ratio holds.
    TPercentPair p = heightFollowsWidth(100, 50, QSize(200, 400), PortraitA4);
    EXPECT_EQ(p.hoch, 100);
    EXPECT_EQ(p.breit, 70);
    // A very wide picture would need less than 1 % of the height: 1 %, and the width follows.
    p = heightFollowsWidth(2, 50, QSize(400, 200), PortraitA4);
    EXPECT_EQ(p.hoch, 1);
    EXPECT_EQ(p.breit, 2);
    // When even the brought-back value lies outside the range, it is limited and left there.
    p = heightFollowsWidth(50, 50, QSize(10000, 10), PortraitA4);
    EXPECT_EQ(p.hoch, 1);
    EXPECT_EQ(p.breit, 100);
    p = widthFollowsHeight(50, 100, QSize(400, 200), PortraitA4);
    EXPECT_EQ(p.breit, 100);
    EXPECT_EQ(p.hoch, 35);
}

TEST(Percentages, NothingToFollowWithoutPictureOrPage)
{
    TPercentPair p = heightFollowsWidth(60, 40, QSize(0, 0), PortraitA4);
    EXPECT_EQ(p.breit, 60);
    EXPECT_EQ(p.hoch, 40);
    p = widthFollowsHeight(60, 40, QSize(320, 320), QSize(0, 0));
    EXPECT_EQ(p.breit, 60);
    EXPECT_EQ(p.hoch, 40);
}
