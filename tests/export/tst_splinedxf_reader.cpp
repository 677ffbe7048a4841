#include "dxf/DXFExport.h"
#include "export/SplineDxfExport.h"
#include "support/TestDrawing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace {

// Loads a DXF file with ezdxf, audits it and reports what it found as JSON. Exit code 77
// means that ezdxf is not available.
const char *const ReaderScript = R"(
import json, sys
try:
    import ezdxf
except Exception:
    sys.exit(77)
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
counts = {}
splines = []
for e in doc.modelspace():
    counts[e.dxftype()] = counts.get(e.dxftype(), 0) + 1
    if e.dxftype() == 'SPLINE':
        start = e.control_points[0]
        end = e.control_points[-1]
        splines.append([len(e.control_points), e.dxf.degree, start[0], start[1], end[0], end[1]])
print(json.dumps({
    'errors': [str(x.message) for x in auditor.errors],
    'fixes': [str(x.message) for x in auditor.fixes],
    'counts': counts,
    'splines': splines,
}))
)";

// Runs the reader script on a file; an empty object when ezdxf is not there (`skipped` says so).
QJsonObject readWithEzdxf(const QString &path, bool &skipped)
{
    skipped = false;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), QString::fromUtf8(ReaderScript), path });
    if (!python.waitForStarted(10000) || !python.waitForFinished(120000)
        || python.exitCode() == 77) {
        skipped = true;
        return {};
    }
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

TEST(SplineDxfReader, Release2000DocumentNeedsNoFixes)
{
    // The release 2000 fixed text names every owner, so ezdxf has nothing to repair: the header
    // variables, the line type, the layer with its lineweight and plot style, and entities with
    // line type names and lineweights are all as a reader expects them.
    TsgDXFExport document;
    const float dashes[] = { 5, -2.5f, 0 };
    document.AddLineType("DASHED", dashes);
    std::vector<TFPointList> lists { { { 0, 0, 0 }, { 10, -5, 0 }, { 20, 0, 0 } } };
    TdxfExportData data;
    data.Points = &lists;
    data.Count = 1;
    data.Color = 3;
    data.PenWidth = 2.5f;
    data.Text = "DASHED";
    data.Flags = 1;
    document.AddPolyBezier(data, 0);
    lists[0] = { { 0, 0, 0 }, { 1, 2, 0 }, { 3, 2, 0 }, { 4, 0, 0 }, { 5, -2, 0 }, { 7, -2, 0 },
        { 8, 0, 0 } };
    data.Color = 256;
    data.PenWidth = 50;
    data.Text.clear();
    data.Flags = 0;
    document.AddPolyBezier(data, 0);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("release2000.dxf"));
    {
        std::ofstream file(path.toStdString(), std::ios::binary);
        ASSERT_TRUE(document.SaveToStream(file));
    }
    bool skipped = false;
    const QJsonObject report = readWithEzdxf(path, skipped);
    if (skipped)
        GTEST_SKIP() << "ezdxf is not available for /usr/bin/python3";
    EXPECT_EQ(report.value(QStringLiteral("errors")).toArray(), QJsonArray {})
        << QJsonDocument(report).toJson().toStdString();
    EXPECT_EQ(report.value(QStringLiteral("fixes")).toArray(), QJsonArray {})
        << QJsonDocument(report).toJson().toStdString();
    const QJsonObject counts = report.value(QStringLiteral("counts")).toObject();
    EXPECT_EQ(counts.value(QStringLiteral("LWPOLYLINE")).toInt(), 1);
    EXPECT_EQ(counts.value(QStringLiteral("SPLINE")).toInt(), 1);
}

TEST(SplineDxfReader, EzdxfAcceptsEveryKindOfElement)
{
    TElementList list;
    const TDrawElement drawing[] = {
        element(KindLine, 0, { 10, 10 }, { 100, 10 }),
        element(KindLine, 1, { 100, 10 }, { 100, 90 }),
        element(KindQuadBezier, 2, { 100, 90 }, { 20, 90 }, { 60, 140 }),
        element(KindCubicBezier, 3, { 20, 90 }, { 10, 50 }, { 0, 80 }, { 30, 60 }),
        element(KindEllipse, 0, { 200, 50 }, { 300, 120 }),
        element(KindCubicBezier, 0, { 0, 0 }, { 50, 0 }, { 10, 30 }, { 40, -30 }),
    };
    for (const TDrawElement &e : drawing)
        *list.Append() = e;
    list.Get(3)->ClosesChain = 1;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all-kinds.dxf"));
    DxfExportParams params;
    const SplineDxfResult result = SplineDxfExport::savedxf(list, params, path);
    ASSERT_TRUE(result.ok) << result.detail.toStdString();

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
        { QStringLiteral("-c"), QString::fromUtf8(ReaderScript), path });
    if (!python.waitForStarted(10000))
        GTEST_SKIP() << "/usr/bin/python3 is not available";
    ASSERT_TRUE(python.waitForFinished(120000));
    if (python.exitCode() == 77)
        GTEST_SKIP() << "ezdxf is not installed for /usr/bin/python3";
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();

    const QJsonObject report = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    EXPECT_EQ(report.value(QStringLiteral("errors")).toArray(), QJsonArray {})
        << QJsonDocument(report).toJson().toStdString();
    // ezdxf lifts a release 14 file to release 2000 while loading and then gives the three
    // fixed dictionary records the owner handle that release 2000 writes and release 14 does
    // not; the release 14 records name their owner in their reactor group instead. A document
    // without any entity gets the same three fixes, and the release 2000 text none (above), so
    // they come from the fixed release 14 text alone. Any other fix means that something we
    // wrote was wrong.
    const QJsonArray expectedFixes { QStringLiteral(
                                         "Fixed invalid owner handle in DICTIONARY(#14)"),
        QStringLiteral("Fixed invalid owner handle in DICTIONARY(#15)"),
        QStringLiteral("Fixed invalid owner handle in MLINESTYLE(#16)") };
    EXPECT_EQ(report.value(QStringLiteral("fixes")).toArray(), expectedFixes)
        << QJsonDocument(report).toJson().toStdString();
    const QJsonObject counts = report.value(QStringLiteral("counts")).toObject();
    EXPECT_EQ(counts.size(), 2);
    // Two lines and the closing line; the quadratic, two cubics and sixteen ellipse pieces.
    EXPECT_EQ(counts.value(QStringLiteral("LWPOLYLINE")).toInt(), 3);
    EXPECT_EQ(counts.value(QStringLiteral("SPLINE")).toInt(), 19);

    // Every spline is one cubic piece: four control points of degree 3. The ellipse pieces
    // (splines 2 to 17) join end to start, the last back to the first.
    const QJsonArray splines = report.value(QStringLiteral("splines")).toArray();
    ASSERT_EQ(splines.size(), 19);
    for (const auto &value : splines) {
        EXPECT_EQ(value.toArray()[0].toInt(), 4);
        EXPECT_EQ(value.toArray()[1].toInt(), 3);
    }
    for (int k = 0; k < 16; ++k) {
        const QJsonArray piece = splines[2 + k].toArray();
        const QJsonArray next = splines[2 + (k + 1) % 16].toArray();
        EXPECT_EQ(piece[4].toDouble(), next[2].toDouble()) << k;
        EXPECT_EQ(piece[5].toDouble(), next[3].toDouble()) << k;
    }
}
