#include "PromptRecorder.h"
#include "app/AppWindows.h"
#include "app/FileDialogComponent.h"
#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "document/ProjectFile.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/MessageTable.h"
#include "i18n/ui/TTranslateForm.h"
#include "print/ui/TPrintForm.h"
#include "raster/DibRec.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QActionGroup>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Counts the paints the drawing area receives, that is the repaints of the drawing.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *target) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

bool isAllWhite(const Dib &dib)
{
    const TDibRec &rec = dib.rec();
    for (int y = 0; y < dib.height(); ++y) {
        const std::uint8_t *row = rec.Bits + static_cast<std::ptrdiff_t>(y) * rec.BytesPerLine;
        for (int x = 0; x < dib.width() * 3; ++x) {
            if (row[x] != 255)
                return false;
        }
    }
    return true;
}

QString writePicture(const QTemporaryDir &dir, const char *name, int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(QLatin1String(name));
    EXPECT_TRUE(image.save(path, "PNG"));
    return path;
}

class MainFormTest : public ::testing::Test
{
protected:
    void create(const QStringList &arguments = {})
    {
        form = std::make_unique<TMainForm>(arguments);
        prompts.install(*form);
        paints = std::make_unique<PaintCounter>(form->findChild<QWidget *>("PaintBox1"));
    }
    void showForm()
    {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QCoreApplication::processEvents();
        paints->count = 0;
    }
    QAction *act(const char *name) { return form->findChild<QAction *>(QLatin1String(name)); }
    void appendLine()
    {
        TDrawElement *e = form->elements().Append();
        ASSERT_NE(e, nullptr);
        *e = TDrawElement {};
        e->End = { 10, 10 };
    }

    QTemporaryDir dir;
    PromptRecorder prompts;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<PaintCounter> paints;
};

TEST_F(MainFormTest, FreshStartHasWhitePictureEmptyListRedPenWidthThreeZoomHundredNoTool)
{
    create();
    showForm();
    const Dib &picture = form->picture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), 320);
    EXPECT_EQ(picture.height(), 320);
    EXPECT_EQ(picture.bitCount(), 24);
    EXPECT_TRUE(isAllWhite(picture));
    EXPECT_EQ(form->elements().Count(), 0u);
    EXPECT_EQ(form->penColor(), QColor(Qt::red));
    EXPECT_DOUBLE_EQ(form->lineWidth(), 3.0);
    EXPECT_DOUBLE_EQ(form->zoom(), 100.0);
    EXPECT_EQ(form->scrollX(), 0);
    EXPECT_EQ(form->scrollY(), 0);
    EXPECT_TRUE(form->showPicture());
    EXPECT_EQ(form->findChild<QActionGroup *>("ToolGroup")->checkedAction(), nullptr);
    EXPECT_TRUE(form->exeDir().endsWith(QLatin1Char('/')));
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The drawing area shows the white picture on a white ground.
    const QImage shown = form->findChild<QWidget *>("PaintBox1")->grab().toImage();
    EXPECT_EQ(shown.pixelColor(5, 5), QColor(Qt::white));
}

TEST_F(MainFormTest, DrawingAreaShowsTheElementsInThePenColourAtTheCurrentZoom)
{
    create();
    showForm();
    TDrawElement *e = form->elements().Append();
    *e = TDrawElement {};
    e->Start = { 20, 100 };
    e->End = { 150, 100 };
    prompts.colorAnswer = QColor(0, 0, 255);
    act("ChooseColorBtn")->trigger();
    QWidget *area = form->findChild<QWidget *>("PaintBox1");
    QImage shown = area->grab().toImage();
    EXPECT_EQ(shown.pixelColor(100, 100), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(100, 110), QColor(Qt::white));

    // At 200 % the same line lies twice as far from the picture origin.
    form->findChild<QSpinBox *>("zoomed")->setValue(200);
    shown = area->grab().toImage();
    EXPECT_EQ(shown.pixelColor(250, 200), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(250, 100), QColor(Qt::white));
}

TEST_F(MainFormTest, ToolsFormOneGroupAndTheButtonThatIsDownStaysDown)
{
    create();
    showForm();
    auto *group = form->findChild<QActionGroup *>("ToolGroup");
    act("Linie1")->trigger();
    EXPECT_EQ(group->checkedAction(), act("Linie1"));
    act("Bezier2")->trigger();
    EXPECT_EQ(group->checkedAction(), act("Bezier2"));
    EXPECT_FALSE(act("Linie1")->isChecked());
    act("Bezier2")->trigger();
    EXPECT_TRUE(act("Bezier2")->isChecked());
    EXPECT_EQ(group->checkedAction(), act("Bezier2"));
    // Each press of a tool repaints, since the node markers depend on the tool.
    EXPECT_EQ(paints->count, 3);
}

