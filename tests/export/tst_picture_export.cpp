#include "ExportTestDrawing.h"
#include "export/PictureExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A 24-bit picture of one colour, given as 0x00RRGGBB.
Dib solidPicture(int width, int height, std::uint32_t rgb)
{
    Dib d = Dib::create(width, height, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            setpixel(d.rec(), x, y, rgb);
    }
    return d;
}

PictureExportSettings settingsFor(const Dib &picture, bool withPicture)
{
    PictureExportSettings s;
    s.picture = &picture.rec();
    s.withPicture = withPicture;
    s.penColor = QColor(255, 0, 0);
    s.lineWidth = 1;
    return s;
}

int countColour(const QImage &image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(PictureExport, DrawingIsPaintedAt100PercentWithoutEditingAids)
{
    const Dib picture = solidPicture(60, 40, 0x0000FF);
    ExportTestDrawing d {
        element(KindLine, 0, { 10, 10 }, { 50, 10 }),
        element(KindCubicBezier, 0, { 10, 30 }, { 50, 30 }, { 20, 20 }, { 40, 20 }),
    };
    for (bool withPicture : { true, false }) {
        SCOPED_TRACE(withPicture ? "over the picture" : "over white");
        const QImage image = exportPicture(d.list, settingsFor(picture, withPicture));
        ASSERT_EQ(image.size(), QSize(60, 40));
        EXPECT_EQ(image.pixel(30, 10), qRgb(255, 0, 0)) << "the line at its picture position";
        EXPECT_EQ(image.pixel(0, 0), withPicture ? qRgb(0, 0, 255) : qRgb(255, 255, 255));
        // Node markers and handles are black and white squares; none may show.
        EXPECT_EQ(countColour(image, qRgb(0, 0, 0)), 0);
        if (withPicture) {
            EXPECT_EQ(countColour(image, qRgb(255, 255, 255)), 0);
        }
    }
}

TEST(PictureExport, TheExtensionChoosesTheFormat)
{
    QTemporaryDir dir;
    const Dib picture = solidPicture(30, 20, 0x00FF00);
    ExportTestDrawing d { element(KindLine, 0, { 0, 5 }, { 29, 5 }) };
    struct Case
    {
        const char *name;
        const char *format;
    };
    const Case cases[] = {
        { "a.bmp", "bmp" },
        { "b.PNG", "png" },
        { "c.jpg", "jpeg" },
        { "d.tif", "tiff" },
        { "e.picture", "bmp" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(savePicture(d.list, settingsFor(picture, true), name).ok);
        QImageReader reader(name);
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), QByteArray(c.format));
        const QImage back = reader.read();
        ASSERT_EQ(back.size(), QSize(30, 20));
        if (QByteArray(c.format) != "jpeg") {
            EXPECT_EQ(back.pixel(10, 5) & 0xFFFFFF, 0xFF0000u);
            EXPECT_EQ(back.pixel(10, 15) & 0xFFFFFF, 0x00FF00u);
        }
    }
    // A name without a known extension takes the caller's format.
    const QString other = dir.filePath(QStringLiteral("f.out"));
    ASSERT_TRUE(savePicture(d.list, settingsFor(picture, true), other, "png").ok);
    QImageReader reader(other);
    EXPECT_EQ(reader.format(), QByteArray("png"));
}

TEST(PictureExport, FailuresNameTheFileAndLeaveNothingBehind)
{
    QTemporaryDir dir;
    const Dib picture = solidPicture(10, 10, 0);
    ExportTestDrawing d {};
    const QString bad = dir.filePath(QStringLiteral("missing/p.png"));
    const ExportResult r = savePicture(d.list, settingsFor(picture, false), bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.fileName, bad);
    EXPECT_EQ(r.messageNumber, PictureCannotCreateMessage);

    // Without a picture there is nothing to give the size; no file is made.
    const QString none = dir.filePath(QStringLiteral("none.png"));
    PictureExportSettings empty;
    EXPECT_FALSE(savePicture(d.list, empty, none).ok);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}
