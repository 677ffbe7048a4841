#include "ExportTestDrawing.h"
#include "InkCompare.h"
#include "export/PictureExport.h"
#include "export/SvgExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

// Readable failure output for path texts.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << s.toStdString();
}

namespace {

struct ParsedSvg
{
    QXmlStreamAttributes svg;
    QXmlStreamAttributes group;
    QStringList paths;
    QString error;
};

ParsedSvg parse(const QByteArray &bytes)
{
    ParsedSvg p;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("svg"))
            p.svg = xml.attributes();
        else if (xml.name() == QLatin1String("g"))
            p.group = xml.attributes();
        else if (xml.name() == QLatin1String("path"))
            p.paths << xml.attributes().value(QLatin1String("d")).toString();
    }
    if (xml.hasError())
        p.error = xml.errorString();
    return p;
}

SvgExportSettings settings240x120()
{
    SvgExportSettings s;
    s.pictureWidth = 240;
    s.pictureHeight = 120;
    s.lineWidth = 3;
    return s;
}

} // namespace

TEST(SvgExport, DocumentIsSizedInMillimetresWithPicturePixelsAsUserUnits)
{
    ExportTestDrawing d {};
    SvgExportSettings s = settings240x120();
    for (bool millimetres : { true, false }) {
        s.params.dpi = 150;
        s.params.millimetres = millimetres;
        const ParsedSvg svg = parse(svgBytes(d.list, s));
        ASSERT_TRUE(svg.error.isEmpty()) << svg.error.toStdString();
        EXPECT_EQ(svg.svg.value(QLatin1String("viewBox")), QLatin1String("0 0 240 120"));
        // 240 pixels at 150 dpi are 1.6 inches of 25.39995 mm; the DXF unit does not matter.
        const QString width = svg.svg.value(QLatin1String("width")).toString();
        ASSERT_TRUE(width.endsWith(QLatin1String("mm")));
        EXPECT_NEAR(width.chopped(2).toDouble(), 1.6 * 25.39995, 1e-9);
        EXPECT_NEAR(svg.svg.value(QLatin1String("height")).toString().chopped(2).toDouble(),
            0.8 * 25.39995, 1e-9);
        EXPECT_TRUE(svg.paths.isEmpty());
    }
}

TEST(SvgExport, EveryElementIsOnePathWithItsClosingLine)
{
    ExportTestDrawing d {
        element(KindLine, 0, { 10.5, 20.25 }, { 30, 40 }),
        element(KindQuadBezier, 1, { 30, 40 }, { 60, 40 }, { 45, 10 }),
        element(KindCubicBezier, 2, { 60, 40 }, { 70, 80 }, { 65, 45 }, { 75, 70 }, true),
        element(KindEllipse, 0, { 150, 90 }, { 100, 40 }),
        element(17, 3, { 1, 1 }, { 2, 2 }),
        // A flat ellipse is a line, not an empty arc.
        element(KindEllipse, 0, { 5, 9 }, { 5, 1 }),
    };
    // The unknown kind closes the ellipse's chain: only its closing line is drawn.
    d.list.Get(4)->ClosesChain = 1;
    linovex::test::CommaLocale comma;
    const ParsedSvg svg = parse(svgBytes(d.list, settings240x120()));
    ASSERT_TRUE(svg.error.isEmpty()) << svg.error.toStdString();
    EXPECT_EQ(svg.paths,
        (QStringList { QStringLiteral("M10.5 20.25 L30 40"), QStringLiteral("M30 40 Q45 10 60 40"),
            QStringLiteral("M60 40 C65 45 75 70 70 80 M70 80 L10.5 20.25"),
            QStringLiteral("M100 65 A25 25 0 1 0 150 65 A25 25 0 1 0 100 65Z"),
            QStringLiteral("M2 2 L150 90"), QStringLiteral("M5 1 L5 9") }));
}

TEST(SvgExport, StrokeHasThePenColourAndTheWidthShownAt100Percent)
{
    ExportTestDrawing d { element(KindLine, 0, { 0, 0 }, { 1, 1 }) };
    SvgExportSettings s = settings240x120();
    s.penColor = QColor(0x12, 0xAB, 0x05);
    struct Case
    {
        double lineWidth;
        const char *stroke;
    };
    for (const Case c : { Case { 2.5, "2" }, Case { 3.5, "4" }, Case { 0.1, "1" } }) {
        s.lineWidth = c.lineWidth;
        const ParsedSvg svg = parse(svgBytes(d.list, s));
        EXPECT_EQ(svg.group.value(QLatin1String("stroke")), QLatin1String("#12ab05"));
        EXPECT_EQ(svg.group.value(QLatin1String("fill")), QLatin1String("none"));
        EXPECT_EQ(svg.group.value(QLatin1String("stroke-width")), QLatin1String(c.stroke))
            << c.lineWidth;
    }
}

TEST(SvgExport, SaveNamesTheFileItCouldNotWrite)
{
    QTemporaryDir dir;
    ExportTestDrawing d = ExportTestDrawing::everyKind();
    const QString good = dir.filePath(QStringLiteral("a.svg"));
    ASSERT_TRUE(saveSvg(d.list, settings240x120(), good).ok);
    EXPECT_EQ(linovex::test::readFile(good), svgBytes(d.list, settings240x120()));
    const QString bad = dir.filePath(QStringLiteral("missing/a.svg"));
    const ExportResult r = saveSvg(d.list, settings240x120(), bad);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.fileName, bad);
    EXPECT_TRUE(r.message().endsWith(bad));
}

TEST(SvgExport, AnIndependentRendererDrawsTheSamePixelsAsThePictureExport)
{
    const QString rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    if (rsvg.isEmpty())
        GTEST_SKIP() << "rsvg-convert is not installed (Debian package librsvg2-bin)";
    QTemporaryDir dir;
    ExportTestDrawing d = ExportTestDrawing::everyKind();
    const QString svgName = dir.filePath(QStringLiteral("drawing.svg"));
    const QString pngName = dir.filePath(QStringLiteral("rsvg.png"));
    ASSERT_TRUE(saveSvg(d.list, settings240x120(), svgName).ok);
    QProcess p;
    p.start(rsvg,
        { QStringLiteral("-w"), QStringLiteral("240"), QStringLiteral("-h"), QStringLiteral("120"),
            QStringLiteral("-b"), QStringLiteral("white"), QStringLiteral("-o"), pngName,
            svgName });
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage rendered = QImage(pngName).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(rendered.size(), QSize(240, 120));

    Dib picture = Dib::create(240, 120, 24);
    PictureExportSettings ps;
    ps.picture = &picture.rec();
    ps.withPicture = false;
    ps.lineWidth = 3;
    const QImage ours = exportPicture(d.list, ps);
    ASSERT_EQ(ours.size(), QSize(240, 120));

    // Every line pixel of one rendering lies within two pixels of a line pixel of the other.
    ASSERT_GT(inkCount(ours), 500);
    EXPECT_EQ(unmatchedInk(ours, rendered, 2), 0);
    EXPECT_EQ(unmatchedInk(rendered, ours, 2), 0);
}
