// The CNC DXF file, byte for byte where the expected text can be worked out by hand, and by its
// structure and geometry where it cannot (arcs).
#include "CncTestDrawing.h"
#include "export/CncDxfExport.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace cnctest;
using linovex::test::dataPath;
using linovex::test::readFile;

namespace {

DxfExportParams inches72()
{
    DxfExportParams p;
    p.dpi = 72;
    p.millimetres = false;
    p.pieces = 4;
    return p;
}

QByteArray golden(const char *name)
{
    const QByteArray bytes = readFile(dataPath(QStringLiteral("export/") + QLatin1String(name)));
    EXPECT_FALSE(bytes.isEmpty()) << name;
    return bytes;
}

// A quarter circle of radius 72 pixels around the origin, from (72, 0) to (0, -72) in picture
// coordinates: counter-clockwise once y points upwards.
TDrawElement quarterCircle()
{
    const double k = 0.5522847498 * 72;
    return element(KindCubicBezier, 0, { 72, 0 }, { 0, -72 }, { 72, -k }, { k, -72 });
}

} // namespace

TEST(CncDxf, EmptyListIsTheFixedFrameOnly)
{
    TElementList list;
    EXPECT_EQ(cncDxfBytes(list, inches72()), golden("cnc_empty.dxf"));
}

TEST(CncDxf, LinesJoinIntoPolylinesOnlyWhereTheyMeetExactly)
{
    TElementList joined;
    append(joined, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(joined, element(KindLine, 1, { 72, 72 }, { 144, 0 }));
    EXPECT_EQ(cncDxfBytes(joined, inches72()), golden("cnc_two_joined_lines.dxf"));

    TElementList apart;
    append(apart, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(apart, element(KindLine, 0, { 144, 0 }, { 216, 72 }));
    EXPECT_EQ(cncDxfBytes(apart, inches72()), golden("cnc_two_separate_lines.dxf"));

    // ChainPos plays no part: a new chain that starts where the last one ended continues the
    // polyline, while a start a hair away begins a new one.
    TElementList touching;
    append(touching, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(touching, element(KindLine, 0, { 72, 72 }, { 144, 0 }));
    EXPECT_EQ(cncDxfBytes(touching, inches72()), golden("cnc_two_joined_lines.dxf"));

    TElementList nearly;
    append(nearly, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(nearly, element(KindLine, 1, { std::nextafter(72.0, 73.0), 72 }, { 144, 0 }));
    EXPECT_EQ(countLines(cncDxfBytes(nearly, inches72()), "POLYLINE"), 2);
}

TEST(CncDxf, ScaleFollowsResolutionAndUnit)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    DxfExportParams mm = inches72();
    mm.millimetres = true;
    EXPECT_EQ(cncDxfBytes(list, mm), golden("cnc_line_72dpi_mm.dxf"));
    EXPECT_EQ(cncDxfBytes(list, inches72()), golden("cnc_line_72dpi_inch.dxf"));
}

TEST(CncDxf, OutputDoesNotDependOnTheLocale)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(list, quarterCircle());
    append(list, element(KindEllipse, 0, { 10, 20 }, { 50, 35 }));
    DxfExportParams mm = inches72();
    mm.millimetres = true;
    const QByteArray before = cncDxfBytes(list, mm);
    linovex::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(cncDxfBytes(list, mm), before);
    EXPECT_EQ(cncDxfBytes(list, mm).count(','), 0);
    TElementList line;
    append(line, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    EXPECT_EQ(cncDxfBytes(line, mm), golden("cnc_line_72dpi_mm.dxf"));
}

TEST(CncDxf, ClosedChainGetsItsClosingSegmentInTheSamePolyline)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 0 }));
    append(list, element(KindLine, 1, { 72, 0 }, { 72, 72 }));
    // The closing flag sits on the last element, as the close command sets it.
    TDrawElement last = list.at(1);
    last.ClosesChain = 1;
    *list.Get(1) = last;
    EXPECT_EQ(cncDxfBytes(list, inches72()), golden("cnc_closed_chain.dxf"));
}

