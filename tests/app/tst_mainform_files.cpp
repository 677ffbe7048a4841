#include "PromptRecorder.h"
#include "app/AppWindows.h"
#include "app/FileDialogComponent.h"
#include "app/ProgressEvent.h"
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
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QProgressDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using linovex::test::readFile;

namespace {

// A main window with its own data folder and settings, whose dialogs are answered by the test.
class FilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        linovex::test::useScratchProgramFolders(m_dir.path());
        prompts.yesNoAnswer = true;
    }

    std::unique_ptr<TMainForm> makeForm()
    {
        auto form = std::make_unique<TMainForm>();
        prompts.install(*form);
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
    PromptRecorder prompts;
};

} // namespace

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
    // A width finer than the field shows, and a colour as the file stores it.
    ASSERT_TRUE(saveProjectFile(path("w.lvx"), none, pic.rec(), 0x00336699, 2.3456789));
    form->openprojekt(path("w.lvx"));
    EXPECT_TRUE(prompts.messages.isEmpty());
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

namespace {

// Takes away the right to create files in `folder` for as long as it lives. Permissions stop
// ordinary users; a process that may ignore them (root in a container) is stopped by marking
// the folder immutable instead. active() is false when neither can be done here.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &folder)
        : m_path(QFile::encodeName(folder))
    {
        ::chmod(m_path.constData(), 0500);
        if (::access(m_path.constData(), W_OK) != 0) {
            m_active = true;
            return;
        }
        m_fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_active = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~ReadOnlyFolder()
    {
        if (m_fd >= 0) {
            int flags = 0;
            if (::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            ::close(m_fd);
        }
        ::chmod(m_path.constData(), 0700);
    }
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;
    bool active() const { return m_active; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_active = false;
};

} // namespace

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
    EXPECT_EQ(next.ChainPos, 1);
    EXPECT_EQ(next.Start, (TPointD { 150, 100 }));
    EXPECT_EQ(next.End, (TPointD { 150, 180 }));
    // The opened elements are untouched by the press.
    EXPECT_EQ(form->elements().at(1).End, (TPointD { 60, 40 }));
}

namespace {

// Writes bits least significant first, as deflate streams are packed.
class BitWriter
{
public:
    void bits(std::uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bit((value >> i) & 1u);
    }
    // Huffman codes go most significant bit first.
    void code(std::uint32_t value, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            bit((value >> i) & 1u);
    }
    QByteArray take()
    {
        if (m_used)
            m_out.append(static_cast<char>(m_byte));
        m_byte = 0;
        m_used = 0;
        return std::move(m_out);
    }

private:
    void bit(std::uint32_t b)
    {
        m_byte |= static_cast<std::uint8_t>(b << m_used);
        if (++m_used == 8) {
            m_out.append(static_cast<char>(m_byte));
            m_byte = 0;
            m_used = 0;
        }
    }
    QByteArray m_out;
    std::uint8_t m_byte = 0;
    int m_used = 0;
};

// A zlib stream of `size` zero bytes at deflate's best ratio: one dynamic block whose codes are
// the literal 0 (10), the end of block (11), the longest match (0) and distance 1 (0), so every
// 258 bytes cost two bits.
QByteArray zerosCompressed(std::uint64_t size)
{
    BitWriter w;
    w.bits(1, 1); // last block
    w.bits(2, 2); // dynamic Huffman codes
    w.bits(29, 5); // 286 literal/length codes
    w.bits(0, 5); // 1 distance code
    w.bits(14, 4); // 18 code length codes
    // Code length code lengths in their fixed order 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1:
    // symbol 18 (a run of zeros) gets 1 bit, the lengths 1 and 2 get 2 bits each.
    const int order[18] = { 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2 };
    for (const int len : order)
        w.bits(static_cast<std::uint32_t>(len), 3);
    const auto length1 = [&] { w.code(2, 2); };
    const auto length2 = [&] { w.code(3, 2); };
    const auto zeros = [&](int n) {
        w.code(0, 1);
        w.bits(static_cast<std::uint32_t>(n - 11), 7);
    };
    length2(); // literal 0
    zeros(138); // literals 1 to 255
    zeros(117);
    length2(); // end of block
    zeros(28); // lengths 3 to 257
    length1(); // length 258
    length1(); // distance 1

    w.code(2, 2); // the first zero byte as a literal
    std::uint64_t left = size - 1;
    for (; left >= 258; left -= 258) {
        w.code(0, 1);
        w.code(0, 1);
    }
    for (; left > 0; --left)
        w.code(2, 2);
    w.code(3, 2); // end of block

    QByteArray z("\x78\x9c", 2);
    z += w.take();
    // Adler-32 of zeros: the sum stays 1 and the second sum counts the bytes.
    const std::uint32_t adler = static_cast<std::uint32_t>((size % 65521) << 16 | 1);
    for (const int shift : { 24, 16, 8, 0 })
        z.append(static_cast<char>(adler >> shift));
    return z;
}

std::uint32_t crc32Of(const QByteArray &bytes)
{
    std::uint32_t table[256];
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char ch : bytes)
        crc = table[(crc ^ static_cast<std::uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    const auto be32 = [](std::uint32_t v) {
        QByteArray b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[i] = static_cast<char>(v >> (24 - 8 * i));
        return b;
    };
    const QByteArray body = QByteArray(type) + data;
    png += be32(static_cast<std::uint32_t>(data.size())) + body + be32(crc32Of(body));
}

// A valid black-and-white PNG of width x height pixels, all black, whose few hundred kilobytes
// inflate to a row filter byte and the packed pixels of every row.
QByteArray pngBomb(std::uint32_t width, std::uint32_t height)
{
    QByteArray ihdr;
    for (const std::uint32_t v : { width, height })
        for (const int shift : { 24, 16, 8, 0 })
            ihdr.append(static_cast<char>(v >> shift));
    ihdr.append(QByteArray("\x01\x00\x00\x00\x00", 5)); // 1 bit grey, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", ihdr);
    appendChunk(png, "IDAT", zerosCompressed(std::uint64_t(height) * (1 + (width + 7) / 8)));
    appendChunk(png, "IEND", {});
    return png;
}

} // namespace

// Pictures built to exhaust memory or time are refused quickly with the usual message, and the
// window goes on with its picture and drawing as they were.
TEST_F(FilesTest, HostilePicturesAreRefusedQuicklyAndTheEditorGoesOn)
{
    // The bomb generator itself must be sound, or the refusals below would prove nothing.
    const QString small = path("small-bomb.png");
    ASSERT_TRUE(linovex::test::writeFile(small, pngBomb(1000, 700)));
    const QImage decoded(small);
    ASSERT_EQ(decoded.size(), QSize(1000, 700));
    EXPECT_EQ(decoded.pixelColor(999, 699), QColor(Qt::black));

    // 200,000 x 200,000 pixels of 24 bits: 120 GB asked for by a 54-byte header and 12 bytes.
    QByteArray bmp(54 + 12, '\0');
    const auto le32 = [&bmp](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = static_cast<char>(v >> (8 * i));
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    le32(2, static_cast<std::uint32_t>(bmp.size()));
    le32(10, 54);
    le32(14, 40);
    le32(18, 200000);
    le32(22, 200000);
    le32(26, 1 | 24 << 16);
    ASSERT_TRUE(linovex::test::writeFile(path("memory.bmp"), bmp));
    // 40,000 x 40,000 pixels, 1.6 gigapixels, in about 200 KB.
    const QByteArray bomb = pngBomb(40000, 40000);
    ASSERT_LT(bomb.size(), 256 * 1024);
    ASSERT_TRUE(linovex::test::writeFile(path("bomb.png"), bomb));
    // A photograph cut off in the middle of its scan data.
    QImage photo(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            photo.setPixel(x, y, qRgb(x & 255, y & 255, (x ^ y) & 255));
    ASSERT_TRUE(photo.save(path("whole.jpg"), "JPG", 90));
    const QByteArray jpeg = readFile(path("whole.jpg"));
    ASSERT_TRUE(linovex::test::writeFile(path("cut.jpg"), jpeg.left(jpeg.size() * 6 / 10)));

    auto form = makeForm();
    addLine(*form, 1, 1, 5, 5, 0);
    const std::uint8_t *bits = form->picture().rec().Bits;
    for (const char *name : { "memory.bmp", "bomb.png", "cut.jpg" }) {
        prompts.messages.clear();
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(form->LadeBild(path(name))) << name;
        EXPECT_LT(timer.elapsed(), 1000) << name;
        EXPECT_EQ(prompts.messages, QStringList { QStringLiteral("Konnte das Bild nicht laden.") })
            << name;
        EXPECT_EQ(form->picture().rec().Bits, bits) << name;
        EXPECT_EQ(form->picture().width(), 320) << name;
    }
    ASSERT_EQ(form->elements().Count(), 1u);

    // The editor still loads a sound picture and saves the drawing over it.
    prompts.messages.clear();
    EXPECT_TRUE(form->LadeBild(path("whole.jpg")));
    EXPECT_EQ(form->picture().width(), 640);
    form->saveprojekt(path("after.lvx"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(loadProjectFile(path("after.lvx")).result.ok);
}

namespace {

// Notes each progress event the window receives, with the value its progress dialog showed
// when the event came.
class ProgressWatch : public QObject
{
public:
    explicit ProgressWatch(TMainForm *form)
        : m_form(form)
    {
        form->installEventFilter(this);
    }
    // A dialog that has shown nothing yet has the value -1.
    static constexpr int kNoDialog = -2;
    std::vector<int> percents;
    std::vector<int> dialogValues; // kNoDialog where there was none

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == kProgressEventType) {
            percents.push_back(static_cast<ProgressEvent *>(event)->wParam());
            const auto *dialog =
                m_form->findChild<QProgressDialog *>(QStringLiteral("ProjectProgress"));
            dialogValues.push_back(dialog ? dialog->value() : kNoDialog);
        }
        return false;
    }

private:
    TMainForm *m_form;
};

} // namespace

TEST_F(FilesTest, ProgressOfTheRowsReachesTheWindowAndItsDialog)
{
    auto form = makeForm();
    QCoreApplication::postEvent(
        form.get(), new ScanEvent(depositScannedPicture(Dib::create(5, 3, 24))));
    QCoreApplication::sendPostedEvents(form.get());
    {
        ProgressWatch watch(form.get());
        form->saveprojekt(path("three.lvx"));
        EXPECT_EQ(watch.percents, (std::vector<int> { 0, 0, 50, 100, 0 }));
        // The dialog stands ready from the start and follows each row's percentage; the
        // closing 0 does not pull it back.
        EXPECT_EQ(watch.dialogValues.back(), 100);
        EXPECT_NE(watch.dialogValues.front(), ProgressWatch::kNoDialog);
    }
    EXPECT_EQ(form->findChild<QProgressDialog *>(QStringLiteral("ProjectProgress")), nullptr);
    {
        ProgressWatch watch(form.get());
        form->openprojekt(path("three.lvx"));
        EXPECT_EQ(watch.percents, (std::vector<int> { 0, 0, 50, 100, 0 }));
    }
    // A picture one row high reports 0 before its only row.
    QCoreApplication::postEvent(
        form.get(), new ScanEvent(depositScannedPicture(Dib::create(5, 1, 24))));
    QCoreApplication::sendPostedEvents(form.get());
    ProgressWatch watch(form.get());
    form->saveprojekt(path("one.lvx"));
    EXPECT_EQ(watch.percents, (std::vector<int> { 0, 0, 0 }));
    EXPECT_TRUE(prompts.messages.isEmpty());
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
    EXPECT_TRUE(prompts.messages.isEmpty());
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
    EXPECT_EQ(prompts.fileDialogs,
        QStringList({ QStringLiteral("SaveDialog5"), QStringLiteral("SaveDialog5") }));
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

} // namespace

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
    ASSERT_EQ(prompts.messages.size(), 1);
    // Lookups give their German text, and the table is not touched.
    EXPECT_EQ(form->findChild<QMenu *>(QStringLiteral("Datei1"))->title(), QStringLiteral("Datei"));
    EXPECT_EQ(messageText(6), QStringLiteral("Wollen Sie wirklich neu anfangen?"));
    EXPECT_EQ(readFile(data + QStringLiteral("/translate.dbf")), junk);
}
