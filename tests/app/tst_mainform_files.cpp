#include "FilesFixture.h"
#include "app/AppWindows.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "base/Cp1252.h"
#include "document/ProjectFile.h"
#include "i18n/DbfTable.h"
#include "i18n/MessageTable.h"
#include "i18n/Translator.h"
#include "raster/scan/ScanDelivery.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QDialog>
#include <QCoreApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

using linovex::test::readFile;

TEST_F(FilesTest, ProjectRoundTripThroughTheMenus)
{
    auto form = makeForm();
    addLine(*form, 1, 2, 3, 4, 0);
    addLine(*form, 3, 4, 9.5, -2, 1);
    form->elements().Get(1)->ClosesChain = 1;
    form->elements().Get(1)->SelEnd = 1;

    prompts.fileAnswer = path("a.lvx");
    form->findChild<QAction *>(QStringLiteral("Projektspeichern1"))->trigger();
    EXPECT_EQ(prompts.fileDialogs, QStringList { QStringLiteral("SaveDialog3") });
    ASSERT_TRUE(prompts.messages.isEmpty())
        << prompts.messages.join(QLatin1Char('\n')).toStdString();
    const QByteArray saved = readFile(prompts.fileAnswer);
    // Start-up picture, two elements, the red pen and width 3.
    ASSERT_EQ(saved.size(), 4 + 2 * 144 + 4 + 4 + 40 + 320 * 960 + 4 + 8);
    std::uint32_t pen;
    std::memcpy(&pen, saved.constData() + saved.size() - 12, 4);
    EXPECT_EQ(pen, 0x000000FFu);

    auto other = makeForm();
    other->findChild<QAction *>(QStringLiteral("Projektffnen1"))->trigger();
    EXPECT_EQ(prompts.fileDialogs.last(), QStringLiteral("OpenDialog2"));
    ASSERT_EQ(other->elements().Count(), 2u);
    EXPECT_EQ(std::memcmp(&other->elements().at(1), &form->elements().at(1), 144), 0);
    EXPECT_EQ(other->penColor(), QColor(Qt::red));
    EXPECT_EQ(other->lineWidth(), 3.0);
}

