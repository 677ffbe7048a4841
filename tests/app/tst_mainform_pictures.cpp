// The main window with hostile and scanned pictures, and the progress of long project reads.
#include "FilesFixture.h"
#include "app/ProgressEvent.h"
#include "document/ProjectFile.h"
#include "raster/scan/ScanDelivery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProgressDialog>

using linovex::test::readFile;

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
