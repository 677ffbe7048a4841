#include "cli/ExportCommand.h"
#include "document/ProjectFile.h"
#include "export/CamDxfExport.h"
#include "export/CncDxfExport.h"
#include "export/EmfExport.h"
#include "export/PictureExport.h"
#include "export/SplineDxfExport.h"
#include "export/SvgExport.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sstream>

using linovex::test::CommaLocale;
using linovex::test::readFile;

namespace {

class ExportCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // One chain of a line, a quadratic and a cubic curve, closed, and an ellipse.
        auto add = [this](std::int32_t pos, std::int32_t kind, TPointD s, TPointD e, TPointD c1,
                       TPointD c2) {
            TDrawElement *el = m_list.Append();
            *el = {};
            el->ChainPos = pos;
            el->Kind = kind;
            el->Start = s;
            el->End = e;
            el->Ctrl1 = c1;
            el->Ctrl2 = c2;
        };
        add(0, KindLine, { 10, 10 }, { 80, 12 }, {}, {});
        add(1, KindQuadBezier, { 80, 12 }, { 90, 70 }, { 120, 30 }, {});
        add(2, KindCubicBezier, { 90, 70 }, { 15, 60 }, { 70, 110 }, { 30, 90 });
        m_list.Get(2)->ClosesChain = 1;
        add(0, KindEllipse, { 150, 40 }, { 200, 90 }, {}, {});
        Dib picture = Dib::create(240, 120, 24);
        m_project = m_dir.filePath(QStringLiteral("drawing.lvx"));
        ASSERT_TRUE(saveProjectFile(m_project, m_list, picture.rec(), 0xFF, 2.5));
    }

    int run(const QStringList &args)
    {
        out.clear();
        err.clear();
        return runExportCommand(args, out, err);
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    TElementList m_list;
    QString m_project;
    QString out;
    QString err;
};

} // namespace

