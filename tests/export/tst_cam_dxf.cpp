// The DXF for CAD and CAM programs: its text worked out by hand for a small drawing, and a
// larger drawing read back by an independent reader, ezdxf, which must find nothing to repair.
#include "dxf/DXFExport.h"
#include "export/CamDxfExport.h"
#include "support/TestDrawing.h"
#include "support/TestSupport.h"
#include "EzdxfCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>

namespace {

struct Drawing
{
    TDrawElement *cursor = nullptr;
    TElementList list { &cursor };
    Drawing(std::initializer_list<TDrawElement> elements)
    {
        for (const TDrawElement &e : elements)
            *list.Append() = e;
    }
};

// One picture pixel is one millimetre.
CamDxfSettings settings(double pictureHeight, bool splines = false, bool millimetres = true)
{
    CamDxfSettings s;
    s.params.dpi = millimetres ? DxfExportParams::MillimetresPerInch : 1;
    s.params.millimetres = millimetres;
    s.pictureHeight = pictureHeight;
    s.splines = splines;
    return s;
}

std::string fileText(const TElementList &list, const CamDxfSettings &s)
{
    std::ostringstream out;
    EXPECT_TRUE(CamDxfExport::write(out, list, s));
    return out.str();
}

// The text between two markers of the file.
std::string between(const std::string &text, const std::string &from, const std::string &to)
{
    const std::size_t start = text.find(from);
    if (start == std::string::npos)
        return "(missing)";
    const std::size_t end = text.find(to, start + from.size());
    if (end == std::string::npos)
        return "(missing)";
    return text.substr(start + from.size(), end - start - from.size());
}

std::string lines(std::initializer_list<const char *> values)
{
    std::string text;
    for (const char *v : values)
        text.append(v).append("\r\n");
    return text;
}

} // namespace

TEST(CamDxf, ATriangleAndAHoleAreWrittenAsWorkedOut)
{
    // A triangle whose last line ends on its first point, and a circle, in a picture 100 high:
    // y becomes 100 - y.
    Drawing d { element(KindLine, 0, { 10, 10 }, { 50, 10 }),
        element(KindLine, 1, { 50, 10 }, { 30, 40 }), element(KindLine, 2, { 30, 40 }, { 10, 10 }),
        element(KindEllipse, 0, { 60, 60 }, { 80, 80 }) };
    const std::string text = fileText(d.list, settings(100));

    EXPECT_EQ(between(text, "$ACADVER\r\n  1\r\n", "\r\n"), "AC1015");
    // The line type takes handle 20, the entities 21 and 22, the layers 23 and 24.
    EXPECT_EQ(between(text, "$HANDSEED\r\n  5\r\n", "\r\n"), "26");
    EXPECT_EQ(
        between(text, "$LIMMAX\r\n", "  9\r\n$INSUNITS"), lines({ " 10", "70", " 20", "90" }));
    EXPECT_EQ(between(text, "$LIMMAX", "  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nTABLES"),
        lines({ "", " 10", "70", " 20", "90", "  9", "$INSUNITS", " 70", "4", "  9", "$MEASUREMENT",
            " 70", "1", "  9", "$EXTMIN", " 10", "10", " 20", "20", " 30", "0", "  9", "$EXTMAX",
            " 10", "80", " 20", "90", " 30", "0" }));
    EXPECT_NE(text.find(lines({ "  2", "Continuous", "  3", "", " 70", "0", " 72", "65", " 73", "0",
                  " 40", "0" })),
        std::string::npos);
    EXPECT_NE(text.find(lines({ "  2", "HOLES", " 70", "0", " 62", "7", "  6", "Continuous" })),
        std::string::npos);
    EXPECT_EQ(between(text, "  2\r\nENTITIES\r\n", "  0\r\nENDSEC"),
        lines({ "  0", "LWPOLYLINE", "  5", "21", "100", "AcDbEntity", "  8", "0", "100",
            "AcDbPolyline", " 90", "3", " 70", "1", " 10", "10", " 20", "90", " 10", "50", " 20",
            "90", " 10", "30", " 20", "60", "  0", "CIRCLE", "  5", "22", "100", "AcDbEntity",
            "  8", "HOLES", "100", "AcDbCircle", " 10", "70", " 20", "30", " 30", "0", " 40",
            "10" }));

    // Inches say so in the header.
    const std::string inch = fileText(d.list, settings(100, false, false));
    EXPECT_EQ(between(inch, "$INSUNITS\r\n 70\r\n", "\r\n"), "1");
    EXPECT_EQ(between(inch, "$MEASUREMENT\r\n 70\r\n", "\r\n"), "0");

    // Damaged coordinates (not a number, beyond what a DXF number can say) are left out, and
    // leave the rest of the chain as it was.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Drawing damaged { element(KindLine, 0, { 10, 10 }, { nan, 10 }),
        element(KindCubicBezier, 0, { 0, 0 }, { 1E308, 0 }, { -1E308, 1E308 }, { 1E308, 1E308 }),
        element(KindEllipse, 0, { -1E308, 0 }, { 1E308, 10 }),
        element(KindLine, 0, { 1, 1 }, { 2, 2 }) };
    const std::string written = fileText(damaged.list, settings(100));
    EXPECT_EQ(written.find("nan"), std::string::npos);
    EXPECT_EQ(written.find("inf"), std::string::npos);
    EXPECT_NE(written.find(lines({ " 10", "1", " 20", "99", " 10", "2", " 20", "98" })),
        std::string::npos);

    // A file that cannot be written is reported with its name and leaves nothing behind.
    QTemporaryDir dir;
    const ExportResult refused = savedxfCam(d.list, settings(100), dir.path());
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.messageNumber, CamDxfExport::CannotCreateMessage);
    EXPECT_EQ(refused.fileName, dir.path());
}

