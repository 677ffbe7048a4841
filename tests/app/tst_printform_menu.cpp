#include "PromptRecorder.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "print/PdfPages.h"
#include "print/ui/TPrintForm.h"
#include "raster/DibImage.h"
#include "raster/PdfPages.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPrinter>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using linovex::test::areaOf;
using linovex::test::renderPdfPages;

namespace {

// A main window with the print dialog, a PDF printer on a 595 x 842 point page without
// margins at 72 dpi (a printer pixel is a point), and prompts answered by the test.
class PrintMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        linovex::test::useScratchProgramFolders(m_dir.path());

        form = std::make_unique<TMainForm>();
        printForm = new TPrintForm(form.get());
        form->setPrintForm(printForm);
        QPrinter &printer = printForm->printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(72);
        printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
            QMarginsF(0, 0, 0, 0), QPageLayout::Point));

        prompts.install(*form);
        Prompts &p = form->prompts();
        // The dialog is shown and answered at once; the test notes the size of the picture it saw.
        p.runModal = [this](QDialog *d) {
            auto *dialog = static_cast<TPrintForm *>(d);
            dialog->show();
            previewSizes << QSize(dialog->PreviewDib.BitmapInfo
                    ? dialog->PreviewDib.BitmapInfo->bmiHeader.biWidth
                    : 0,
                dialog->PreviewDib.BitmapInfo ? dialog->PreviewDib.BitmapInfo->bmiHeader.biHeight
                                              : 0);
            if (answerOk)
                dialog->accept();
            else
                dialog->reject();
        };
    }

    // A 100 x 50 blue picture with a red horizontal line through its middle.
    void blueWithRedLine()
    {
        QImage blue(100, 50, QImage::Format_RGB32);
        blue.fill(qRgb(0, 0, 255));
        const QString file = m_dir.filePath(QStringLiteral("blue.png"));
        ASSERT_TRUE(blue.save(file));
        ASSERT_TRUE(form->LadeBild(file));
        TDrawElement *e = form->elements().Append();
        *e = {};
        e->Kind = KindLine;
        e->Start = { 0, 25 };
        e->End = { 100, 25 };
    }

    QImage printedPage(const char *item)
    {
        prompts.fileAnswer = m_dir.filePath(QStringLiteral("print.pdf"));
        QFile::remove(prompts.fileAnswer);
        form->findChild<QAction *>(QLatin1String(item))->trigger();
        EXPECT_TRUE(prompts.messages.isEmpty())
            << prompts.messages.join(QLatin1Char('\n')).toStdString();
        const auto pages = renderPdfPages(prompts.fileAnswer, m_dir.path());
        if (!pages)
            return {};
        EXPECT_EQ(pages->size(), 1);
        return pages->isEmpty() ? QImage() : pages->first();
    }

    QTemporaryDir m_dir;
    PromptRecorder prompts;
    std::unique_ptr<TMainForm> form;
    TPrintForm *printForm = nullptr;
    QList<QSize> previewSizes;
    bool answerOk = true;
};

bool red(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

bool blue(QRgb c)
{
    return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60;
}

} // namespace

TEST_F(PrintMenuTest, TheThreeItemsAreEnabled)
{
    for (const char *name : { "Druckereinrichten1", "Drucken1", "DruckenohneBild1" })
        EXPECT_TRUE(form->findChild<QAction *>(QLatin1String(name))->isEnabled()) << name;
    int setups = 0;
    printForm->printerSetup = [&](QWidget *, QPrinter &printer) {
        EXPECT_EQ(&printer, &printForm->printer());
        ++setups;
        return false;
    };
    form->findChild<QAction *>(QStringLiteral("Druckereinrichten1"))->trigger();
    EXPECT_EQ(setups, 1);
    EXPECT_TRUE(prompts.fileDialogs.isEmpty());
}

TEST_F(PrintMenuTest, WithPictureThePictureAndTheDrawingGoToTheComputedRectangle)
{
    blueWithRedLine();
    const QImage page = printedPage("Drucken1");
    EXPECT_EQ(previewSizes, QList<QSize> { QSize(100, 50) });
    EXPECT_EQ(prompts.fileDialogs, QStringList { QStringLiteral("PrintToFileDialog") });
    // The dialog never keeps a picture that its caller frees.
    EXPECT_EQ(printForm->PreviewDib.Bits, nullptr);
    if (page.isNull())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    // Full page, aspect kept, centred: 595 x 297 at y = (842 - 297) div 2 = 272.
    const QRect picture = areaOf(page, [](QRgb c) { return blue(c) || red(c); });
    EXPECT_LE(std::abs(picture.left() - 0), 1) << picture.left();
    EXPECT_LE(std::abs(picture.top() - 272), 1) << picture.top();
    EXPECT_LE(std::abs(picture.right() - 594), 1) << picture.right();
    EXPECT_LE(std::abs(picture.bottom() - 568), 1) << picture.bottom();
    // The line covers picture rows 24 to 26, 5.95 points each: y = 414.8 to 432.7. The reader
    // smooths the enlarged picture, so the line is where red outweighs blue.
    const QRect line = areaOf(page, [](QRgb c) { return qRed(c) > qBlue(c); });
    EXPECT_LE(std::abs(line.top() - 415), 2) << line.top();
    EXPECT_LE(std::abs(line.bottom() - 432), 2) << line.bottom();
    EXPECT_EQ(line.width(), 595);
    EXPECT_TRUE(blue(page.pixel(297, 300)));
}

