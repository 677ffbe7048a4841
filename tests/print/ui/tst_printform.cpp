#include "print/ui/TPrintForm.h"
#include "raster/DibImage.h"
#include "view/ui/TPaintBox.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

Dib solidPicture(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return Dib(imageToDib(image));
}

// Makes the form's printer a PDF printer whose printable page is exactly `pixels` printer
// pixels: at 72 dpi a point is a pixel.
void usePage(TPrintForm &form, QSize pixels)
{
    QPrinter &p = form.printer();
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setResolution(72);
    p.setFullPage(false);
    p.setPageLayout(QPageLayout(QPageSize(QSizeF(pixels), QPageSize::Point), QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0), QPageLayout::Point));
}

class PrintFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
        QCoreApplication::setOrganizationName(QStringLiteral("LinovexTest"));
        QCoreApplication::setApplicationName(QStringLiteral("printform"));
    }

    // Shows the form with `picture` on a page of `page` printer pixels and paints the preview.
    void show(TPrintForm &form, const Dib &picture, QSize page)
    {
        usePage(form, page);
        form.PreviewDib = picture.rec();
        form.show();
        paint(form);
    }

    static QImage paint(TPrintForm &form) { return form.PrintPaintBox->grab().toImage(); }

    // The colour of the sunken panel around the preview box.
    static QRgb panelColour(const TPrintForm &form)
    {
        const QWidget *panel = form.PrintPaintBox->parentWidget();
        return panel->palette().color(panel->backgroundRole()).rgb();
    }

    // The preview box as the window system last received it, not painted afresh.
    static QImage onScreen(TPrintForm &form)
    {
        const QRect box(form.PrintPaintBox->mapTo(&form, QPoint(0, 0)), form.PrintPaintBox->size());
        return form.screen()->grabWindow(form.winId()).toImage().copy(box);
    }

    QTemporaryDir m_dir;
    Dib m_square = solidPicture(320, 320, qRgb(0, 0, 0));
};

} // namespace

