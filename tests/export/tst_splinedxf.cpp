#include "dxf/DXFExport.h"
#include "export/SplineDxfExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <vector>

using linovex::test::dataPath;
using linovex::test::readFile;

namespace {

using Values = std::vector<std::string>;

struct Drawing
{
    TElementList list;

    TDrawElement &add(std::int32_t kind, TPointD start, TPointD end, std::int32_t chainPos = 0,
        TPointD ctrl1 = {}, TPointD ctrl2 = {})
    {
        TDrawElement *e = list.Append();
        *e = TDrawElement {};
        e->ChainPos = chainPos;
        e->Kind = kind;
        e->Start = start;
        e->End = end;
        e->Ctrl1 = ctrl1;
        e->Ctrl2 = ctrl2;
        return *e;
    }
};

DxfExportParams inches(double dpi)
{
    DxfExportParams params;
    params.dpi = dpi;
    params.millimetres = false;
    return params;
}

std::string exportText(const Drawing &drawing, const DxfExportParams &params)
{
    std::ostringstream stream;
    EXPECT_TRUE(SplineDxfExport::write(stream, drawing.list, params));
    return stream.str();
}

// One entity: its type and its groups as (code line, value) pairs.
struct Entity
{
    std::string type;
    std::vector<std::pair<std::string, std::string>> groups;

    Values values(const std::string &code) const
    {
        Values result;
        for (const auto &[c, v] : groups)
            if (c == code)
                result.push_back(v);
        return result;
    }
};

std::vector<Entity> entities(const std::string &text)
{
    const std::string head = "  2\r\nENTITIES\r\n";
    auto pos = text.find(head) + head.size();
    std::vector<Entity> result;
    for (;;) {
        const auto codeEnd = text.find("\r\n", pos);
        const auto valueEnd = text.find("\r\n", codeEnd + 2);
        const std::string code = text.substr(pos, codeEnd - pos);
        const std::string value = text.substr(codeEnd + 2, valueEnd - codeEnd - 2);
        pos = valueEnd + 2;
        if (code == "  0") {
            if (value == "ENDSEC")
                return result;
            result.push_back(Entity { value, {} });
        } else {
            result.back().groups.emplace_back(code, value);
        }
    }
}

// The "10"/"20" coordinates of an entity as printed.
std::vector<std::pair<std::string, std::string>> points(const Entity &entity)
{
    const Values xs = entity.values(" 10");
    const Values ys = entity.values(" 20");
    std::vector<std::pair<std::string, std::string>> result;
    for (std::size_t i = 0; i < xs.size(); ++i)
        result.emplace_back(xs[i], ys[i]);
    return result;
}

} // namespace