TEST(CncDxf, ClosingSegmentFindsTheNearestChainStartOrNothing)
{
    // Two chains; the second one's closing line runs to its own start, not to the first chain's.
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 0 }));
    append(list, element(KindLine, 0, { 144, 0 }, { 216, 0 }));
    TDrawElement e = element(KindLine, 1, { 216, 0 }, { 216, 72 });
    e.ClosesChain = 1;
    append(list, e);
    QList<Vertex> v = vertices(cncDxfBytes(list, inches72()));
    ASSERT_EQ(v.size(), 8);
    EXPECT_EQ(v[6].x + " " + v[6].y, "3 -1");
    EXPECT_EQ(v[7].x + " " + v[7].y, "2 0");

    // Without any element whose ChainPos is 0 at or before it there is no closing line.
    TElementList orphan;
    TDrawElement o = element(KindLine, 3, { 0, 0 }, { 72, 0 });
    o.ClosesChain = 1;
    append(orphan, o);
    EXPECT_EQ(vertices(cncDxfBytes(orphan, inches72())).size(), 2);

    // An element of an unknown kind writes nothing of its own but still closes its chain.
    TElementList unknown;
    append(unknown, element(KindLine, 0, { 0, 0 }, { 72, 0 }));
    TDrawElement u = element(7, 1, { 72, 0 }, { 72, 72 });
    u.ClosesChain = 1;
    append(unknown, u);
    v = vertices(cncDxfBytes(unknown, inches72()));
    ASSERT_EQ(v.size(), 4);
    EXPECT_EQ(v[2].x + " " + v[2].y, "1 -1");
    EXPECT_EQ(v[3].x + " " + v[3].y, "0 0");
}

TEST(CncDxf, ClosedEllipseChainClosesInTheEllipsePass)
{
    TElementList list;
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 0 }));
    TDrawElement ellipse = element(KindEllipse, 1, { 72, 0 }, { 144, 72 });
    ellipse.ClosesChain = 1;
    append(list, ellipse);
    append(list, element(KindLine, 0, { 0, 144 }, { 72, 144 }));
    const QList<Vertex> v = vertices(cncDxfBytes(list, inches72()));
    // Two lines, then the ellipse's 64 segments, then the closing line from the ellipse's End
    // corner to the chain's start.
    ASSERT_EQ(v.size(), 2 * (2 + 64 + 1));
    EXPECT_EQ(v[4].x + " " + v[4].y, "1.5 0");
    EXPECT_EQ(v[v.size() - 2].x + " " + v[v.size() - 2].y, "2 -1");
    EXPECT_EQ(v.last().x + " " + v.last().y, "0 0");
}

TEST(CncDxf, StraightCubicGivesStraightSegments)
{
    TElementList list;
    append(list, element(KindCubicBezier, 0, { 0, 0 }, { 288, 0 }, { 72, 0 }, { 216, 0 }));
    const QByteArray file = cncDxfBytes(list, inches72());
    const QList<Vertex> v = vertices(file);
    ASSERT_EQ(v.size(), 8);
    for (const Vertex &vx : v)
        EXPECT_EQ(vx.bulge, "0");
    EXPECT_EQ(countLines(file, "POLYLINE"), 1);
    EXPECT_EQ(v[0].x, "0");
    EXPECT_EQ(v[7].x, "4");
}

TEST(CncDxf, QuarterCircleBecomesFourArcsOfOneSense)
{
    TElementList list;
    append(list, quarterCircle());
    const QList<Vertex> v = vertices(cncDxfBytes(list, inches72()));
    ASSERT_EQ(v.size(), 8);
    for (qsizetype i = 0; i < v.size(); i += 2) {
        EXPECT_EQ(v[i].bulge, v[i + 1].bulge);
        const double b = v[i].bulge.toDouble();
        // A quarter turn cut in four: each arc turns by about 22.5 degrees, bulge about
        // tan(22.5 / 4 degrees) = 0.0985; the pieces of a Bezier are not quite equal.
        EXPECT_NEAR(b, 0.1, 0.005);
        EXPECT_GT(b, 0) << "counter-clockwise in output coordinates";
    }
    // The same curve run the other way turns clockwise.
    TElementList reversed;
    const TDrawElement q = quarterCircle();
    append(reversed, element(KindCubicBezier, 0, q.End, q.Start, q.Ctrl2, q.Ctrl1));
    for (const Vertex &vx : vertices(cncDxfBytes(reversed, inches72())))
        EXPECT_LT(vx.bulge.toDouble(), 0);
}

TEST(CncDxf, BulgeIsTheChosenCandidateInThousandths)
{
    TElementList list;
    append(list, element(KindCubicBezier, 0, { 3, 7 }, { 500, 40 }, { 100, -300 }, { 420, 380 }));
    append(list, element(KindQuadBezier, 1, { 500, 40 }, { 20, 700 }, { 610, 620 }));
    append(list, element(KindEllipse, 0, { 13, 17 }, { 311, 97 }));
    DxfExportParams p = inches72();
    p.millimetres = true;
    p.pieces = 7;
    int arcs = 0;
    for (const Vertex &vx : vertices(cncDxfBytes(list, p))) {
        const double b = vx.bulge.toDouble();
        if (b == 0)
            continue;
        ++arcs;
        EXPECT_LT(std::fabs(b), 1.0);
        EXPECT_NEAR(b * 1000, std::round(b * 1000), 1e-6) << vx.bulge.constData();
    }
    EXPECT_GT(arcs, 2 * 20);
}

