#include "dxf/DXFExport.h"
#include "dxf/ExpDXFBulgePolyline.h"
#include "dxf/ExpDXFCircle.h"
#include "dxf/ExpDXFEllipse.h"
#include "dxf/ExpDXFSpline.h"

#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Writes one figure of `count` numbered vertices (x = index) into a document and returns the
// lines of its entity.
std::vector<std::string> entityLines(int count, int index = 0)
{
    std::vector<TFPointList> lists(1);
    for (int i = 0; i < count; ++i)
        lists[0].push_back(TFPoint { static_cast<float>(i), 0, 0 });
    TdxfExportData data;
    data.Count = static_cast<std::uint16_t>(count);
    data.Color = 224;
    data.Points = &lists;
    TsgDXFExport document;
    document.Version = TsgDXFExport::Release14;
    document.AddPolyBezier(data, index);
    document.Figures.front()->WriteTo(document);
    std::vector<std::string> result;
    std::istringstream text(document.Entities.text());
    for (std::string line; std::getline(text, line);)
        result.push_back(line.substr(0, line.size() - 1));
    return result;
}

std::vector<std::string> valuesOf(const std::vector<std::string> &entity, const char *code)
{
    std::vector<std::string> values;
    for (std::size_t i = 0; i + 1 < entity.size(); i += 2)
        if (entity[i] == code)
            values.push_back(entity[i + 1]);
    return values;
}

using Values = std::vector<std::string>;

} // namespace

TEST(DxfFigures, OnlyWholeCubicSegmentsBecomeSplines)
{
    for (const int count : { 2, 3, 5, 6, 8 }) {
        const auto entity = entityLines(count);
        EXPECT_EQ(entity[1], "LWPOLYLINE") << count;
        EXPECT_EQ(valuesOf(entity, " 90"), Values { std::to_string(count) });
        EXPECT_EQ(valuesOf(entity, " 10").size(), static_cast<std::size_t>(count));
    }
    for (const int count : { 4, 7, 10, 13 })
        EXPECT_EQ(entityLines(count)[1], "SPLINE") << count;
}

TEST(DxfFigures, SevenVerticesDoubleTheSharedPointAndStepTheKnots)
{
    const auto entity = entityLines(7);
    EXPECT_EQ(valuesOf(entity, " 72"), Values { "12" });
    EXPECT_EQ(valuesOf(entity, " 73"), Values { "8" });
    EXPECT_EQ(valuesOf(entity, " 40"),
        (Values { "0", "0", "0", "0", "0.125", "0.125", "0.125", "0.125", "1", "1", "1", "1" }));
    EXPECT_EQ(valuesOf(entity, " 10"), (Values { "0", "1", "2", "3", "3", "4", "5", "6" }));
    EXPECT_EQ(valuesOf(entity, " 30").size(), 8u);
}

TEST(DxfFigures, TenVerticesUseTheFloatStepAndItsFloatSum)
{
    const auto entity = entityLines(10);
    EXPECT_EQ(valuesOf(entity, " 72"), Values { "16" });
    EXPECT_EQ(valuesOf(entity, " 73"), Values { "12" });
    const Values step(4, "0.0833333358168602");
    const Values twice(4, "0.16666667163372");
    Values knots(4, "0");
    knots.insert(knots.end(), step.begin(), step.end());
    knots.insert(knots.end(), twice.begin(), twice.end());
    knots.insert(knots.end(), 4, "1");
    EXPECT_EQ(valuesOf(entity, " 40"), knots);
    EXPECT_EQ(valuesOf(entity, " 10"),
        (Values { "0", "1", "2", "3", "3", "4", "5", "6", "6", "7", "8", "9" }));
}

TEST(DxfFigures, SplineHeaderPrecedesKnotsAndPoints)
{
    const auto entity = entityLines(4);
    const Values head(entity.begin(), entity.begin() + 38);
    EXPECT_EQ(head,
        (Values { "  0", "SPLINE", "  5", "20", "100", "AcDbEntity", "  8", "0", "100",
            "AcDbSpline", " 62", "224", "210", "0", "220", "0", "230", "1", " 70", "8", " 71", "3",
            " 72", "8", " 73", "4", " 74", "0", " 42", "1E-7", " 43", "1E-7", " 40", "0", " 40",
            "0", " 40", "0" }));
}

TEST(DxfFigures, MissingPointListGivesAnEmptyPolyline)
{
    // Count 0, or an index past the lists the record offers.
    const auto none = entityLines(0);
    EXPECT_EQ(none[1], "LWPOLYLINE");
    EXPECT_EQ(valuesOf(none, " 90"), Values { "0" });
    const auto pastEnd = entityLines(4, 5);
    EXPECT_EQ(valuesOf(pastEnd, " 90"), Values { "0" });
}

TEST(DxfFigures, DoublePrecisionFiguresWriteTheirGroupsAfterTheHeader)
{
    // Values chosen to show the full double (a float would print 0.100000001490116).
    struct Case
    {
        const char *name;
        std::unique_ptr<TsgExpDXFFigure> figure;
        Values groups; // every line after the subclass marker
    };
    std::vector<Case> cases;
    cases.push_back({ "closed polyline, bulge only where there is an arc",
        std::make_unique<TsgExpDXFBulgePolyline>(
            TdxfExportData {}, std::vector<TBulgeVertex> { { 0.1, 0, 0.5 }, { 1, 0, 0 } }, true),
        { " 90", "2", " 70", "1", " 10", "0.1", " 20", "0", " 42", "0.5", " 10", "1", " 20",
            "0" } });
    cases.push_back({ "circle", std::make_unique<TsgExpDXFCircle>(TdxfExportData {}, 0.1, 2, 3.5),
        { " 10", "0.1", " 20", "2", " 30", "0", " 40", "3.5" } });
    cases.push_back(
        { "ellipse", std::make_unique<TsgExpDXFEllipse>(TdxfExportData {}, 1, 2, 0, 4, 0.25),
            { " 10", "1", " 20", "2", " 30", "0", " 11", "0", " 21", "4", " 31", "0", "210", "0",
                "220", "0", "230", "1", " 40", "0.25", " 41", "0", " 42", "6.28318530717959" } });
    // Two segments: whole-number knots, the inner one three times.
    std::vector<TDPoint> points;
    for (int i = 0; i < 7; ++i)
        points.push_back({ static_cast<double>(i), 0.1 });
    Values spline { "210", "0", "220", "0", "230", "1", " 70", "8", " 71", "3", " 72", "11", " 73",
        "7", " 74", "0", " 42", "1E-10", " 43", "1E-10" };
    for (const char *knot : { "0", "0", "0", "0", "1", "1", "1", "2", "2", "2", "2" })
        spline.insert(spline.end(), { " 40", knot });
    for (int i = 0; i < 7; ++i)
        spline.insert(spline.end(), { " 10", std::to_string(i), " 20", "0.1", " 30", "0" });
    cases.push_back({ "spline",
        std::make_unique<TsgExpDXFSpline>(TdxfExportData {}, std::move(points)), spline });

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TsgDXFExport document;
        c.figure->WriteTo(document);
        std::vector<std::string> lines;
        std::istringstream text(document.Entities.text());
        for (std::string line; std::getline(text, line);)
            lines.push_back(line.substr(0, line.size() - 1));
        ASSERT_GT(lines.size(), 10u);
        // Release 2000 with no pen width and colour 0: nothing between marker and geometry.
        EXPECT_EQ(Values(lines.begin() + 10, lines.end()), c.groups);
    }
}