TEST_F(FilesTest, LineWidthAndColourComeBackExactly)
{
    auto form = makeForm();
    Dib pic = Dib::create(4, 3, 8);
    TElementList none;
    ASSERT_TRUE(saveProjectFile(path("w.lvx"), none, pic.rec(), 0x00336699, 2.3456789));
    form->openprojekt(path("w.lvx"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(form->penColorRef(), 0x00336699u);
    EXPECT_EQ(form->penColor(), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(form->picture().bitCount(), 8);
    EXPECT_EQ(form->picture().width(), 4);

    // A width finer than the field shows, or outside its range, stays the document's own: the
    // field shows the nearest value it can, saving writes the width back unchanged, and the
    // drawing uses it as linovex-export does.
    const struct
    {
        double width;
        double shown;
        bool redAtY70; // a 25-pixel pen along y = 60 reaches y = 70
    } cases[] = { { 2.3456789, 2.35, false }, { 25, 10, true }, { 0.01, 0.1, false } };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.width);
        auto window = makeForm();
        window->resize(400, 300);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        addLine(*window, 20, 60, 200, 60, 0);
        ASSERT_TRUE(
            saveProjectFile(path("in.lvx"), window->elements(), pic.rec(), 0x000000FF, c.width));
        window->openprojekt(path("in.lvx"));
        const auto *field = window->findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"));
        EXPECT_EQ(field->value(), c.shown);
        EXPECT_EQ(window->lineWidth(), c.width);
        window->saveprojekt(path("out.lvx"));
        EXPECT_TRUE(readFile(path("out.lvx")) == readFile(path("in.lvx")));
        const QImage shown =
            window->findChild<QWidget *>(QStringLiteral("PaintBox1"))->grab().toImage();
        EXPECT_EQ(shown.pixelColor(100, 70) == QColor(Qt::red), c.redAtY70);
        EXPECT_EQ(shown.pixelColor(100, 60), QColor(Qt::red));
    }
}

TEST_F(FilesTest, DamagedOrMissingProjectKeepsTheDocument)
{
    auto form = makeForm();
    addLine(*form, 1, 1, 5, 5, 0);
    const std::uint8_t *pictureBits = form->picture().rec().Bits;

    form->openprojekt(path("missing.lvx"));
    QFile damaged(path("damaged.lvx"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    const std::int32_t count = 1000;
    damaged.write(reinterpret_cast<const char *>(&count), 4);
    damaged.write(QByteArray(500, 'x'));
    damaged.close();
    form->openprojekt(path("damaged.lvx"));

    EXPECT_EQ(prompts.messages, QStringList({ messageText(11), messageText(11) }));
    ASSERT_EQ(form->elements().Count(), 1u);
    EXPECT_EQ(form->elements().at(0).End.x, 5);
    EXPECT_EQ(form->picture().rec().Bits, pictureBits);
}

TEST_F(FilesTest, FailedSaveSaysSoAndKeepsTheOldFile)
{
    auto form = makeForm();
    form->saveprojekt(path("keep.lvx"));
    const QByteArray before = readFile(path("keep.lvx"));
    ASSERT_FALSE(before.isEmpty());
    form->saveprojekt(path("no-such-folder/keep.lvx"));
    EXPECT_EQ(prompts.messages, QStringList { messageText(10) });
    EXPECT_EQ(readFile(path("keep.lvx")), before);
}

using linovex::test::ReadOnlyFolder;

TEST_F(FilesTest, SaveIntoReadOnlyFolderSaysSoAndKeepsTheOldFile)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = folder + QStringLiteral("/p.lvx");
    auto form = makeForm();
    form->saveprojekt(target);
    const QByteArray before = readFile(target);
    ASSERT_FALSE(before.isEmpty());
    addLine(*form, 1, 2, 3, 4, 0);
    {
        ReadOnlyFolder readOnly(folder);
        if (!readOnly.active())
            GTEST_SKIP() << "this file system lets the test write into any folder";
        form->saveprojekt(target);
    }
    EXPECT_EQ(prompts.messages, QStringList { messageText(10) });
    EXPECT_EQ(readFile(target), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList { QStringLiteral("p.lvx") });
}

// Pictures with a colour table of 2 and 16 entries, whose rows pack several pixels into a byte:
// a fresh window that opens the saved project shows the same picture, elements, colour and
// width as the window that saved it.
TEST_F(FilesTest, IndexedPicturesSurviveSaveAndOpenInAFreshWindow)
{
    for (const int bits : { 1, 4 }) {
        const int colours = 1 << bits;
        TBitmapInfo table {};
        for (int i = 0; i < colours; ++i)
            table.bmiColors[i] = { static_cast<std::uint8_t>(17 * i),
                static_cast<std::uint8_t>(200 - 9 * i), static_cast<std::uint8_t>(5 + 3 * i), 0 };
        Dib pic = Dib::create(37, 11, bits, &table, colours);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x)
                setpixel(pic.rec(), x, y, static_cast<std::uint32_t>(x * 3 + y) % colours);
        const QByteArray rows(
            reinterpret_cast<const char *>(pic.rec().Bits), qsizetype(pic.rec().BytesPerLine) * 11);

        auto form = makeForm();
        QCoreApplication::postEvent(
            form.get(), new ScanEvent(depositScannedPicture(std::move(pic))));
        QCoreApplication::sendPostedEvents(form.get());
        ASSERT_EQ(form->picture().bitCount(), bits);
        addLine(*form, 0.5, 1.25, 30, 10, 0);
        addLine(*form, 30, 10, 2, 9, 1);
        form->elements().Get(0)->SelStart = 1;
        form->elements().Get(0)->DragStart = { 7, 8 };
        form->prompts().chooseColor = [](QWidget *, const QColor &) {
            return std::optional<QColor>(QColor(10, 20, 30));
        };
        form->ChooseColorBtnClick();
        form->findChild<QDoubleSpinBox *>(QStringLiteral("WidthEd"))->setValue(1.5);

        prompts.fileAnswer = path(bits == 1 ? "mono.lvx" : "nibble.lvx");
        form->findChild<QAction *>(QStringLiteral("Projektspeichern1"))->trigger();
        auto fresh = makeForm();
        fresh->findChild<QAction *>(QStringLiteral("Projektffnen1"))->trigger();
        ASSERT_TRUE(prompts.messages.isEmpty())
            << prompts.messages.join(QLatin1Char('\n')).toStdString();

        const TDibRec &back = fresh->picture().rec();
        ASSERT_EQ(fresh->picture().bitCount(), bits);
        ASSERT_EQ(fresh->picture().width(), 37);
        ASSERT_EQ(fresh->picture().height(), 11);
        EXPECT_EQ(back.HasPalette, 1);
        EXPECT_EQ(QByteArray(
                      reinterpret_cast<const char *>(back.Bits), qsizetype(back.BytesPerLine) * 11),
            rows)
            << bits;
        EXPECT_EQ(std::memcmp(back.BitmapInfo->bmiColors, table.bmiColors, 4 * colours), 0) << bits;
        ASSERT_EQ(fresh->elements().Count(), 2u);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(std::memcmp(&fresh->elements().at(i), &form->elements().at(i), 144), 0);
        EXPECT_EQ(fresh->penColor(), QColor(10, 20, 30));
        EXPECT_EQ(fresh->lineWidth(), 1.5);
    }
}

// A chain being drawn when a project is opened goes on into the opened drawing: the next press
// appends the next segment of that chain, starting where the chain stood.
TEST_F(FilesTest, OpeningAProjectKeepsTheChainBeingDrawn)
{
    {
        auto source = makeForm();
        addLine(*source, 5, 5, 60, 5, 0);
        addLine(*source, 60, 5, 60, 40, 1);
        // Saved as selected with drag copies, as a drawing saved in the middle of a node drag.
        source->elements().Get(1)->SelEnd = 1;
        source->elements().Get(1)->DragEnd = { 60, 40 };
        source->saveprojekt(path("other.lvx"));
    }

    auto form = makeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QWidget *box = form->findChild<QWidget *>(QStringLiteral("PaintBox1"));
    form->findChild<QAction *>(QStringLiteral("Linie1"))->trigger();
    for (const QPoint p : { QPoint(100, 100), QPoint(150, 100) }) {
        QTest::mousePress(box, Qt::LeftButton, {}, p);
        QTest::mouseRelease(box, Qt::LeftButton, {}, p);
    }
    ASSERT_EQ(form->elements().Count(), 1u);
    const DrawingTool before = form->tools().drawing();
    ASSERT_TRUE(before.Drawing);

    form->openprojekt(path("other.lvx"));
    ASSERT_TRUE(prompts.messages.isEmpty());
    ASSERT_EQ(form->elements().Count(), 2u);
    const DrawingTool &after = form->tools().drawing();
    EXPECT_TRUE(after.Drawing);
    EXPECT_EQ(after.SegClicks, before.SegClicks);
    EXPECT_EQ(after.ChainCounter, before.ChainCounter);
    EXPECT_EQ(after.SegStart, before.SegStart);
    EXPECT_FALSE(form->tools().editing().NodeDragging);

    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(150, 180));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(150, 180));
    ASSERT_EQ(form->elements().Count(), 3u);
    const TDrawElement &next = form->elements().at(2);
    // The opened drawing ends with a chain of its own, which the new element must not join.
    EXPECT_EQ(next.ChainPos, 0);
    EXPECT_EQ(next.Start, (TPointD { 150, 100 }));
    EXPECT_EQ(next.End, (TPointD { 150, 180 }));
    // The opened elements are untouched by the press.
    EXPECT_EQ(form->elements().at(1).End, (TPointD { 60, 40 }));
}