TEST(CncDxf, PiecesPerCurveFollowTheSetting)
{
    TElementList list;
    append(list, quarterCircle());
    for (int n : { 1, 4, 20 }) {
        DxfExportParams p = inches72();
        p.pieces = n;
        const QByteArray file = cncDxfBytes(list, p);
        EXPECT_EQ(vertices(file).size(), 2 * n) << n;
        EXPECT_EQ(countLines(file, "POLYLINE"), 1) << n;
    }
    // Values beyond the dialog's range are held to it rather than writing nothing or dividing by
    // zero.
    DxfExportParams zero = inches72();
    zero.pieces = 0;
    EXPECT_EQ(vertices(cncDxfBytes(list, zero)).size(), 2);
    DxfExportParams many = inches72();
    many.pieces = 500;
    EXPECT_EQ(vertices(cncDxfBytes(list, many)).size(), 40);
}

TEST(CncDxf, QuadraticIsCutLikeItsCubic)
{
    TElementList quad;
    append(quad, element(KindQuadBezier, 0, { 0, 0 }, { 144, 0 }, { 72, 72 }));
    const QList<Vertex> v = vertices(cncDxfBytes(quad, inches72()));
    ASSERT_EQ(v.size(), 8);
    EXPECT_EQ(v[0].x + " " + v[0].y, "0 0");
    EXPECT_EQ(v[7].x + " " + v[7].y, "2 0");
    // Symmetric curve: the middle of the curve (t = 0.5) lies at y = -0.5 inch.
    EXPECT_EQ(v[3].x + " " + v[3].y, "1 -0.5");
    for (const Vertex &vx : v)
        EXPECT_GT(vx.bulge.toDouble(), 0) << "a U shape run from left to right: counter-clockwise";
}

TEST(CncDxf, EllipseIsSixteenTimesNContiguousSegmentsClosingOnItself)
{
    TElementList list;
    // Corner 1 at the top left: in output coordinates (1, -1), corner 2 at (3, -2).
    append(list, element(KindEllipse, 0, { 72, 72 }, { 216, 144 }));
    for (int n : { 1, 4 }) {
        DxfExportParams p = inches72();
        p.pieces = n;
        const QByteArray file = cncDxfBytes(list, p);
        const QList<Vertex> v = vertices(file);
        ASSERT_EQ(v.size(), 2 * 16 * n);
        EXPECT_EQ(countLines(file, "POLYLINE"), 1);
        EXPECT_EQ(v.first().x + " " + v.first().y, "2 -1");
        EXPECT_EQ(v.last().x + " " + v.last().y, "2 -1");
        for (qsizetype i = 1; i + 1 < v.size(); i += 2)
            EXPECT_EQ(v[i].x + v[i].y, v[i + 1].x + v[i + 1].y) << "segments share their ends";
        // The outline passes exactly through the middles of the other three sides.
        EXPECT_EQ(v[2 * 4 * n - 1].x + " " + v[2 * 4 * n - 1].y, "3 -1.5");
        EXPECT_EQ(v[2 * 8 * n - 1].x + " " + v[2 * 8 * n - 1].y, "2 -2");
        EXPECT_EQ(v[2 * 12 * n - 1].x + " " + v[2 * 12 * n - 1].y, "1 -1.5");
    }
}

TEST(CncDxf, FlatEllipsesAreStraightAlongTheirMiddleLine)
{
    for (const auto &[start, end, fixedX] : {
             std::tuple { TPointD { 72, 72 }, TPointD { 216, 72 }, false }, // no height
             std::tuple { TPointD { 72, 72 }, TPointD { 72, 216 }, true }, // no width
             std::tuple { TPointD { 72, 72 }, TPointD { 72, 72 }, true }, // a point
         }) {
        TElementList list;
        append(list, element(KindEllipse, 0, start, end));
        const QByteArray file = cncDxfBytes(list, inches72());
        const QList<Vertex> v = vertices(file);
        ASSERT_EQ(v.size(), 2 * 64);
        for (const Vertex &vx : v) {
            EXPECT_EQ(vx.bulge, "0");
            if (fixedX)
                EXPECT_EQ(vx.x, "1");
            else
                EXPECT_EQ(vx.y, "-1");
        }
    }
}