TEST_F(MainFormTest, LinienNeuAnsweredNoKeepsEverythingAndYesEmptiesOnlyTheList)
{
    create();
    showForm();
    appendLine();
    appendLine();
    const std::uint8_t *pictureBits = form->picture().rec().Bits;

    prompts.yesNoAnswer = false;
    act("Neu1")->trigger();
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(prompts.questions[0], messageText(7) + QLatin1Char('|') + messageText(6));
    EXPECT_EQ(form->elements().Count(), 2u);
    EXPECT_EQ(paints->count, 0);

    prompts.yesNoAnswer = true;
    act("Neu1")->trigger();
    EXPECT_EQ(form->elements().Count(), 0u);
    EXPECT_EQ(form->picture().rec().Bits, pictureBits);
    EXPECT_EQ(form->penColor(), QColor(Qt::red));
    EXPECT_DOUBLE_EQ(form->lineWidth(), 3.0);
    EXPECT_EQ(paints->count, 1);
}

TEST_F(MainFormTest, ColourCancelChangesNothingAndConfirmRepaintsInTheNewColour)
{
    create();
    showForm();
    prompts.colorAnswer = std::nullopt;
    act("ChooseColorBtn")->trigger();
    ASSERT_EQ(prompts.colorsOffered.size(), 1);
    EXPECT_EQ(prompts.colorsOffered[0], QColor(Qt::red));
    EXPECT_EQ(form->penColor(), QColor(Qt::red));
    EXPECT_EQ(paints->count, 0);

    // A press on the swatch asks the same question.
    prompts.colorAnswer = QColor(10, 200, 30);
    QWidget *swatch = form->findChild<QWidget *>("Shape1");
    QTest::mouseClick(swatch, Qt::LeftButton);
    ASSERT_EQ(prompts.colorsOffered.size(), 2);
    EXPECT_EQ(form->penColor(), QColor(10, 200, 30));
    EXPECT_EQ(paints->count, 1);

    // The next dialog opens with the colour now in use.
    prompts.colorAnswer = std::nullopt;
    act("ChooseColorBtn")->trigger();
    EXPECT_EQ(prompts.colorsOffered.last(), QColor(10, 200, 30));
}

TEST_F(MainFormTest, CommandLinePictureIsLoadedAtTheFirstShowingOnly)
{
    const QString path = writePicture(dir, "start.png", 7, 5, Qt::blue);
    create({ path, QStringLiteral("ignored-second-argument") });
    // Nothing is loaded before the window is shown.
    EXPECT_EQ(form->picture().width(), 320);
    showForm();
    EXPECT_EQ(form->picture().width(), 7);
    EXPECT_EQ(form->picture().height(), 5);
    EXPECT_EQ(getpixel(form->picture().rec(), 0, 0) & 0xFFFFFFu, 0x0000FFu);

    // A second showing must not read the file again, even when it has changed meanwhile.
    writePicture(dir, "start.png", 9, 9, Qt::green);
    form->hide();
    form->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->picture().width(), 7);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(MainFormTest, NonPictureOnTheCommandLineKeepsTheWhitePictureAndShowsMessageFive)
{
    const QString path = dir.filePath(QStringLiteral("notes.png"));
    ASSERT_TRUE(linovex::test::writeFile(path, "this is not a picture\n"));
    create({ path });
    showForm();
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], messageText(5));
    EXPECT_EQ(form->picture().width(), 320);
    EXPECT_TRUE(isAllWhite(form->picture()));
}

TEST_F(MainFormTest, ProjectOnTheCommandLineOpensAsAProject)
{
    // The desktop entry hands project files to the editor as its first argument.
    TElementList elements;
    TDrawElement *line = elements.Append();
    ASSERT_NE(line, nullptr);
    *line = TDrawElement {};
    line->End = { 12, 34 };
    TDibRec rec {};
    newdib(rec, 6, 4, 24, nullptr, 0);
    Dib picture(rec);
    ASSERT_FALSE(picture.isNull());
    const QString path = dir.filePath(QStringLiteral("drawing.LVX"));
    ASSERT_TRUE(saveProjectFile(path, elements, picture.rec(), 0x00FF0000u, 2.5));

    create({ path });
    showForm();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join(u'|').toStdString();
    ASSERT_EQ(form->elements().Count(), 1u);
    EXPECT_EQ(form->elements().at(0).End.x, 12);
    EXPECT_EQ(form->picture().width(), 6);
    EXPECT_EQ(form->picture().height(), 4);
}

TEST_F(MainFormTest, OpeningAPictureReplacesItAndAFailedOneKeepsTheOld)
{
    create();
    showForm();
    prompts.fileAnswer = writePicture(dir, "a.png", 4, 3, Qt::black);
    act("Bildffnen1")->trigger();
    EXPECT_EQ(prompts.fileDialogs, QStringList { QStringLiteral("OpenDialog1") });
    EXPECT_EQ(form->picture().width(), 4);
    EXPECT_EQ(paints->count, 1);

    const std::uint8_t *bits = form->picture().rec().Bits;
    prompts.fileAnswer = dir.filePath(QStringLiteral("missing.bmp"));
    act("OpenBtn")->trigger();
    EXPECT_EQ(prompts.messages, QStringList { messageText(5) });
    EXPECT_EQ(form->picture().rec().Bits, bits);
    EXPECT_EQ(paints->count, 1);

    // Cancelling the dialog does nothing at all.
    prompts.fileAnswer.clear();
    act("OpenBtn")->trigger();
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(paints->count, 1);
}