TEST_F(FilesTest, DxfExportsWriteFilesAndReportTheOnesTheyCannot)
{
    auto form = makeForm();
    addLine(*form, 0, 0, 72, 72, 0);
    prompts.fileAnswer = path("lines.dxf");
    form->findChild<QAction *>(QStringLiteral("LinienalsDXFexportieren2"))->trigger();
    EXPECT_TRUE(readFile(prompts.fileAnswer).contains("SPLINE")
        || readFile(prompts.fileAnswer).contains("POLYLINE"));
    prompts.fileAnswer = path("cnc.dxf");
    form->findChild<QAction *>(QStringLiteral("LinienDXFfrCNCexportierenKreisbgenkeineSplines1"))
        ->trigger();
    EXPECT_TRUE(readFile(prompts.fileAnswer).contains("VERTEX"));
    // The CAD/CAM export asks its options first; cancelled, it asks nothing more.
    QAction *cam = form->findChild<QAction *>(QStringLiteral("DXFfrCADCAMexportieren1"));
    prompts.fileAnswer = path("cam.dxf");
    form->prompts().runModal = [](QDialog *d) { d->reject(); };
    cam->trigger();
    EXPECT_FALSE(QFile::exists(prompts.fileAnswer));
    form->prompts().runModal = [](QDialog *d) { d->accept(); };
    cam->trigger();
    EXPECT_TRUE(readFile(prompts.fileAnswer).contains("$INSUNITS"));
    EXPECT_EQ(prompts.fileDialogs, QStringList(3, QStringLiteral("SaveDialog5")));
    ASSERT_TRUE(prompts.messages.isEmpty());

    const QString unwritable = path("no-such-folder/cnc.dxf");
    form->savedxfArc(unwritable);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0], messageText(12) + QLatin1Char(' ') + unwritable);
    form->savedxf(unwritable);
    ASSERT_EQ(prompts.messages.size(), 2);
    EXPECT_TRUE(prompts.messages[1].contains(unwritable));
    EXPECT_FALSE(QFile::exists(unwritable));
}