TEST_F(PrintFormTest, ComponentsAndDefaults)
{
    TPrintForm form;
    EXPECT_EQ(form.objectName(), QStringLiteral("TPrintForm"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bild drucken..."));
    EXPECT_EQ(form.size(), QSize(427, 328));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.PrintPaintBox->size(), QSize(190, 190));
    EXPECT_TRUE(form.UseFullCheck->isChecked());
    EXPECT_FALSE(form.UserdefCheck->isChecked());
    EXPECT_TRUE(form.SverhCheck->isChecked());
    EXPECT_TRUE(form.ZentrCheck->isChecked());
    for (QSpinBox *field : { form.BreitEdit, form.HochEdit }) {
        EXPECT_EQ(field->minimum(), 1);
        EXPECT_EQ(field->maximum(), 100);
        EXPECT_EQ(field->value(), 50);
    }
    EXPECT_EQ(form.PrintSetupBtn->text(), QStringLiteral("Drucker &einrichten..."));
    EXPECT_EQ(form.OkBitBtn1->text(), QStringLiteral("&OK"));
    EXPECT_EQ(form.CancelBitBtn2->text(), QStringLiteral("A&bbrechen"));
    for (const char *name :
        { "PrintPaintBox", "UseFullCheck", "UserdefCheck", "BreitEdit", "HochEdit", "SverhCheck",
            "ZentrCheck", "PrintSetupBtn", "OkBitBtn1", "CancelBitBtn2" })
        EXPECT_NE(form.findChild<QWidget *>(QLatin1String(name)), nullptr) << name;
}

TEST_F(PrintFormTest, PreviewOfAPortraitPage)
{
    TPrintForm form;
    show(form, m_square, QSize(4960, 7016));
    ASSERT_EQ(form.printablePage(), QSize(4960, 7016));
    EXPECT_EQ(form.previewPageRect(), QRect(28, 0, 134, 190));
    EXPECT_EQ(form.previewPictureRect(), QRect(28, 28, 134, 134));
    // Showing the dialog already made the height follow the width: Trunc(35.35) = 35.
    EXPECT_EQ(form.HochEdit->value(), 35);

    const QImage shown = paint(form);
    EXPECT_EQ(shown.pixel(28, 10), qRgb(255, 255, 255)); // page above the picture
    EXPECT_EQ(shown.pixel(28, 28), qRgb(0, 0, 0)); // picture's top-left corner
    EXPECT_EQ(shown.pixel(161, 161), qRgb(0, 0, 0)); // and its bottom-right one
    EXPECT_EQ(shown.pixel(161, 162), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(161, 189), qRgb(255, 255, 255)); // page's last row
    EXPECT_EQ(shown.pixel(27, 100), panelColour(form)); // beside the page: the panel

    form.SverhCheck->click();
    paint(form);
    EXPECT_EQ(form.previewPictureRect(), QRect(28, 0, 134, 190));
    form.ZentrCheck->click();
    form.SverhCheck->click();
    paint(form);
    EXPECT_EQ(form.previewPictureRect(), QRect(28, 0, 134, 134));
}

TEST_F(PrintFormTest, LandscapePageAndAPageSetUpThatTurnsIt)
{
    TPrintForm form;
    show(form, m_square, QSize(4960, 7016));
    // The set-up turns the paper; the preview follows at once.
    form.printerSetup = [](QWidget *, QPrinter &printer) {
        printer.setPageLayout(QPageLayout(QPageSize(QSizeF(7016, 4960), QPageSize::Point),
            QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point));
        return true;
    };
    QCoreApplication::processEvents();
    ASSERT_EQ(onScreen(form).pixel(100, 10), qRgb(255, 255, 255)); // the portrait page's top
    form.PrintSetupBtn->click();
    // Above and below the landscape page the panel shows again, not the portrait page.
    const QImage turned = onScreen(form);
    EXPECT_EQ(turned.pixel(100, 10), panelColour(form));
    EXPECT_EQ(turned.pixel(100, 180), panelColour(form));
    EXPECT_EQ(turned.pixel(10, 100), qRgb(255, 255, 255));
    paint(form);
    EXPECT_EQ(form.previewPageRect(), QRect(0, 28, 190, 134));
    EXPECT_EQ(form.previewPictureRect(), QRect(28, 28, 134, 134));
    // The picture's height share follows the new page: Trunc(50 x 7016 / 4960) = 70.
    EXPECT_EQ(form.HochEdit->value(), 70);
}

TEST_F(PrintFormTest, UserDefinedPercentages)
{
    TPrintForm form;
    form.SverhCheck->setChecked(false);
    show(form, m_square, QSize(4960, 7016));
    form.UserdefCheck->click();
    paint(form);
    EXPECT_EQ(form.previewPictureRect(), QRect(61, 47, 67, 95));

    // With the aspect kept the height follows to 35 % and the picture is 67 x RoundEven(66.5).
    form.SverhCheck->click();
    paint(form);
    EXPECT_EQ(form.HochEdit->value(), 35);
    EXPECT_EQ(form.previewPictureRect().size(), QSize(67, 66));

    // 400 x 200 at 50 %: Trunc(17.67) = 17.
    const Dib wide = solidPicture(400, 200, qRgb(0, 0, 0));
    form.PreviewDib = wide.rec();
    form.BreitEdit->setValue(49);
    form.BreitEdit->setValue(50);
    EXPECT_EQ(form.HochEdit->value(), 17);
    // Changing the height brings the width along: Trunc(400 x 17 / 200 x 7016 / 4960) = 48.
    form.HochEdit->setValue(18);
    EXPECT_EQ(form.BreitEdit->value(), 50);
    // Every paint ends with the width leading again, so the height goes back to 17.
    paint(form);
    EXPECT_EQ(form.HochEdit->value(), 17);
    form.PreviewDib = {};
}

TEST_F(PrintFormTest, APercentageTheFieldLimitsBringsTheOtherBack)
{
    TPrintForm form;
    const Dib tall = solidPicture(200, 400, qRgb(0, 0, 0));
    show(form, tall, QSize(4960, 7016));
    form.UserdefCheck->click();
    form.BreitEdit->setValue(100);
    // The height would be 141 %; it stops at 100 and the width comes back to 70 %.
    EXPECT_EQ(form.HochEdit->value(), 100);
    EXPECT_EQ(form.BreitEdit->value(), 70);
    // The next paint lets the width lead again: Trunc(400 x 70 / 200 x 4960 / 7016) = 98 %, so
    // the picture keeps its shape, 94 x 186 for 200 x 400.
    paint(form);
    EXPECT_EQ(form.HochEdit->value(), 98);
    EXPECT_EQ(form.previewPictureRect().size(), QSize(94, 186));
}

TEST_F(PrintFormTest, WithoutAPictureOnlyThePageIsDrawn)
{
    TPrintForm form;
    usePage(form, QSize(4960, 7016));
    form.show();
    const QImage shown = paint(form);
    EXPECT_EQ(form.previewPageRect(), QRect(28, 0, 134, 190));
    EXPECT_TRUE(form.previewPictureRect().isEmpty());
    EXPECT_EQ(shown.pixel(95, 95), qRgb(255, 255, 255));
    EXPECT_EQ(form.HochEdit->value(), 50);
}

TEST_F(PrintFormTest, PercentagesAreRememberedAsAPair)
{
    {
        TPrintForm form;
        show(form, m_square, QSize(4960, 7016));
        form.BreitEdit->setValue(60);
        EXPECT_EQ(form.HochEdit->value(), 42);
        form.accept();
    }
    {
        TPrintForm unseen; // a run that never prints keeps the pair, not its defaults
    }
    QSettings settings;
    EXPECT_EQ(settings.value(QStringLiteral("TPrintForm/BreitEdit.Value")).toInt(), 60);
    EXPECT_EQ(settings.value(QStringLiteral("TPrintForm/HochEdit.Value")).toInt(), 42);

    // A wide picture next time: the remembered pair comes back, and only then the height
    // follows the width, which the user chose last.
    TPrintForm again;
    EXPECT_EQ(again.BreitEdit->value(), 50);
    const Dib wide = solidPicture(400, 200, qRgb(0, 0, 0));
    show(again, wide, QSize(4960, 7016));
    EXPECT_EQ(again.BreitEdit->value(), 60);
    EXPECT_EQ(again.HochEdit->value(), 21);
    again.SverhCheck->setChecked(false);
    again.HochEdit->setValue(33);
    again.reject();
    QSettings after;
    EXPECT_EQ(after.value(QStringLiteral("TPrintForm/HochEdit.Value")).toInt(), 33);
}