TEST_F(MainFormTest, PictureOpenFilterIsTheEnglishListForLanguageOneOnly)
{
    // The fixed English list, written out in the form Qt's dialogs take.
    const QString english = QStringLiteral(
        "All pictures (*.BMP *.DIB *.GIF *.IFF *.JIF *.JPG *.JPEG *.LBM *.PCX *.RLE *.TGA *.TIF "
        "*.PNG *.JP2 *.PDF);;"
        "BMP - Windows,OS/2 Bitmap (*.BMP);;"
        "DIB - Windows,OS/2 DIB (*.DIB);;"
        "GIF - CompuServe Graphics Interchange (*.GIF);;"
        "IFF - Amiga (*.IFF);;"
        "JIF - JPEG - JFIF Compilant (*.JIF);;"
        "JPG - JPEG - JFIF Compilant (*.JPG *.JPEG);;"
        "JP2 - JPEG 2000 (*.JP2);;"
        "LBM - Deluxe Paint (*.LBM);;"
        "PCX - ZSoft Paintbrush (*.PCX);;"
        "RLE - Windows RLE (*.RLE);;"
        "TGA - Truevision Targa (*.TGA);;"
        "TIF - Tagged Image File Format (*.TIF);;"
        "PNG - Portable Graphics Network (*.PNG);;"
        "PDF - Portable Document Format (*.PDF);;"
        "All files (*)");

    create();
    form->setLanguageIndex(1);
    showForm();
    auto *open = form->findChild<FileDialogComponent *>("OpenDialog1");
    EXPECT_EQ(open->filter(), english);
    EXPECT_EQ(open->defaultExt(), QStringLiteral("bmp"));

    for (int language : { 0, 2 }) {
        create();
        form->setLanguageIndex(language);
        showForm();
        open = form->findChild<FileDialogComponent *>("OpenDialog1");
        EXPECT_NE(open->filter(), english) << language;
        // The image library's own list: its first entry offers every picture it reads.
        EXPECT_TRUE(open->filter().startsWith(QStringLiteral("All pictures (*.BMP"))) << language;
        EXPECT_TRUE(open->filter().contains(QStringLiteral("*.PNG"))) << language;
        EXPECT_TRUE(open->filter().contains(QStringLiteral("(*.PDF)"))) << language;
    }
}

TEST_F(MainFormTest, NumbersUseAPointUnderACommaLocale)
{
    linovex::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no comma locale installed";
    create();
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", 2.5);
    EXPECT_STREQ(text, "2.50");
    EXPECT_DOUBLE_EQ(std::strtod("0.25", nullptr), 0.25);
    EXPECT_EQ(QLocale().toString(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(QLocale().toDouble(QStringLiteral("2.5")), 2.5);

    // The line width field shows and reads a point, and takes no thousands separators.
    auto *width = form->findChild<QDoubleSpinBox *>("WidthEd");
    EXPECT_EQ(width->text(), QStringLiteral("3.00"));
    width->selectAll();
    QTest::keyClicks(width, QStringLiteral("2.5"));
    width->interpretText();
    EXPECT_DOUBLE_EQ(form->lineWidth(), 2.5);
    auto *zoom = form->findChild<QSpinBox *>("zoomed");
    zoom->setValue(30000);
    EXPECT_EQ(zoom->text(), QStringLiteral("30000"));
}

TEST_F(MainFormTest, BeendenClosesWithoutAQuestionAndInfoShowsTheAboutBoxModally)
{
    AppWindows windows({});
    TMainForm &main = windows.mainForm();
    prompts.install(main);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));

    main.findChild<QAction *>("berdasProgramm1")->trigger();
    ASSERT_EQ(prompts.modals.size(), 1);
    EXPECT_EQ(prompts.modals[0], windows.aboutBox());
    EXPECT_EQ(windows.aboutBox()->windowTitle(), QStringLiteral("Info"));

    main.findChild<QAction *>("Beenen1")->trigger();
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(prompts.questions.isEmpty());
}

TEST_F(MainFormTest, StartUpCreatesTheFiveWindowsWithTheirCaptionsAndShowsNone)
{
    AppWindows windows({});
    EXPECT_EQ(windows.mainForm().windowTitle(), QStringLiteral("Mervane Linovex 1.0"));
    const QList<std::pair<QWidget *, QString>> dialogs {
        { windows.printForm(), QStringLiteral("Bild drucken...") },
        { windows.aboutBox(), QStringLiteral("Info") },
        { windows.dxfExportForm(), QStringLiteral("DXF Export") },
        { windows.translateForm(), QStringLiteral("Übersetzen") },
    };
    for (const auto &[window, caption] : dialogs) {
        ASSERT_NE(window, nullptr) << caption.toStdString();
        EXPECT_EQ(window->windowTitle(), caption);
        EXPECT_TRUE(window->isWindow());
        EXPECT_FALSE(window->isVisible());
    }
    EXPECT_FALSE(windows.mainForm().isVisible());
}

} // namespace