TEST_F(ExportCommandTest, WritesTheSameBytesAsTheEditorsExports)
{
    DxfExportParams params;
    params.dpi = 64;
    params.millimetres = false;
    params.pieces = 5;

    ASSERT_EQ(run({ m_project, QStringLiteral("--dxf"), path("s.dxf"), QStringLiteral("--dpi"),
                  QStringLiteral("64"), QStringLiteral("--unit"), QStringLiteral("inch") }),
        0)
        << err.toStdString();
    std::ostringstream spline;
    ASSERT_TRUE(SplineDxfExport::write(spline, m_list, params));
    EXPECT_EQ(readFile(path("s.dxf")).toStdString(), spline.str());

    ASSERT_EQ(run({ QStringLiteral("--cnc-dxf"), path("c.dxf"), QStringLiteral("--pieces"),
                  QStringLiteral("5"), QStringLiteral("--unit"), QStringLiteral("inch"),
                  QStringLiteral("--dpi"), QStringLiteral("64"), m_project }),
        0)
        << err.toStdString();
    EXPECT_EQ(readFile(path("c.dxf")), cncDxfBytes(m_list, params));

    // The CAD/CAM file takes its origin from the project picture's height.
    ASSERT_EQ(
        run({ m_project, QStringLiteral("--cam-dxf"), path("m.dxf"), QStringLiteral("--dpi"),
            QStringLiteral("64"), QStringLiteral("--unit"), QStringLiteral("inch"),
            QStringLiteral("--tolerance"), QStringLiteral("0.05"), QStringLiteral("--splines") }),
        0)
        << err.toStdString();
    CamDxfSettings cam;
    cam.params = params;
    cam.toleranceMm = 0.05;
    cam.splines = true;
    cam.pictureHeight = 120;
    std::ostringstream camText;
    ASSERT_TRUE(CamDxfExport::write(camText, m_list, cam));
    EXPECT_EQ(readFile(path("m.dxf")).toStdString(), camText.str());
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(ExportCommandTest, DefaultsAreSeventyTwoDpiMillimetresAndFourPieces)
{
    ASSERT_EQ(run({ m_project, QStringLiteral("--cnc-dxf"), path("d.dxf") }), 0);
    EXPECT_EQ(readFile(path("d.dxf")), cncDxfBytes(m_list, DxfExportParams {}));
}

TEST_F(ExportCommandTest, NumbersUseAPointUnderACommaLocale)
{
    CommaLocale comma;
    DxfExportParams params;
    params.dpi = 72.5;
    ASSERT_EQ(run({ m_project, QStringLiteral("--cnc-dxf"), path("p.dxf"), QStringLiteral("--dpi"),
                  QStringLiteral("72.5") }),
        0)
        << err.toStdString();
    EXPECT_EQ(readFile(path("p.dxf")), cncDxfBytes(m_list, params));
    EXPECT_NE(run({ m_project, QStringLiteral("--cnc-dxf"), path("q.dxf"), QStringLiteral("--dpi"),
                  QStringLiteral("72,5") }),
        0);
}

TEST_F(ExportCommandTest, BadOptionsExitWithOneLineAndWriteNothing)
{
    const QList<QStringList> bad {
        {},
        { m_project },
        { m_project, QStringLiteral("--dxf") },
        { m_project, QStringLiteral("--svg"), path("x.dxf"), QStringLiteral("--emf"),
            path("y.dxf") },
        { m_project, QStringLiteral("--emf"), path("x.dxf"), QStringLiteral("--zoom"),
            QStringLiteral("5") },
        { m_project, QStringLiteral("--emf"), path("x.dxf"), QStringLiteral("--zoom"),
            QStringLiteral("200%") },
        { m_project, QStringLiteral("--png"), path("x.dxf"), QStringLiteral("--with-pictures") },
        { m_project, QStringLiteral("--dxf"), path("x.dxf"), QStringLiteral("--cnc-dxf"),
            path("y.dxf") },
        { m_project, QStringLiteral("--cnc-dxf"), path("x.dxf"), QStringLiteral("--pieces"),
            QStringLiteral("0") },
        { m_project, QStringLiteral("--cnc-dxf"), path("x.dxf"), QStringLiteral("--pieces"),
            QStringLiteral("21") },
        { m_project, QStringLiteral("--cnc-dxf"), path("x.dxf"), QStringLiteral("--dpi"),
            QStringLiteral("abc") },
        { m_project, QStringLiteral("--cnc-dxf"), path("x.dxf"), QStringLiteral("--dpi"),
            QStringLiteral("0") },
        { m_project, QStringLiteral("--cnc-dxf"), path("x.dxf"), QStringLiteral("--unit"),
            QStringLiteral("cm") },
        { m_project, m_project, QStringLiteral("--dxf"), path("x.dxf") },
        { m_project, QStringLiteral("--trace"), QStringLiteral("edges"), QStringLiteral("--dxf"),
            path("x.dxf") },
        { m_project, QStringLiteral("--trace"), QStringLiteral("outline"),
            QStringLiteral("--threshold"), QStringLiteral("256"), QStringLiteral("--dxf"),
            path("x.dxf") },
        { m_project, QStringLiteral("--threshold"), QStringLiteral("100"), QStringLiteral("--dxf"),
            path("x.dxf") },
        { m_project, QStringLiteral("--project"), path("x.dxf") },
        { m_project, QStringLiteral("--cam-dxf"), path("x.dxf"), QStringLiteral("--tolerance"),
            QStringLiteral("0") },
    };
    for (const QStringList &args : bad) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(run(args), 2);
        EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
        EXPECT_TRUE(err.startsWith(QLatin1String("linovex-export: ")));
    }
    EXPECT_FALSE(QFile::exists(path("x.dxf")));
    EXPECT_FALSE(QFile::exists(path("y.dxf")));
}

