#include "app/AppWindows.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "document/ProjectFile.h"
#include "i18n/Cp1252.h"
#include "i18n/DbfTable.h"
#include "i18n/MessageTable.h"
#include "i18n/Translator.h"
#include "raster/scan/ScanDelivery.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using linovex::test::readFile;

namespace {

// A main window with its own data folder and settings, whose dialogs are answered by the test.
class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("LINOVEX_DATA_DIR", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath("settings"));
    }

    std::unique_ptr<TMainForm> makeForm()
    {
        auto form = std::make_unique<TMainForm>();
        Prompts &p = form->prompts();
        p.showMessage = [this](QWidget *, const QString &text) { messages << text; };
        p.showError = [this](QWidget *, const QString &text) { messages << text; };
        p.showInfo = [this](QWidget *, const QString &, const QString &text) { messages << text; };
        p.chooseFile = [this](QWidget *, const FileDialogComponent &d) {
            dialogs << d.objectName();
            return fileAnswer;
        };
        p.askYesNo = [](QWidget *, const QString &, const QString &) { return true; };
        p.runModal = [](QDialog *) {};
        return form;
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    static void addLine(TMainForm &form, double x0, double y0, double x1, double y1, int chainPos)
    {
        TDrawElement *e = form.elements().Append();
        *e = {};
        e->ChainPos = chainPos;
        e->Kind = KindLine;
        e->Start = { x0, y0 };
        e->End = { x1, y1 };
    }

    QTemporaryDir m_dir;
    QStringList messages;
    QStringList dialogs;
    QString fileAnswer;
};

} // namespace

TEST_F(FilesTest, ProjectRoundTripThroughTheMenus)
{
    auto form = makeForm();
    addLine(*form, 1, 2, 3, 4, 0);
    addLine(*form, 3, 4, 9.5, -2, 1);
    form->elements().Get(1)->ClosesChain = 1;
    form->elements().Get(1)->SelEnd = 1;

    fileAnswer = path("a.lvx");
    form->findChild<QAction *>(QStringLiteral("Projektspeichern1"))->trigger();
    EXPECT_EQ(dialogs, QStringList { QStringLiteral("SaveDialog3") });
    ASSERT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('\n')).toStdString();
    const QByteArray saved = readFile(fileAnswer);
    // Start-up picture, two elements, the red pen and width 3.
    ASSERT_EQ(saved.size(), 4 + 2 * 144 + 4 + 4 + 40 + 320 * 960 + 4 + 8);
    std::uint32_t pen;
    std::memcpy(&pen, saved.constData() + saved.size() - 12, 4);
    EXPECT_EQ(pen, 0x000000FFu);

    auto other = makeForm();
    other->findChild<QAction *>(QStringLiteral("Projektffnen1"))->trigger();
    EXPECT_EQ(dialogs.last(), QStringLiteral("OpenDialog2"));
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
    // A width finer than the field shows, and a colour as the file stores it.
    ASSERT_TRUE(saveProjectFile(path("w.lvx"), none, pic.rec(), 0x00336699, 2.3456789));
    form->openprojekt(path("w.lvx"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(form->lineWidth(), 2.3456789);
    EXPECT_EQ(form->penColorRef(), 0x00336699u);
    EXPECT_EQ(form->penColor(), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(form->picture().bitCount(), 8);
    EXPECT_EQ(form->picture().width(), 4);
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

    EXPECT_EQ(messages, QStringList({ messageText(11), messageText(11) }));
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
    EXPECT_EQ(messages, QStringList { messageText(10) });
    EXPECT_EQ(readFile(path("keep.lvx")), before);
}

TEST_F(FilesTest, ScannedPicturesReplaceThePictureEachTime)
{
    auto form = makeForm();
    addLine(*form, 0, 0, 1, 1, 0);
    QCoreApplication::postEvent(
        form.get(), new ScanEvent(depositScannedPicture(Dib::create(7, 5, 24))));
    QCoreApplication::postEvent(
        form.get(), new ScanEvent(depositScannedPicture(Dib::create(9, 2, 8))));
    QCoreApplication::sendPostedEvents(form.get());
    EXPECT_EQ(form->picture().width(), 9);
    EXPECT_EQ(form->picture().bitCount(), 8);
    EXPECT_EQ(form->elements().Count(), 1u);
    // A scan that delivered nothing leaves the picture as it is, silently.
    form->WMUser2(424242);
    EXPECT_EQ(form->picture().width(), 9);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FilesTest, DxfExportsWriteFilesAndReportTheOnesTheyCannot)
{
    auto form = makeForm();
    addLine(*form, 0, 0, 72, 72, 0);
    fileAnswer = path("lines.dxf");
    form->findChild<QAction *>(QStringLiteral("LinienalsDXFexportieren2"))->trigger();
    EXPECT_TRUE(
        readFile(fileAnswer).contains("SPLINE") || readFile(fileAnswer).contains("POLYLINE"));
    fileAnswer = path("cnc.dxf");
    form->findChild<QAction *>(QStringLiteral("LinienDXFfrCNCexportierenKreisbgenkeineSplines1"))
        ->trigger();
    EXPECT_TRUE(readFile(fileAnswer).contains("VERTEX"));
    EXPECT_EQ(
        dialogs, QStringList({ QStringLiteral("SaveDialog5"), QStringLiteral("SaveDialog5") }));
    ASSERT_TRUE(messages.isEmpty());

    const QString unwritable = path("no-such-folder/cnc.dxf");
    form->savedxfArc(unwritable);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], messageText(12) + QLatin1Char(' ') + unwritable);
    form->savedxf(unwritable);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(unwritable));
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
    EXPECT_TRUE(messages.isEmpty());
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

} // namespace

TEST_F(FilesTest, LanguageOneGathersTheTextsOfAllFiveWindowsIntoTheTable)
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    writeOptions(data, QByteArray("\x01\x00\x00\x00", 4));
    {
        AppWindows windows({});
        windows.mainForm().prompts().showMessage = [this](QWidget *, const QString &t) {
            messages << t;
        };
        windows.mainForm().show();
    }
    EXPECT_TRUE(messages.isEmpty());

    DbfTable table;
    QString reason;
    ASSERT_TRUE(
        table.open(data + QStringLiteral("/translate.dbf"), DbfTable::Mode::ReadOnly, &reason))
        << reason.toStdString();
    QStringList sources;
    table.scanField(0, [&](int, const QByteArray &v) { sources << cp1252::decode(v); });
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
    ASSERT_EQ(messages.size(), 1);
    // Lookups give their German text, and the table is not touched.
    EXPECT_EQ(form->findChild<QMenu *>(QStringLiteral("Datei1"))->title(), QStringLiteral("Datei"));
    EXPECT_EQ(messageText(6), QStringLiteral("Wollen Sie wirklich neu anfangen?"));
    EXPECT_EQ(readFile(data + QStringLiteral("/translate.dbf")), junk);
}
