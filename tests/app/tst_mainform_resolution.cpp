// The main window takes the resolution a picture declares, and opens PDF pages as pictures.
#include "FilesFixture.h"
#include "app/EditPrompts.h"
#include "export/ui/TDXFExportForm.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStatusBar>
#include <cmath>

using linovex::test::readFile;

namespace {

class ResolutionTest : public FilesTest
{
protected:
    void SetUp() override
    {
        FilesTest::SetUp();
        form = makeForm();
        dxf = std::make_unique<TDXFExportForm>(form.get());
        form->setDxfExportForm(dxf.get());
        form->editPrompts().askPdfPage = [this](QWidget *, const PdfFile &file) {
            pagesOffered = file.pageCount();
            return pdfAnswer;
        };
    }

    QString picture(const char *name, int dotsPerMetre)
    {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        EXPECT_TRUE(image.save(path(name)));
        return path(name);
    }

    QString note() const { return form->findChild<QStatusBar *>()->currentMessage(); }

    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TDXFExportForm> dxf;
    std::optional<PdfPageChoice> pdfAnswer;
    int pagesOffered = 0;
};

// Millimetres at 1200 dots per inch, the unit the PDF below is drawn in.
double device(double mm)
{
    return mm / 25.4 * 1200.0;
}

} // namespace

TEST_F(ResolutionTest, DeclaredResolutionSetsTheFieldUnlessTurnedOff)
{
    EXPECT_TRUE(dxf->BildDPICheck->isChecked());
    ASSERT_TRUE(form->LadeBild(picture("200.png", 7874)));
    EXPECT_EQ(dxf->DPIED->text(), QStringLiteral("200.00000000"));
    EXPECT_EQ(dxf->BreitEdValue->text(), QStringLiteral("5.08")); // 40 pixels
    EXPECT_TRUE(note().contains(QLatin1String("200 DPI"))) << note().toStdString();

    // A placeholder resolution leaves the field alone.
    ASSERT_TRUE(form->LadeBild(picture("72.png", 2835)));
    EXPECT_EQ(dxf->DPIED->text(), QStringLiteral("200.00000000"));

    // Turned off, and remembered so.
    dxf->BildDPICheck->setChecked(false);
    dxf.reset();
    dxf = std::make_unique<TDXFExportForm>(form.get());
    form->setDxfExportForm(dxf.get());
    EXPECT_FALSE(dxf->BildDPICheck->isChecked());
    ASSERT_TRUE(form->LadeBild(picture("300.bmp", 11811)));
    EXPECT_EQ(dxf->DPIED->text(), QStringLiteral("200.00000000"));
}

TEST_F(ResolutionTest, SecondPdfPageAtThreeHundredDpiHasTheDrawnScale)
{
    {
        QPdfWriter writer(path("two.pdf"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF());
        writer.setResolution(1200);
        QPainter painter(&writer);
        QPen pen(Qt::black, device(1.0));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(QLineF(device(20), device(50), device(70), device(50))); // 50 mm
        writer.newPage();
        painter.drawLine(QLineF(device(20), device(30), device(120), device(30))); // 100 mm
    }
    dxf->BildDPICheck->setChecked(false); // a chosen resolution is taken all the same
    pdfAnswer = PdfPageChoice { 1, 300.0, false };
    ASSERT_TRUE(form->LadeBild(path("two.pdf")));
    EXPECT_EQ(pagesOffered, 2);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(dxf->DPIED->text(), QStringLiteral("300.00000000"));
    const Dib &page = form->picture();
    EXPECT_EQ(page.bitCount(), 8);
    EXPECT_NEAR(page.width(), 595 / 72.0 * 300, 1.0); // A4 is 595 points wide in the file

    // The line's ends on the row through its middle (30 mm from the top).
    const int stored = page.height() - 1 - static_cast<int>(std::lround(30 / 25.4 * 300));
    int first = -1, last = -1;
    for (int x = 0; x < page.width(); ++x) {
        const TRGBQuad &c = page.rec().BitmapInfo->bmiColors[getpixel(page.rec(), x, stored)];
        if (c.rgbGreen < 128) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    ASSERT_GE(first, 0) << "no line on the second page";
    addLine(*form, first, 100, last + 1, 100, 0);
    form->savedxfArc(path("line.dxf"));

    QList<QByteArray> lines = readFile(path("line.dxf")).split('\n');
    QList<double> xs;
    for (qsizetype i = 0; i + 5 < lines.size(); ++i) {
        if (lines[i].trimmed() == "VERTEX")
            xs << lines[i + 4].trimmed().toDouble();
    }
    ASSERT_EQ(xs.size(), 2);
    EXPECT_NEAR(std::abs(xs[1] - xs[0]), 100.0, 25.4 / 300);
}

TEST_F(ResolutionTest, UnreadablePdfChangesNothing)
{
    ASSERT_TRUE(form->LadeBild(picture("200.png", 7874)));
    addLine(*form, 1, 2, 3, 4, 0);
    const std::uint64_t serial = form->picture().serial();
    QFile damaged(path("damaged.pdf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 9 0 R >>\nxref\ngarbage\n%%EOF\n");
    damaged.close();
    pdfAnswer = PdfPageChoice { 0, 300.0, false };

    EXPECT_FALSE(form->LadeBild(path("damaged.pdf")));
    EXPECT_EQ(pagesOffered, 0);
    // A page of 2 x 2 metres at 2400 dpi would be far beyond the picture limits.
    {
        QPdfWriter writer(path("huge.pdf"));
        writer.setPageSize(QPageSize(QSizeF(2000, 2000), QPageSize::Millimeter));
        QPainter painter(&writer);
        painter.drawLine(0, 0, 100, 100);
    }
    pdfAnswer = PdfPageChoice { 0, 2400.0, false };
    EXPECT_FALSE(form->LadeBild(path("huge.pdf")));
    EXPECT_EQ(pagesOffered, 1);

    const QString failed = QStringLiteral("Konnte das Bild nicht laden.");
    EXPECT_EQ(prompts.messages, (QStringList { failed, failed }));
    EXPECT_EQ(form->picture().serial(), serial);
    EXPECT_EQ(form->elements().Count(), 1u);
    EXPECT_EQ(dxf->DPIED->text(), QStringLiteral("200.00000000"));
}
