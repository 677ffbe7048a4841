// Two CAD programs open the DXF for CAD and CAM programs and draw what the editor draws: LibreCAD
// (through its dxf2pdf command) and LibreOffice Draw. Their drawings of a test drawing are laid
// over the editor's own picture of it; every line pixel of one lies within two pixels of a line
// pixel of the other.
#include "ExportTestDrawing.h"
#include "InkCompare.h"
#include "export/CamDxfExport.h"
#include "export/PictureExport.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

constexpr int Width = 240;
constexpr int Height = 120;

// A pixel of a black drawing on white, also where smoothing or scaling has lightened a line.
bool dark(QRgb c)
{
    return qGray(c) < 200;
}

// The part of a picture inside the bounding box of its dark pixels.
QImage cropToInk(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (dark(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
        }
    }
    return image.copy(box);
}

// Every element kind, in a frame along the picture's edges: the frame gives the drawing the
// picture's extents, so a renderer that centres the drawing on its page still places it
// exactly, and cropping both pictures to their ink aligns them.
void addFrameAndHole(ExportTestDrawing &d)
{
    const TPointD corners[] = { { 1, 1 }, { Width - 2, 1 }, { Width - 2, Height - 2 },
        { 1, Height - 2 } };
    for (int i = 0; i < 4; ++i)
        *d.list.Append() = element(KindLine, i, corners[i], corners[(i + 1) % 4]);
    *d.list.Append() = element(KindEllipse, 0, { 210, 20 }, { 230, 40 }); // a hole
}

// The editor's own picture: black lines one pixel wide.
QImage ourRendering(const ExportTestDrawing &d)
{
    Dib picture = Dib::create(Width, Height, 24);
    PictureExportSettings ps;
    ps.picture = &picture.rec();
    ps.withPicture = false;
    ps.penColor = Qt::black;
    ps.lineWidth = 1;
    return exportPicture(d.list, ps);
}

// Runs a program; the reason it failed, or an empty text.
QString run(const QString &program, const QStringList &arguments, int seconds)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(seconds * 1000))
        return program + QStringLiteral(" did not finish");
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QString::fromLocal8Bit(p.readAll());
    return {};
}

// `sameScale`: the renderer draws at the file's own scale; otherwise its drawing is scaled to
// ours first, keeping its proportions.
void expectSameDrawing(const QImage &ours, const QImage &theirs, bool sameScale)
{
    const QImage a = cropToInk(ours.convertToFormat(QImage::Format_RGB32));
    QImage b = cropToInk(theirs.convertToFormat(QImage::Format_RGB32));
    ASSERT_FALSE(b.isNull()) << "the renderer drew nothing";
    if (!sameScale) {
        EXPECT_NEAR(double(b.width()) / b.height(), double(a.width()) / a.height(), 0.02);
        b = b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    EXPECT_NEAR(b.width(), a.width(), 3);
    EXPECT_NEAR(b.height(), a.height(), 3);
    EXPECT_EQ(unmatchedInk(a, b, 2, dark), 0);
    EXPECT_EQ(unmatchedInk(b, a, 2, dark), 0);
}

CamDxfSettings settings()
{
    CamDxfSettings s;
    s.params.dpi = 72; // one pixel is a point of the PDF and of the 72 dpi pictures made from it
    s.pictureHeight = Height;
    return s;
}

} // namespace

TEST(CamDxfRender, LibreCadDrawsWhatTheEditorDraws)
{
    const QString librecad = QStandardPaths::findExecutable(QStringLiteral("librecad"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (librecad.isEmpty() || pdftoppm.isEmpty())
        GTEST_SKIP() << "librecad or pdftoppm (Debian packages librecad, poppler-utils) missing";
    QTemporaryDir dir;
    ExportTestDrawing d = ExportTestDrawing::everyKind();
    addFrameAndHole(d);
    const QString dxf = dir.filePath(QStringLiteral("drawing.dxf"));
    ASSERT_TRUE(savedxfCam(d.list, settings(), dxf).ok);
    // Scale 1 keeps millimetres on the page; monochrome draws every layer black.
    ASSERT_EQ(
        run(librecad,
            { QStringLiteral("dxf2pdf"), QStringLiteral("-s"), QStringLiteral("1"),
                QStringLiteral("-c"), QStringLiteral("-m"), QStringLiteral("-t"), dir.path(), dxf },
            120),
        QString());
    ASSERT_EQ(run(pdftoppm,
                  { QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"),
                      QStringLiteral("-singlefile"), dir.filePath(QStringLiteral("drawing.pdf")),
                      dir.filePath(QStringLiteral("librecad")) },
                  60),
        QString());
    expectSameDrawing(ourRendering(d), QImage(dir.filePath(QStringLiteral("librecad.png"))), true);
}

TEST(CamDxfRender, LibreOfficeDrawDrawsWhatTheEditorDraws)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "soffice (Debian package libreoffice-draw) is not installed";
    QTemporaryDir dir;
    ExportTestDrawing d = ExportTestDrawing::everyKind();
    addFrameAndHole(d);
    const QString dxf = dir.filePath(QStringLiteral("drawing.dxf"));
    ASSERT_TRUE(savedxfCam(d.list, settings(), dxf).ok);
    // A profile of its own, so the test neither needs nor touches the user's.
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    ASSERT_EQ(run(soffice,
                  { QStringLiteral("-env:UserInstallation=") + profile,
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("png"), QStringLiteral("--outdir"), dir.path(), dxf },
                  300),
        QString());
    const QImage theirs(dir.filePath(QStringLiteral("drawing.png")));
    ASSERT_FALSE(theirs.isNull());
    // Draw places the drawing on a page of its own at a scale of its own.
    expectSameDrawing(ourRendering(d), theirs, false);
}