TEST(CamDxf, EzdxfFindsOneEntityPerChainClosedExactlyWhenTheChainIs)
{
    // A chain closed by its last element, one closed by ending where it began, an open chain, a
    // chain with a gap (two runs: a gap is never bridged by a line the drawing does not have),
    // a circle and an ellipse; the picture is 200 high.
    TDrawElement closes = element(KindLine, 2, { 60, 60 }, { 10, 60 });
    closes.ClosesChain = 1;
    Drawing d { element(KindLine, 0, { 10, 10 }, { 60, 10 }),
        element(KindCubicBezier, 1, { 60, 10 }, { 60, 60 }, { 80, 20 }, { 80, 50 }), closes,
        element(KindQuadBezier, 0, { 100, 10 }, { 140, 10 }, { 120, -10 }),
        element(KindLine, 1, { 140, 10 }, { 120, 40 }),
        element(KindLine, 2, { 120, 40 }, { 100, 10 }),
        element(KindLine, 0, { 10, 100 }, { 50, 100 }),
        element(KindCubicBezier, 1, { 50, 100 }, { 90, 120 }, { 60, 130 }, { 80, 90 }),
        element(KindLine, 0, { 10, 150 }, { 30, 150 }),
        element(KindLine, 1, { 40, 150 }, { 60, 150 }),
        element(KindEllipse, 0, { 150, 100 }, { 170, 120 }),
        element(KindEllipse, 0, { 160, 170 }, { 100, 140 }) };

    struct Case
    {
        const char *name;
        bool splines;
        QStringList types; // entity types in file order
        QList<bool> closed; // closed flags of the polylines in order
    };
    const QString lw = QStringLiteral("LWPOLYLINE"), sp = QStringLiteral("SPLINE");
    const QStringList conics { QStringLiteral("CIRCLE"), QStringLiteral("ELLIPSE") };
    const Case cases[] = {
        { "arcs", false, QStringList { lw, lw, lw, lw, lw } + conics,
            { true, true, false, false, false } },
        { "splines", true, QStringList { sp, sp, sp, lw, lw } + conics, { false, false } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString dxf = dir.filePath(QStringLiteral("cam.dxf"));
        CamDxfCounts counts;
        ASSERT_TRUE(savedxfCam(d.list, settings(200, c.splines), dxf, &counts).ok);

        EZDXF_RUN(check, "cam_ezdxf_check.py", dxf);
        const QJsonObject &report = check.report;
        ezdxfcheck::expectCleanAudit(report);
        EXPECT_EQ(report["version"].toString(), QStringLiteral("AC1015"));
        const QJsonObject header = report["header"].toObject();
        EXPECT_EQ(header["$INSUNITS"].toInt(), 4);
        EXPECT_EQ(header["$MEASUREMENT"].toInt(), 1);
        const QJsonObject layers = report["layers"].toObject();
        EXPECT_EQ(layers["0"].toInt(), 7);
        EXPECT_TRUE(layers.contains(QStringLiteral("HOLES")));

        QStringList types;
        QList<bool> closed;
        const QJsonArray entities = report["entities"].toArray();
        for (const QJsonValue &v : entities) {
            const QJsonObject e = v.toObject();
            types << e["type"].toString();
            if (e["type"].toString() == lw)
                closed << e["closed"].toBool();
        }
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(closed, c.closed);
        EXPECT_EQ(counts.closedPolylines, c.closed.count(true));

        // The first chain starts at its first point, y measured up from the picture's bottom.
        const QJsonObject first = entities.first().toObject();
        const QJsonArray start =
            c.splines ? first["first"].toArray() : first["points"].toArray().first().toArray();
        EXPECT_DOUBLE_EQ(start[0].toDouble(), 10);
        EXPECT_DOUBLE_EQ(start[1].toDouble(), 190);
        const QJsonObject circle = entities[entities.size() - 2].toObject();
        EXPECT_EQ(circle["layer"].toString(), QStringLiteral("HOLES"));
        EXPECT_DOUBLE_EQ(circle["radius"].toDouble(), 10);
        EXPECT_EQ(circle["centre"].toArray(), (QJsonArray { 160, 90 }));
        const QJsonObject ellipse = entities.last().toObject();
        EXPECT_EQ(ellipse["centre"].toArray(), (QJsonArray { 130, 45 }));
        EXPECT_EQ(ellipse["major"].toArray(), (QJsonArray { 30, 0 }));
        EXPECT_DOUBLE_EQ(ellipse["ratio"].toDouble(), 0.5);
        // The extents hold the whole drawing: the quadratic's bulge above the picture, the
        // cubic's below its end points.
        const QJsonArray low = header["$EXTMIN"].toArray(), high = header["$EXTMAX"].toArray();
        EXPECT_DOUBLE_EQ(low[0].toDouble(), 10);
        EXPECT_DOUBLE_EQ(high[0].toDouble(), 170);
        EXPECT_DOUBLE_EQ(low[1].toDouble(), 30);
        EXPECT_NEAR(high[1].toDouble(), 200, 0.01); // arcs within the tolerance of the top
    }
}

TEST(CamDxf, ALargeDrawingWalkedInTwoHalvesGivesTheSameFile)
{
    // Chains of seven elements of every kind, some closed, so the halves split between chains.
    Drawing d {};
    for (int i = 0; i < 3000; ++i) {
        const int pos = i % 7;
        const double x = 40.0 * (i / 7 % 50), y = 40.0 * (i / 350) + 4 * pos;
        const std::int32_t kinds[] = { KindLine, KindQuadBezier, KindCubicBezier, KindLine,
            KindEllipse, KindCubicBezier, KindLine };
        TDrawElement e = element(kinds[pos], pos, { x + pos, y }, { x + pos + 1, y + 4 },
            { x + pos + 3, y + 1 }, { x + pos - 2, y + 3 }, pos == 6 && i % 2 == 0);
        if (pos == 5) // after the ellipse the chain goes on from its corner
            e.Start = { x + 5, y + 20 };
        *d.list.Append() = e;
    }
    CamDxfSettings one = settings(1000);
    one.allowThreads = false;
    const std::string alone = fileText(d.list, one);
    EXPECT_EQ(fileText(d.list, settings(1000)), alone);
    EXPECT_GT(alone.size(), 100000u);
}
