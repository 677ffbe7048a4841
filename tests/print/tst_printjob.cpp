#include "print/PdfPages.h"
#include "print/PrintJob.h"
#include "raster/DibImage.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A picture of one colour, 24 bits.
Dib solidPicture(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return Dib(imageToDib(image));
}

TDrawElement line(TPointD from, TPointD to)
{
    TDrawElement e {};
    e.ChainPos = 0;
    e.Kind = KindLine;
    e.Start = from;
    e.End = to;
    return e;
}

bool dark(QRgb c)
{
    return qGray(c) < 64;
}

QRect darkArea(const QImage &page)
{
    return linovex::test::areaOf(page, dark);
}

QPageLayout a4(double marginMm = 0)
{
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
        QMarginsF(marginMm, marginMm, marginMm, marginMm), QPageLayout::Millimeter);
}

class PdfPrint : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    // Prints `picture` at 72 dpi and gives the rendered page; skips without pdftoppm.
    QImage printAndRender(
        const TDibRec &picture, const TPrintChoices &choices, const QPageLayout &layout = a4())
    {
        const QString pdf = m_dir.filePath(QStringLiteral("print.pdf"));
        const TPrintResult result = printToPdfFile(pdf, layout, 72, picture, choices);
        EXPECT_TRUE(result.ok) << result.detail.toStdString();
        const auto pages = linovex::test::renderPdfPages(pdf, m_dir.path());
        if (!pages)
            return {};
        EXPECT_EQ(pages->size(), 1);
        return pages->isEmpty() ? QImage() : pages->first();
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST(PrintPicture, DrawingOverThePictureOrOverWhiteWithoutMarkers)
{
    const Dib picture = solidPicture(60, 40, qRgb(0, 0, 255));
    TElementList elements;
    *elements.Append() = line({ 10, 20 }, { 50, 20 });

    const Dib with = composePrintPicture(picture.rec(), elements, Qt::red, 3, true);
    ASSERT_FALSE(with.isNull());
    const QImage a = dibToImage(with.rec());
    EXPECT_EQ(a.size(), QSize(60, 40));
    EXPECT_EQ(a.pixel(30, 20), qRgb(255, 0, 0));
    EXPECT_EQ(a.pixel(30, 5), qRgb(0, 0, 255));
    // Where a node marker's ring would lie on screen (6 pixels from the start point), the
    // printed picture shows the background.
    EXPECT_EQ(a.pixel(4, 14), qRgb(0, 0, 255));
    EXPECT_EQ(a.pixel(16, 26), qRgb(0, 0, 255));

    const Dib without = composePrintPicture(picture.rec(), elements, Qt::red, 3, false);
    ASSERT_FALSE(without.isNull());
    const QImage b = dibToImage(without.rec());
    EXPECT_EQ(b.size(), QSize(60, 40));
    EXPECT_EQ(b.pixel(30, 20), qRgb(255, 0, 0));
    EXPECT_EQ(b.pixel(30, 5), qRgb(255, 255, 255));
    EXPECT_EQ(b.pixel(4, 14), qRgb(255, 255, 255));

    EXPECT_TRUE(composePrintPicture(TDibRec {}, elements, Qt::red, 3, true).isNull());
}

TEST_F(PdfPrint, OnePageWithThePictureAtTheComputedRectangle)
{
    const Dib picture = solidPicture(320, 320, qRgb(0, 0, 0));
    // A4 at 72 dpi is 595 x 842 points. Full page with the aspect kept: 595 x 595, centred
    // at y = (842 - 595) div 2 = 123.
    QImage page = printAndRender(picture.rec(), TPrintChoices { true, true, true, 50, 50 });
    if (page.isNull())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    EXPECT_EQ(page.size(), QSize(595, 842));
    const QRect full = darkArea(page);
    const QRect expected(0, 123, 595, 595);
    EXPECT_LE(std::abs(full.left() - expected.left()), 1) << full.left();
    EXPECT_LE(std::abs(full.top() - expected.top()), 1) << full.top();
    EXPECT_LE(std::abs(full.right() - expected.right()), 1) << full.right();
    EXPECT_LE(std::abs(full.bottom() - expected.bottom()), 1) << full.bottom();

    // User-defined 50 % x 35 %, not centred: RoundEven(297.5) = 298 by RoundEven(294.7) = 295
    // at the page's corner.
    page = printAndRender(picture.rec(), TPrintChoices { false, true, false, 50, 35 });
    const QRect part = darkArea(page);
    EXPECT_LE(std::abs(part.left() - 0), 1) << part.left();
    EXPECT_LE(std::abs(part.top() - 0), 1) << part.top();
    EXPECT_LE(std::abs(part.width() - 298), 1) << part.width();
    EXPECT_LE(std::abs(part.height() - 295), 1) << part.height();
}

TEST_F(PdfPrint, TheLayoutStartsAtThePrintableAreaInsideTheMargins)
{
    const Dib picture = solidPicture(100, 50, qRgb(0, 0, 0));
    // 20 mm margins are 56.7 points; the printable page is about 482 x 729 points and the
    // picture is laid out in it, not on the whole sheet.
    const QImage page =
        printAndRender(picture.rec(), TPrintChoices { true, true, false, 50, 50 }, a4(20));
    if (page.isNull())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    const QRect area = darkArea(page);
    EXPECT_LE(std::abs(area.left() - 57), 1) << area.left();
    EXPECT_LE(std::abs(area.top() - 57), 1) << area.top();
    EXPECT_LE(std::abs(area.width() - 482), 2) << area.width();
    EXPECT_LE(std::abs(area.height() - 241), 2) << area.height();
}

TEST_F(PdfPrint, AFileThatCannotBeWrittenIsReportedAndNothingIsLeft)
{
    const Dib picture = solidPicture(10, 10, qRgb(0, 0, 0));
    const QString missing = m_dir.filePath(QStringLiteral("no-such-folder/print.pdf"));
    const TPrintResult result = printToPdfFile(missing, a4(), 72, picture.rec(), {});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.messageNumber, 12);
    EXPECT_EQ(result.fileName, missing);
    EXPECT_FALSE(QFile::exists(missing));

    // A print that cannot replace an older file leaves that file as it was.
    const QString old = m_dir.filePath(QStringLiteral("old.pdf"));
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("older");
    }
    ASSERT_TRUE(
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const TPrintResult refused = printToPdfFile(old, a4(), 72, picture.rec(), {});
    QFile::setPermissions(
        m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (refused.ok)
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    QFile f(old);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("older"));
}