TEST(SplineDxf, LineAndBezierAtResolution64InInchesMatchesByteForByte)
{
    Drawing drawing;
    drawing.add(KindLine, { 32, 16 }, { 96, 64 });
    drawing.add(KindCubicBezier, { 32, 16 }, { 128, 64 }, 1, { 64, 0 }, { 96, 128 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("example.dxf"));
    const SplineDxfResult result = SplineDxfExport::savedxf(drawing.list, inches(64), path);
    ASSERT_TRUE(result.ok) << result.detail.toStdString();
    EXPECT_EQ(readFile(path), readFile(dataPath(QStringLiteral("dxf/line_and_bezier_r14.dxf"))));
}

TEST(SplineDxf, MillimetresScaleThroughTheFloatOfTheExtendedQuotient)
{
    Drawing drawing;
    drawing.add(KindLine, { 10, 20 }, { 0, 0 });
    DxfExportParams params; // 72 dpi, millimetres
    const auto all = entities(exportText(drawing, params));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(points(all[0]),
        (std::vector<std::pair<std::string, std::string>> {
            { "3.52777075767517", "-7.05554151535034" }, { "0", "0" } }));
}

TEST(SplineDxf, TopEdgeGivesZeroNeverNegativeZero)
{
    Drawing drawing;
    drawing.add(KindCubicBezier, { 5, 0 }, { 7, 0 }, 0, { 1E-60, 0 }, { 3, 1E-300 });
    const std::string text = exportText(drawing, inches(72));
    EXPECT_EQ(text.find("\r\n-0\r\n"), std::string::npos);
    EXPECT_EQ(entities(text)[0].values(" 20"), (Values { "0", "0", "0", "0" }));
}

TEST(SplineDxf, KindsChooseEntityColourAndRaisedControlPoints)
{
    Drawing drawing;
    drawing.add(KindQuadBezier, { 0, 0 }, { 60, 0 }, 0, { 30, 60 });
    drawing.add(KindCubicBezier, { 60, 0 }, { 90, 0 }, 1, { 70, 10 }, { 80, 10 });
    drawing.add(5, { 0, 0 }, { 1, 1 }, 2); // unknown kind: nothing
    drawing.add(KindLine, { 90, 0 }, { 100, 0 }, 3);
    const auto all = entities(exportText(drawing, inches(1)));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].type, "SPLINE");
    EXPECT_EQ(all[0].values(" 62"), Values { "7" });
    EXPECT_EQ(points(all[0]),
        (std::vector<std::pair<std::string, std::string>> {
            { "0", "0" }, { "20", "-40" }, { "40", "-40" }, { "60", "0" } }));
    EXPECT_EQ(all[1].type, "SPLINE");
    EXPECT_EQ(all[1].values(" 62"), Values { "224" });
    EXPECT_EQ(all[2].type, "LWPOLYLINE");
    EXPECT_EQ(all[2].values(" 62"), Values { "7" });
    EXPECT_EQ(all[2].values(" 70"), Values { "0" });
    for (const Entity &entity : all)
        EXPECT_TRUE(entity.values("370").empty() && entity.values("  6").empty());
}

TEST(SplineDxf, ClosingLinesRunBackToTheNearestChainStart)
{
    Drawing drawing;
    // An earlier chain, then a closed chain of three lines.
    drawing.add(KindLine, { 0, 0 }, { 1, 0 });
    drawing.add(KindLine, { 10, 10 }, { 20, 10 });
    drawing.add(KindLine, { 20, 10 }, { 20, 20 }, 1);
    drawing.add(KindLine, { 20, 20 }, { 15, 30 }, 2).ClosesChain = 1;
    const auto all = entities(exportText(drawing, inches(1)));
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(points(all[4]),
        (std::vector<std::pair<std::string, std::string>> { { "15", "-30" }, { "10", "-10" } }));
    EXPECT_EQ(all[4].values(" 62"), Values { "7" });
}

TEST(SplineDxf, ClosingWithoutChainStartAddsNothingAndUnknownKindsStillClose)
{
    Drawing orphan;
    orphan.add(KindLine, { 0, 0 }, { 1, 0 }, 3).ClosesChain = 1;
    EXPECT_EQ(entities(exportText(orphan, inches(1))).size(), 1u);

    Drawing unknown;
    unknown.add(KindLine, { 0, 0 }, { 4, 0 });
    unknown.add(99, { 4, 0 }, { 4, 4 }, 1).ClosesChain = 1;
    const auto all = entities(exportText(unknown, inches(1)));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(points(all[1]),
        (std::vector<std::pair<std::string, std::string>> { { "4", "-4" }, { "0", "0" } }));
}

TEST(SplineDxf, EllipseIsSixteenJoinedPiecesFromTheMiddleOfTheStartEdge)
{
    Drawing drawing;
    drawing.add(KindEllipse, { 10, 20 }, { 50, 80 }).ClosesChain = 1;
    const auto all = entities(exportText(drawing, inches(1)));
    ASSERT_EQ(all.size(), 17u);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(all[k].type, "SPLINE");
        EXPECT_EQ(all[k].values(" 62"), Values { "224" });
        EXPECT_EQ(points(all[k])[3], points(all[(k + 1) % 16])[0]) << k;
    }
    EXPECT_EQ(points(all[0])[0], (std::pair<std::string, std::string> { "30", "-20" }));
    EXPECT_EQ(points(all[4])[0], (std::pair<std::string, std::string> { "50", "-50" }));
    EXPECT_EQ(points(all[8])[0], (std::pair<std::string, std::string> { "30", "-80" }));
    // The closing line of an ellipse runs from its End corner to its own Start.
    EXPECT_EQ(points(all[16]),
        (std::vector<std::pair<std::string, std::string>> { { "50", "-80" }, { "10", "-20" } }));
}