TEST(CncDxf, DegenerateAndHugeInputNeverWritesNonNumbers)
{
    const double huge = std::numeric_limits<double>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    TElementList list;
    append(list, element(KindCubicBezier, 0, { 5, 5 }, { 5, 5 }, { 5, 5 }, { 5, 5 })); // a point
    append(list, element(KindLine, 0, { huge, 0 }, { -huge, huge }));
    append(list,
        element(KindCubicBezier, 0, { 1e300, 1e300 }, { -1e300, 1e300 }, { 1e300, -1e300 },
            { 0, 1e300 }));
    append(list, element(KindQuadBezier, 0, { nan, 0 }, { 1, 1 }, { 2, 0 }));
    append(list, element(KindEllipse, 0, { -huge, -huge }, { huge, huge }));
    append(list, element(KindEllipse, 0, { 1e-300, 0 }, { 3e-300, 2e-300 }));
    append(list,
        element(
            KindCubicBezier, 0, { 1e-12, 0 }, { 3e-12, 0 }, { 1e-12, 1e-12 }, { 3e-12, 1e-12 }));
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    DxfExportParams p = inches72();
    p.millimetres = true;
    p.dpi = 1; // the smallest divisor makes the largest coordinates
    const QByteArray file = cncDxfBytes(list, p);
    const QByteArray lower = file.toLower();
    EXPECT_FALSE(lower.contains("nan"));
    EXPECT_FALSE(lower.contains("inf"));
    // Every number line parses as a finite number.
    const QList<QByteArray> lines = entityLines(file);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i] == "10" || lines[i] == "20" || lines[i] == "42") {
            bool ok = false;
            const double value = lines[i + 1].toDouble(&ok);
            EXPECT_TRUE(ok && std::isfinite(value)) << lines[i + 1].constData();
        }
    }
    // The point curve is four zero-length straight segments, and the sane line survives.
    const QList<Vertex> v = vertices(file);
    ASSERT_GE(v.size(), 10);
    EXPECT_EQ(v[0].x, v[1].x);
    EXPECT_EQ(v[0].bulge, "0");
    bool lineFound = false;
    for (const Vertex &vx : v)
        lineFound |= vx.x == "1828.7964" && vx.y == "-1828.7964";
    EXPECT_TRUE(lineFound);
}

// Near the largest double, the 15-digit text of a coordinate can round beyond it, and a reader
// takes 1.79769313486232E308 for infinity. Such segments are left out like non-numbers; the
// largest coordinate that reads back is still written.
TEST(CncDxf, CoordinatesWhoseTextWouldOverflowAreLeftOut)
{
    const double top = std::numeric_limits<double>::max();
    const double firstOverflowing = 1.797693134862315e308;
    const double largestKept = 1.79769313486231e308;
    TElementList list;
    append(list, element(KindLine, 0, { top, 0 }, { 1, 0 }));
    append(list, element(KindLine, 0, { 2, 0 }, { 3, -firstOverflowing }));
    append(list, element(KindLine, 0, { 4, 0 }, { -largestKept, 5 }));
    DxfExportParams p;
    p.dpi = 1; // inches at one pixel per inch: the coordinates pass unscaled
    p.millimetres = false;
    const QList<Vertex> v = vertices(cncDxfBytes(list, p));
    ASSERT_EQ(v.size(), 2);
    EXPECT_EQ(v[0].x, "4");
    EXPECT_EQ(v[1].x, "-1.79769313486231E308");
    EXPECT_EQ(v[1].y, "-5");
}

TEST(CncDxf, ExportMovesTheCursorToTheLastElementOnly)
{
    TDrawElement *cursor = nullptr;
    TElementList list(&cursor);
    append(list, element(KindLine, 0, { 0, 0 }, { 72, 72 }));
    append(list, element(KindEllipse, 0, { 0, 0 }, { 72, 72 }));
    append(list, element(KindLine, 0, { 9, 9 }, { 72, 72 }));
    const QByteArray before(reinterpret_cast<const char *>(&list.at(0)), 3 * sizeof(TDrawElement));
    cncDxfBytes(list, inches72());
    EXPECT_EQ(list.currentIndex(), 2);
    EXPECT_EQ(cursor, &list.at(2));
    EXPECT_EQ(
        QByteArray(reinterpret_cast<const char *>(&list.at(0)), 3 * sizeof(TDrawElement)), before);
}