TEST_F(ExportCommandTest, DamagedProjectOrUnwritableOutputFailsAndLeavesNoFile)
{
    QByteArray damaged = readFile(m_project);
    damaged.chop(5);
    ASSERT_TRUE(linovex::test::writeFile(path("damaged.lvx"), damaged));
    EXPECT_EQ(run({ path("damaged.lvx"), QStringLiteral("--dxf"), path("out.dxf") }), 1);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
    EXPECT_FALSE(QFile::exists(path("out.dxf")));

    EXPECT_EQ(run({ path("missing.lvx"), QStringLiteral("--dxf"), path("out.dxf") }), 1);
    EXPECT_FALSE(QFile::exists(path("out.dxf")));

    for (const char *kind : { "--dxf", "--cnc-dxf", "--emf", "--svg", "--png", "--bmp" }) {
        EXPECT_EQ(run({ m_project, QLatin1String(kind), path("no/such/dir/out.dxf") }), 1) << kind;
        EXPECT_EQ(err.count(QLatin1Char('\n')), 1);
        EXPECT_FALSE(QFile::exists(path("no/such/dir/out.dxf")));
    }
}

TEST_F(ExportCommandTest, VectorExportsMatchTheEditorsWithTheProjectsPenAndWidth)
{
    ASSERT_EQ(run({ m_project, QStringLiteral("--emf"), path("z.emf"), QStringLiteral("--zoom"),
                  QStringLiteral("250") }),
        0)
        << err.toStdString();
    EmfExportSettings emf;
    emf.penColor = QColor(255, 0, 0); // 0x000000FF in the project
    emf.lineWidth = 2.5;
    emf.zoom = 250;
    EXPECT_EQ(readFile(path("z.emf")), emfBytes(m_list, emf));
    ASSERT_EQ(run({ m_project, QStringLiteral("--emf"), path("d.emf") }), 0);
    emf.zoom = 100;
    EXPECT_EQ(readFile(path("d.emf")), emfBytes(m_list, emf));

    ASSERT_EQ(run({ m_project, QStringLiteral("--svg"), path("v.svg"), QStringLiteral("--dpi"),
                  QStringLiteral("300") }),
        0)
        << err.toStdString();
    SvgExportSettings svg;
    svg.pictureWidth = 240;
    svg.pictureHeight = 120;
    svg.penColor = QColor(255, 0, 0);
    svg.lineWidth = 2.5;
    svg.params.dpi = 300;
    EXPECT_EQ(readFile(path("v.svg")), svgBytes(m_list, svg));
}

TEST_F(ExportCommandTest, PictureExportsPaintOverWhiteOrOverThePicture)
{
    Dib picture = Dib::create(240, 120, 24); // black, as the project stores it
    PictureExportSettings s;
    s.picture = &picture.rec();
    s.penColor = QColor(255, 0, 0);
    s.lineWidth = 2.5;
    struct Case
    {
        const char *option;
        const char *name;
        bool withPicture;
        const char *format;
    };
    const Case cases[] = {
        { "--png", "lines.png", false, "png" },
        { "--png", "lines", false, "png" },
        { "--bmp", "both.bmp", true, "bmp" },
        { "--bmp", "both", true, "bmp" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList args { m_project, QLatin1String(c.option), path(c.name) };
        if (c.withPicture)
            args << QStringLiteral("--with-picture");
        ASSERT_EQ(run(args), 0) << err.toStdString();
        QImageReader reader(path(c.name));
        EXPECT_EQ(reader.format(), QByteArray(c.format));
        s.withPicture = c.withPicture;
        EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32),
            exportPicture(m_list, s).convertToFormat(QImage::Format_RGB32));
    }
}