TEST_F(FilesTest, EnglishFromOptionsTranslatesTheWindowAtFirstShowing)
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    // options.dat holding 1, and a table whose English column knows two captions.
    QFile options(data + QStringLiteral("/options.dat"));
    ASSERT_TRUE(options.open(QIODevice::WriteOnly));
    options.write(QByteArray("\x01\x00\x00\x00", 4));
    options.close();
    {
        auto first = makeForm(); // creates translate.dbf
    }
    DbfTable table;
    QString reason;
    ASSERT_TRUE(
        table.open(data + QStringLiteral("/translate.dbf"), DbfTable::Mode::ReadWrite, &reason))
        << reason.toStdString();
    table.append({ QByteArray("Datei"), QByteArray("File") });
    table.append({ cp1252::encode(QStringLiteral("Über das Programm")), QByteArray("About") });
    table.close();

    auto form = makeForm();
    EXPECT_EQ(form->translator().languageIndex(), 1);
    form->show();
    EXPECT_EQ(form->findChild<QMenu *>(QStringLiteral("Datei1"))->title(), QStringLiteral("File"));
    EXPECT_EQ(form->findChild<QAction *>(QStringLiteral("berdasProgramm1"))->text(),
        QStringLiteral("About"));
    EXPECT_TRUE(form->findChild<QAction *>(QStringLiteral("English1"))->isChecked());
    // Texts without a translation stay German.
    EXPECT_EQ(
        form->findChild<QAction *>(QStringLiteral("Neu1"))->text(), QStringLiteral("Linien Neu"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(FilesTest, DxfSettingsItemShowsTheDialogForThisPicture)
{
    auto form = makeForm();
    QList<QDialog *> shown;
    form->prompts().runModal = [&shown](QDialog *d) { shown << d; };
    QAction *settings = form->findChild<QAction *>(QStringLiteral("DXFExportEinstellungen1"));
    ASSERT_NE(settings, nullptr);
    settings->trigger();
    // Without the dialog object (the program entry hands it over) nothing is shown.
    EXPECT_TRUE(shown.isEmpty());
}

namespace {

void writeOptions(const QString &data, const QByteArray &bytes)
{
    QDir().mkpath(data);
    QFile options(data + QStringLiteral("/options.dat"));
    ASSERT_TRUE(options.open(QIODevice::WriteOnly));
    options.write(bytes);
}

// The source texts of a table's records that are not deleted, in file order.
QStringList sourcesOf(const QString &table)
{
    DbfTable file;
    QString reason;
    QStringList sources;
    if (!file.open(table, DbfTable::Mode::ReadOnly, &reason))
        ADD_FAILURE() << reason.toStdString();
    file.scanField(0, [&](int, const QByteArray &v) { sources << cp1252::decode(v); });
    return sources;
}

} // namespace

// A German start walks no window and looks up none of their texts: a fresh table gains the
// message texts, in number order, and the application title, nothing else.
TEST_F(FilesTest, GermanFirstStartAddsOnlyTheMessagesAndTheTitle)
{
    {
        AppWindows windows({});
        windows.mainForm().show();
    }
    QStringList expected;
    for (int n : messageNumbers())
        expected << messageSourceText(n);
    expected << QCoreApplication::applicationName();
    EXPECT_EQ(sourcesOf(m_dir.filePath(QStringLiteral("data/translate.dbf"))), expected);
}

TEST_F(FilesTest, LanguageOneGathersTheTextsOfAllFiveWindowsIntoTheTable)
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    writeOptions(data, QByteArray("\x01\x00\x00\x00", 4));
    {
        AppWindows windows({});
        windows.mainForm().prompts().showMessage = [this](QWidget *, const QString &t) {
            prompts.messages << t;
        };
        windows.mainForm().show();
    }
    EXPECT_TRUE(prompts.messages.isEmpty());

    const QStringList sources = sourcesOf(data + QStringLiteral("/translate.dbf"));
    // A caption, hint, item, label and filter of each window, and the message table.
    for (const char *text : { "Datei", "Linien Neu", "Über das Programm", "Ansicht verschieben",
             "Zoom:", "Zeige Bild", "Farbe wählen", "Linovex Projekt (*.lvx)|*.lvx",
             "DXF Export Einstellungen...", "Bild drucken...", "Info", "DXF Export",
             "DXF Ausgabe in mm", "Splines teilen in:", "Übersetzen",
             "Wollen Sie wirklich neu anfangen?", "Konnte diese Datei nicht erstellen:" }) {
        EXPECT_TRUE(sources.contains(QString::fromUtf8(text))) << text;
    }
    // Each text is in the table once.
    EXPECT_EQ(sources.size(), QSet<QString>(sources.begin(), sources.end()).size());
}

TEST_F(FilesTest, UnusableTableIsReportedOnceAndLeftAsItWas)
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QDir().mkpath(data);
    QByteArray junk(700, 'x');
    junk[0] = 0x03; // looks like a dBase III file, with a header that does not fit the file
    ASSERT_TRUE(linovex::test::writeFile(data + QStringLiteral("/translate.dbf"), junk));
    writeOptions(data, QByteArray("\x01\x00\x00\x00", 4));

    auto form = makeForm();
    form->show();
    form->hide();
    form->show();
    ASSERT_EQ(prompts.messages.size(), 1);
    // Lookups give their German text, and the table is not touched.
    EXPECT_EQ(form->findChild<QMenu *>(QStringLiteral("Datei1"))->title(), QStringLiteral("Datei"));
    EXPECT_EQ(messageText(6), QStringLiteral("Wollen Sie wirklich neu anfangen?"));
    EXPECT_EQ(readFile(data + QStringLiteral("/translate.dbf")), junk);
}