TEST(SplineDxf, EllipseOfZeroWidthLiesOnItsMiddleLine)
{
    Drawing drawing;
    drawing.add(KindEllipse, { 10, 20 }, { 10, 80 });
    const std::string text = exportText(drawing, inches(1));
    const auto all = entities(text);
    ASSERT_EQ(all.size(), 16u);
    for (const Entity &entity : all)
        for (const auto &x : entity.values(" 10"))
            EXPECT_EQ(x, "10");
    EXPECT_EQ(text.find("nan"), std::string::npos);
}

TEST(SplineDxf, NonFiniteOrOverflowingPointsNeverReachTheFile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Drawing drawing;
    drawing.add(KindLine, { nan, 0 }, { 1, 1 });
    drawing.add(KindLine, { 1E300, 0 }, { 1, 1 });
    drawing.add(KindCubicBezier, { 0, 0 }, { 3, 3 }, 0, { inf, 1 }, { 2, 2 });
    drawing.add(KindEllipse, { -1E308, 0 }, { 1E308, 10 });
    drawing.add(KindQuadBezier, { 0, 0 }, { 8, 0 }, 0, { 4, 1E60 });
    const std::string text = exportText(drawing, inches(1));
    const auto all = entities(text);
    // The cubic and the quadratic keep their finite ends as straight segments.
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].type, "LWPOLYLINE");
    EXPECT_EQ(points(all[0]),
        (std::vector<std::pair<std::string, std::string>> { { "0", "0" }, { "3", "-3" } }));
    EXPECT_EQ(points(all[1]),
        (std::vector<std::pair<std::string, std::string>> { { "0", "0" }, { "8", "0" } }));
    for (const char *word : { "nan", "NAN", "inf", "INF" })
        EXPECT_EQ(text.find(word), std::string::npos) << word;
}

TEST(SplineDxf, EmptyListWritesACompleteFileWithTheLineType)
{
    Drawing drawing;
    const std::string text = exportText(drawing, DxfExportParams {});
    EXPECT_TRUE(entities(text).empty());
    EXPECT_NE(text.find("$HANDSEED\r\n  5\r\n23\r\n"), std::string::npos);
    EXPECT_NE(text.find("  2\r\n_SOLID\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("  0\r\nENDSEC\r\n  0\r\nEOF\r\n"));
}

TEST(SplineDxf, FileThatCannotBeCreatedIsReportedWithItsName)
{
    Drawing drawing;
    drawing.add(KindLine, { 0, 0 }, { 1, 1 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("missing/folder/out.dxf"));
    const SplineDxfResult result = SplineDxfExport::savedxf(drawing.list, DxfExportParams {}, path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message(), QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(SplineDxf, WriteErrorLeavesTheExistingFileAndNoPartialFile)
{
    // A file size limit makes the write fail half-way, as a full disk would.
    Drawing drawing;
    for (int i = 0; i < 2000; ++i)
        drawing.add(KindEllipse, { 1.0 * i, 0 }, { i + 50.0, 70 });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.dxf"));
    ASSERT_TRUE(linovex::test::writeFile(path, "the previous drawing"));

    rlimit previous {};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 100000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const SplineDxfResult result = SplineDxfExport::savedxf(drawing.list, DxfExportParams {}, path);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.fileName, path);
    EXPECT_EQ(readFile(path), QByteArray("the previous drawing"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("kept.dxf") });
}

TEST(SplineDxf, CommaLocaleChangesNoByte)
{
    Drawing drawing;
    drawing.add(KindLine, { 10, 20 }, { 33.3, 0.7 });
    drawing.add(KindQuadBezier, { 33.3, 0.7 }, { 50, 5 }, 1, { 40.1, 9.9 });
    drawing.add(KindEllipse, { 5, 5 }, { 25.5, 17.25 });
    const std::string expected = exportText(drawing, DxfExportParams {});
    linovex::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no comma locale installed";
    EXPECT_EQ(exportText(drawing, DxfExportParams {}), expected);
}