TEST_F(ExportCommandTest, TracesAPictureIntoAProjectAndAnExport)
{
    // A black disc of radius 40 at (100, 70) on a picture that says it was scanned at 300 dpi.
    QImage scan(200, 150, QImage::Format_RGB32);
    scan.fill(Qt::white);
    {
        QPainter p(&scan);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(100, 70), 40, 40);
    }
    scan.setDotsPerMeterX(11811);
    scan.setDotsPerMeterY(11811);
    const QString png = path("scan.png");
    ASSERT_TRUE(scan.save(png));

    struct Row
    {
        QStringList extra;
        double mmPerPixel;
    };
    const Row rows[] = {
        { {}, 25.39995 / 300 },
        { { QStringLiteral("--dpi"), QStringLiteral("100") }, 25.39995 / 100 },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.extra.join(QLatin1Char(' ')).toStdString());
        QFile::remove(path("disc.lvx"));
        ASSERT_EQ(run(QStringList { png, QStringLiteral("--trace"), QStringLiteral("outline"),
                          QStringLiteral("--project"), path("disc.lvx"),
                          QStringLiteral("--cnc-dxf"), path("disc.dxf") }
                      + row.extra),
            0)
            << err.toStdString();
        const ProjectLoad load = loadProjectFile(path("disc.lvx"));
        ASSERT_TRUE(load.result.ok);
        ASSERT_EQ(load.result.contents.elements->Count(), 1u);
        const TDrawElement &disc = load.result.contents.elements->at(0);
        EXPECT_EQ(disc.Kind, KindEllipse);
        EXPECT_NEAR(disc.Start.x, 60, 0.15);
        EXPECT_NEAR(disc.End.y, 110, 0.15);
        EXPECT_EQ(load.result.contents.picture.width(), 200);
        // The ellipse's rightmost point, scaled by the resolution in force.
        const QList<QByteArray> lines = readFile(path("disc.dxf")).split('\n');
        double right = 0;
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i].trimmed() == "10")
                right = std::max(right, lines[i + 1].trimmed().toDouble());
        }
        EXPECT_NEAR(right, 140 * row.mmPerPixel, 0.15 * row.mmPerPixel);
    }

    // A stroke traced along its middle: one open line.
    QImage drawing(200, 60, QImage::Format_RGB32);
    drawing.fill(Qt::white);
    {
        QPainter p(&drawing);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::black, 5));
        p.drawLine(QPointF(20, 30.5), QPointF(180, 30.5));
    }
    ASSERT_TRUE(drawing.save(path("stroke.png")));
    ASSERT_EQ(run({ path("stroke.png"), QStringLiteral("--trace"), QStringLiteral("centerline"),
                  QStringLiteral("--project"), path("stroke.lvx") }),
        0)
        << err.toStdString();
    const ProjectLoad stroke = loadProjectFile(path("stroke.lvx"));
    ASSERT_TRUE(stroke.result.ok);
    ASSERT_EQ(stroke.result.contents.elements->Count(), 1u);
    const TDrawElement &middle = stroke.result.contents.elements->at(0);
    EXPECT_EQ(middle.Kind, KindLine);
    EXPECT_EQ(middle.ClosesChain, 0);
    EXPECT_NEAR(middle.Start.y, 30.5, 0.3);
    EXPECT_NEAR(middle.End.y, 30.5, 0.3);
    EXPECT_GT(std::abs(middle.End.x - middle.Start.x), 150);

    // Nothing to trace is said, and the outputs are still written.
    QImage blank(50, 50, QImage::Format_RGB32);
    blank.fill(Qt::white);
    ASSERT_TRUE(blank.save(path("blank.png")));
    EXPECT_EQ(run({ path("blank.png"), QStringLiteral("--trace"), QStringLiteral("outline"),
                  QStringLiteral("--svg"), path("blank.svg") }),
        0);
    EXPECT_TRUE(err.contains(QLatin1String("nothing was traced")));
    EXPECT_TRUE(QFile::exists(path("blank.svg")));
    EXPECT_EQ(run({ path("missing.png"), QStringLiteral("--trace"), QStringLiteral("outline"),
                  QStringLiteral("--svg"), path("missing.svg") }),
        1);
}

TEST_F(ExportCommandTest, HelpAndVersion)
{
    EXPECT_EQ(run({ QStringLiteral("--help") }), 0);
    for (const char *option :
        { "--cnc-dxf", "--emf", "--zoom", "--svg", "--png", "--bmp", "--with-picture" }) {
        EXPECT_TRUE(out.contains(QLatin1String(option))) << option;
    }
    EXPECT_EQ(run({ QStringLiteral("--version") }), 0);
    EXPECT_EQ(out, QStringLiteral("linovex-export 1.0\n"));
}
