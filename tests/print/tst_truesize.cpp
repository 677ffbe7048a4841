#include "print/TrueSizePrint.h"
#include "raster/DibImage.h"
#include "raster/PdfPages.h"

#include <QImage>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(TrueSizePages, OnePageWhereTheDrawingFitsOverlappingPagesWhereItDoesNot)
{
    struct Case
    {
        QSizeF drawing, page;
        bool centre;
        int columns, rows;
        QPointF offset;
    };
    const Case cases[] = {
        { { 100, 100 }, { 210, 297 }, true, 1, 1, { 55, 98.5 } },
        { { 100, 100 }, { 210, 297 }, false, 1, 1, { 0, 0 } },
        { { 210, 297 }, { 210, 297 }, true, 1, 1, { 0, 0 } },
        { { 400, 150 }, { 210, 297 }, true, 2, 1, { 0, 73.5 } }, // 200 + 200 mm of new paper
        { { 410.5, 150 }, { 210, 297 }, true, 3, 1, { 0, 73.5 } },
        { { 600, 800 }, { 200, 287 }, false, 4, 3, { 0, 0 } },
        { { 30, 30 }, { 20, 20 }, false, 2, 2, { 0, 0 } }, // the overlap shrinks to 5 mm
        { { 0, 100 }, { 210, 297 }, true, 0, 0, { 0, 0 } },
        { { 100, 100 }, { 0, 297 }, true, 0, 0, { 0, 0 } },
    };
    for (const Case &c : cases) {
        const TTrueSizePages p = trueSizePages(c.drawing, c.page, c.centre);
        SCOPED_TRACE(c.drawing.width());
        EXPECT_EQ(p.columns, c.columns);
        EXPECT_EQ(p.rows, c.rows);
        EXPECT_EQ(p.offset, c.offset);
        if (p.count() == 0)
            continue;
        // The last page reaches the drawing's far corner, and no page is needed less.
        const QRectF last = p.pageArea(p.columns - 1, p.rows - 1);
        EXPECT_GE(last.right() + 1e-9, p.offset.x() + c.drawing.width());
        EXPECT_GE(last.bottom() + 1e-9, p.offset.y() + c.drawing.height());
        EXPECT_LT(p.pageArea(p.columns - 1, 0).left(), c.drawing.width());
    }
    // A drawing of a kilometre is counted as too many pages rather than laid out.
    EXPECT_EQ(trueSizePages({ 1e6, 100 }, { 210, 297 }, true).count(), MaxTrueSizePages + 1);
}

// The dark pixels of a rendered page region, in millimetres of the page.
QRectF darkMm(const QImage &page, const QRectF &regionMm, double dpi, int below)
{
    const double px = dpi / 25.4;
    const QRect region = QRect(QPoint(int(regionMm.left() * px), int(regionMm.top() * px)),
        QPoint(int(regionMm.right() * px), int(regionMm.bottom() * px)))
                             .intersected(page.rect());
    QRect box;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (qGray(page.pixel(x, y)) < below)
                box |= QRect(x, y, 1, 1);
    return QRectF(box.left() / px, box.top() / px, box.width() / px, box.height() / px);
}

TEST(TrueSizePdf, A400MillimetreDrawingOnA4TakesTwoPagesAndKeepsItsLengths)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 4000 x 1500 pixels at 254 dpi: 400 x 150 mm, on two A4 pages without margins, the drawing
    // centred down the page at 73.5 mm.
    QImage grey(4000, 1500, QImage::Format_RGB32);
    grey.fill(qRgb(200, 200, 200));
    const Dib picture(imageToDib(grey));
    const double ppm = 254 / 25.39995;
    TElementList elements;
    const auto line = [&](TPointD from, TPointD to) {
        TDrawElement e {};
        e.Kind = KindLine;
        e.Start = from;
        e.End = to;
        *elements.Append() = e;
    };
    line({ 50 * ppm, 75 * ppm }, { 150 * ppm, 75 * ppm }); // 100 mm
    line({ 205 * ppm, 10 * ppm }, { 205 * ppm, 30 * ppm }); // in the strip both pages show
    TTrueSizeDrawing drawing { &picture.rec(), true, &elements, Qt::black, 3, ppm };

    const QString pdf = dir.filePath(QStringLiteral("true.pdf"));
    const QPageLayout a4(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
        QPageLayout::Millimeter);
    const TPrintResult result =
        printPdfFile(pdf, a4, 600, [&](QPainter &painter, QPdfWriter &writer) {
            return paintTrueSizePages(
                painter, writer, drawing, trueSizePagesFor(writer, drawing, true));
        });
    ASSERT_TRUE(result.ok) << result.detail.toStdString();

    const PdfFile file(pdf);
    ASSERT_TRUE(file.readable());
    ASSERT_EQ(file.pageCount(), 2);
    constexpr double Dpi = 400;
    const QImage first = dibToImage(file.render({ 0, Dpi, false }).rec());
    const QImage second = dibToImage(file.render({ 1, Dpi, false }).rec());
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());

    // The line with its round ends is as long as its length plus its width.
    const QRectF l = darkMm(first, QRectF(30, 140, 140, 17), Dpi, 100);
    EXPECT_NEAR(l.width() - l.height(), 100, 0.2);
    EXPECT_NEAR(l.center().y(), 73.5 + 75, 0.2);
    // The short line lies 205 mm into the sheet: on the second page, 5 mm from its edge.
    EXPECT_NEAR(darkMm(first, QRectF(195, 80, 15, 30), Dpi, 100).center().x(), 205, 0.2);
    EXPECT_NEAR(darkMm(second, QRectF(0, 80, 15, 30), Dpi, 100).center().x(), 5, 0.2);
    // The picture fills the sheet from 73.5 to 223.5 mm down, and the second page up to 200 mm.
    const QRectF down = darkMm(first, QRectF(100, 0, 1, 297), Dpi, 230);
    EXPECT_NEAR(down.top(), 73.5, 0.2);
    EXPECT_NEAR(down.bottom(), 223.5, 0.2);
    EXPECT_NEAR(darkMm(second, QRectF(0, 120, 210, 1), Dpi, 230).right(), 200, 0.2);
}

} // namespace