TEST_F(PrintMenuTest, WithoutPictureTheDrawingIsPrintedOnWhite)
{
    blueWithRedLine();
    printForm->UseFullCheck->setChecked(false);
    printForm->UserdefCheck->setChecked(true);
    const QImage page = printedPage("DruckenohneBild1");
    EXPECT_EQ(previewSizes, QList<QSize> { QSize(100, 50) });
    if (page.isNull())
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    EXPECT_FALSE(areaOf(page, blue).isValid());
    // User-defined 50 % of the width and, following it, Trunc(50 x 50 / 100 x 595 / 842) = 17 %
    // of the height: 298 x 143 points, centred at (148, 349). The line's rows 24 to 26 lie at
    // y = 417.6 to 426.2.
    const QRect line = areaOf(page, red);
    EXPECT_LE(std::abs(line.left() - 148), 2) << line.left();
    EXPECT_LE(std::abs(line.right() - 445), 2) << line.right();
    EXPECT_LE(std::abs(line.center().y() - 422), 2) << line.center().y();
    EXPECT_EQ(printForm->HochEdit->value(), 17);
}

TEST_F(PrintMenuTest, CancelPrintsNothingAndANamelessFileIsNoPrint)
{
    blueWithRedLine();
    answerOk = false;
    prompts.fileAnswer = m_dir.filePath(QStringLiteral("print.pdf"));
    form->findChild<QAction *>(QStringLiteral("Drucken1"))->trigger();
    EXPECT_TRUE(prompts.fileDialogs.isEmpty());
    EXPECT_FALSE(QFile::exists(prompts.fileAnswer));

    answerOk = true;
    prompts.fileAnswer.clear();
    form->findChild<QAction *>(QStringLiteral("Drucken1"))->trigger();
    EXPECT_EQ(prompts.fileDialogs.size(), 1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PrintMenuTest, AFileThatCannotBeWrittenIsReportedWithItsName)
{
    prompts.fileAnswer = m_dir.filePath(QStringLiteral("missing/print.pdf"));
    form->findChild<QAction *>(QStringLiteral("DruckenohneBild1"))->trigger();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages.first(),
        QStringLiteral("Konnte diese Datei nicht erstellen: ") + prompts.fileAnswer);
    EXPECT_FALSE(QFile::exists(prompts.fileAnswer));
}

TEST_F(PrintMenuTest, AtTrueSizeALineOfTheDxfExportsHundredMillimetresIsAsLongOnPaper)
{
    // Without the DXF settings the exports use 72 dpi: 400 x 100 mm are 1134 x 284 pixels.
    const double ppm = 72 / 25.39995;
    QImage white(1134, 284, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QString file = m_dir.filePath(QStringLiteral("white.png"));
    ASSERT_TRUE(white.save(file));
    ASSERT_TRUE(form->LadeBild(file));
    TDrawElement *e = form->elements().Append();
    *e = {};
    e->Kind = KindLine;
    e->Start = { 30 * ppm, 50 * ppm };
    e->End = { 130 * ppm, 50 * ppm };

    printForm->Mastab11Check->setChecked(true);
    prompts.fileAnswer = m_dir.filePath(QStringLiteral("true.pdf"));
    form->findChild<QAction *>(QStringLiteral("DruckenohneBild1"))->trigger();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    // 210 mm of paper, then 200 mm more after the 10 mm both pages show.
    EXPECT_EQ(printForm->SeitenLabel->text(), QStringLiteral("Seiten: 2 (2 × 1)"));
    // The preview shows the first page, which the drawing overruns to the right.
    EXPECT_NEAR(printForm->previewPictureRect().width(),
        printForm->previewPageRect().width() * 400.0 / 210, 1.5);

    const PdfFile pdf(prompts.fileAnswer);
    ASSERT_EQ(pdf.pageCount(), 2);
    constexpr double Dpi = 400;
    const QImage page = dibToImage(pdf.render({ 0, Dpi, true }).rec());
    // The pen is red; the alignment marks beside the line are black.
    const QRect line = areaOf(page, [](QRgb c) { return qRed(c) > 128 && qGreen(c) < 128; });
    ASSERT_TRUE(line.isValid());
    // The round ends add the line's width to its length.
    EXPECT_NEAR((line.width() - line.height()) * 25.4 / Dpi, 100, 0.2);
    EXPECT_NEAR(line.left() * 25.4 / Dpi, 30 - line.height() * 25.4 / Dpi / 2, 0.2);
}
