#include "dxf/DXFExport.h"
#include "dxf/TextList.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using linovex::test::dataPath;
using linovex::test::readFile;

namespace {

std::string save(TsgDXFExport &document)
{
    std::ostringstream stream;
    EXPECT_TRUE(document.SaveToStream(stream));
    return stream.str();
}

std::string golden(const char *name)
{
    return readFile(dataPath(QStringLiteral("dxf/") + QLatin1String(name))).toStdString();
}

// The lines of a file without their carriage return and line feed.
std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find("\r\n", start);
        result.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return result;
}

// The value lines of every group with the given code line ("  5", " 62", "370").
std::vector<std::string> valuesOf(const std::string &text, const std::string &codeLine)
{
    std::vector<std::string> values;
    const auto all = lines(text);
    for (std::size_t i = 0; i + 1 < all.size(); i += 2)
        if (all[i] == codeLine)
            values.push_back(all[i + 1]);
    return values;
}

// The entities section between its head and the end of the section.
std::string entitiesOf(const std::string &text)
{
    const std::string head = "  2\r\nENTITIES\r\n";
    const auto begin = text.find(head) + head.size();
    return text.substr(
        begin, text.find("  0\r\nENDSEC\r\n  0\r\nSECTION\r\n  2\r\nOBJECTS", begin) - begin);
}

struct Figure
{
    std::vector<TFPointList> lists;
    TdxfExportData data;

    explicit Figure(std::vector<TFPoint> points, std::int32_t color = 7)
    {
        lists.push_back(std::move(points));
        data.Count = static_cast<std::uint16_t>(lists.front().size());
        data.Color = color;
        data.Points = &lists;
    }
};

std::vector<TFPoint> numbered(int count)
{
    std::vector<TFPoint> points;
    for (int i = 0; i < count; ++i)
        points.push_back(TFPoint { static_cast<float>(i), 0, 0 });
    return points;
}

const float SolidDashes[] = { 5, 0 };

} // namespace

TEST(DxfDocument, EmptyDocumentsAreCompleteFilesOfBothReleases)
{
    TsgDXFExport release2000;
    EXPECT_EQ(save(release2000), golden("empty_r2000.dxf"));

    TsgDXFExport release14;
    release14.Version = TsgDXFExport::Release14;
    const std::string text = save(release14);
    EXPECT_EQ(text, golden("empty_r14.dxf"));
    EXPECT_EQ(entitiesOf(text), "");
}

TEST(DxfDocument, LineAndBezierExampleMatchesByteForByte)
{
    TsgDXFExport document;
    document.AddLineType("_SOLID", SolidDashes);
    document.Version = TsgDXFExport::Release14;
    Figure line({ { 0.5f, -0.25f, 0 }, { 1.5f, -1, 0 } }, 7);
    document.AddPolyBezier(line.data, 0);
    // The caller may reuse its record and points at once: the figure holds copies.
    line.lists[0][0].x = 99;
    Figure bezier({ { 0.5f, -0.25f, 0 }, { 1, -0.0f, 0 }, { 1.5f, -2, 0 }, { 2, -1, 0 } }, 224);
    document.AddPolyBezier(bezier.data, 0);
    bezier.lists.clear();
    EXPECT_EQ(save(document), golden("line_and_bezier_r14.dxf"));
}

TEST(DxfDocument, LineTypeRecordTakesItsHandleWhenAdded)
{
    TsgDXFExport document;
    document.AddLineType("_SOLID", SolidDashes);
    EXPECT_EQ(document.HandleCounter, 0x21);
    // The total is summed in 32-bit floats: 0.85 as a float, not 0.5 + 0.25 + 0.1f exactly.
    const float dashes[] = { 0.5f, -0.25f, 0.1f };
    document.AddLineType("DASHED", dashes);
    const auto record = lines(document.LineTypes.text());
    const std::vector<std::string> expected = { "  0", "LTYPE", "  5", "21", "100",
        "AcDbSymbolTableRecord", "100", "AcDbLinetypeTableRecord", "  2", "DASHED", "  3", "",
        " 70", "0", " 72", "65", " 73", "3", " 40", "0.850000023841858", " 49", "0.5", " 74", "0",
        " 49", "-0.25", " 74", "0", " 49", "0.100000001490116", " 74", "0" };
    ASSERT_EQ(record.size(), 28u + expected.size());
    EXPECT_EQ(std::vector<std::string>(record.begin() + 28, record.end()), expected);
    // Line types never move the limits.
    EXPECT_EQ(document.LimMin.y, 0);
}

TEST(DxfDocument, HandlesPassFromTwoToThreeHexDigits)
{
    TsgDXFExport document;
    document.Version = TsgDXFExport::Release14;
    Figure line({ { 0, 0, 0 }, { 1, 1, 0 } });
    for (int i = 0; i < 0x100 - 0x20 + 2; ++i)
        document.AddPolyBezier(line.data, 0);
    const std::string text = save(document);
    const auto handles = valuesOf(entitiesOf(text), "  5");
    ASSERT_EQ(handles.size(), 0xE2u);
    EXPECT_EQ(handles.front(), "20");
    EXPECT_EQ(handles[0xDF], "FF");
    EXPECT_EQ(handles[0xE0], "100");
    EXPECT_EQ(handles.back(), "101");
    // The layer takes 102, so the seed is 103 + 1.
    const auto all = lines(text);
    EXPECT_EQ(all[10], "  5");
    EXPECT_EQ(all[11], "104");
    EXPECT_EQ(TsgDXFExport::handleText(10), "0A");
}

TEST(DxfDocument, ColourByBlockAndByLayerWriteNoGroup62)
{
    for (const std::int32_t color : { 0, 256 }) {
        TsgDXFExport document;
        Figure line({ { 0, 0, 0 }, { 1, 1, 0 } }, color);
        Figure bezier(numbered(4), color);
        document.AddPolyBezier(line.data, 0);
        document.AddPolyBezier(bezier.data, 0);
        EXPECT_TRUE(valuesOf(entitiesOf(save(document)), " 62").empty()) << color;
    }
    TsgDXFExport document;
    Figure line({ { 0, 0, 0 }, { 1, 1, 0 } }, 7);
    document.AddPolyBezier(line.data, 0);
    EXPECT_EQ(valuesOf(entitiesOf(save(document)), " 62"), std::vector<std::string> { "7" });
}

TEST(DxfDocument, LineWeightFollowsTheTableAndRelease14HasNone)
{
    EXPECT_EQ(TsgDXFExport::lineWeightFor(0.4f), -1);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(1), 9);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(2.5f), 20);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(3.5f), 40);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(50), 211);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(11), 106);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(16), 158);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(21), 200);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(-3), -1);
    EXPECT_EQ(TsgDXFExport::lineWeightFor(1E30f), 100);

    for (const std::uint8_t version : { TsgDXFExport::Release14, TsgDXFExport::Release2000 }) {
        TsgDXFExport document;
        document.Version = version;
        Figure line({ { 0, 0, 0 }, { 1, 1, 0 } });
        line.data.PenWidth = 2.5f;
        line.data.Text = "DASHED";
        Figure bezier(numbered(4));
        bezier.data.PenWidth = 1;
        document.AddPolyBezier(line.data, 0);
        document.AddPolyBezier(bezier.data, 0);
        const std::string text = save(document);
        if (version == TsgDXFExport::Release14) {
            // The only groups 6 are the layer's line type and the fixed multi-line style.
            EXPECT_EQ(valuesOf(text, "  6"),
                (std::vector<std::string> { "Continuous", "BYLAYER", "BYLAYER" }));
            EXPECT_TRUE(valuesOf(text, "370").empty());
            EXPECT_TRUE(valuesOf(text, "390").empty());
            EXPECT_NE(
                text.find(
                    "AcDbSymbolTable\r\n  0\r\nENDTAB\r\n  0\r\nTABLE\r\n  2\r\nBLOCK_RECORD"),
                std::string::npos);
        } else {
            EXPECT_EQ(valuesOf(entitiesOf(text), "  6"), std::vector<std::string> { "DASHED" });
            EXPECT_EQ(valuesOf(entitiesOf(text), "370"), (std::vector<std::string> { "20", "9" }));
            EXPECT_EQ(valuesOf(text, "390"), std::vector<std::string> { " 19" });
        }
    }
}

TEST(DxfDocument, LimitsContainTheOriginAndEveryEntityPoint)
{
    TsgDXFExport document;
    Figure line({ { 2, -3, 0 }, { 5, -1, 0 } });
    document.AddPolyBezier(line.data, 0);
    const auto all = lines(save(document));
    // $LIMMIN 10/20, $LIMMAX 10/20 follow $HANDSEED.
    EXPECT_EQ(std::vector<std::string>(all.begin() + 12, all.begin() + 24),
        (std::vector<std::string> {
            "  9", "$LIMMIN", " 10", "0", " 20", "-3", "  9", "$LIMMAX", " 10", "5", " 20", "0" }));
}

TEST(DxfDocument, PolylineHeaderCarriesFlagsAndConstantWidth)
{
    TsgDXFExport document;
    Figure line({ { 0, 0, 0 }, { 1, 0, 0 }, { 1, 1, 0 } });
    line.data.Flags = 1;
    line.data.ConstWidth = 0.5f;
    document.AddPolyBezier(line.data, 0);
    const std::string entities = entitiesOf(save(document));
    EXPECT_EQ(valuesOf(entities, " 90"), std::vector<std::string> { "3" });
    EXPECT_EQ(valuesOf(entities, " 70"), std::vector<std::string> { "1" });
    EXPECT_EQ(valuesOf(entities, " 43"), std::vector<std::string> { "0.5" });
    EXPECT_TRUE(valuesOf(entities, " 30").empty());
}

TEST(DxfDocument, SaveReportsAFailingStream)
{
    TsgDXFExport document;
    std::ostringstream stream;
    stream.setstate(std::ios::badbit);
    EXPECT_FALSE(document.SaveToStream(stream));
}

TEST(DxfDocument, CommaLocaleChangesNoByte)
{
    TsgDXFExport plain;
    plain.Version = TsgDXFExport::Release14;
    plain.AddLineType("_SOLID", SolidDashes);
    Figure bezier({ { 0.5f, -0.25f, 0 }, { 1.25f, 0, 0 }, { 1.5f, -2, 0 }, { 2, -1, 0 } });
    plain.AddPolyBezier(bezier.data, 0);
    const std::string expected = save(plain);

    linovex::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no comma locale installed";
    TsgDXFExport localised;
    localised.Version = TsgDXFExport::Release14;
    localised.AddLineType("_SOLID", SolidDashes);
    localised.AddPolyBezier(bezier.data, 0);
    EXPECT_EQ(save(localised), expected);
}

TEST(DxfDocument, LargeDocumentStreamsEveryEntityOnceInOrder)
{
    // Far more than one block of entity text, so the entities are written out in pieces.
    constexpr int count = 12000;
    TsgDXFExport document;
    Figure bezier({ { 0, 0, 0 }, { 1, 2, 0 }, { 3, 4, 0 }, { 5, -6, 0 } }, 224);
    for (int i = 0; i < count; ++i) {
        bezier.lists[0][3].x = static_cast<float>(i);
        document.AddPolyBezier(bezier.data, 0);
    }
    const std::string text = save(document);
    const std::string entities = entitiesOf(text);
    ASSERT_GT(entities.size(), 2 * TextList::BlockSize);
    const auto handles = valuesOf(entities, "  5");
    ASSERT_EQ(handles.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(handles[static_cast<std::size_t>(i)],
            TsgDXFExport::handleText(static_cast<std::uint32_t>(0x20 + i)));
    const auto xs = valuesOf(entities, " 10");
    ASSERT_EQ(xs.size(), 4u * count);
    EXPECT_EQ(xs.back(), std::to_string(count - 1));
    // The layer follows the entities, and the seed follows the layer.
    EXPECT_NE(text.find("$HANDSEED\r\n  5\r\n" + TsgDXFExport::handleText(0x20 + count + 2)),
        std::string::npos);
    EXPECT_NE(
        text.find("  0\r\nLAYER\r\n  5\r\n" + TsgDXFExport::handleText(0x20 + count) + "\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("$LIMMIN\r\n 10\r\n0\r\n 20\r\n-6\r\n  9\r\n$LIMMAX\r\n 10\r\n"
                  + std::to_string(count - 1) + "\r\n 20\r\n4\r\n"),
        std::string::npos);
    EXPECT_TRUE(text.ends_with("  0\r\nEOF\r\n"));
}

// The list grows in blocks of rising size; neither the growth nor a clear between two rounds of
// writing may lose, reorder or repeat a byte, and a line longer than a whole block still fits.
TEST(TextList, KeepsEveryLineInOrderAcrossBlocksAndRounds)
{
    TextList list;
    std::string expected;
    for (int round = 0; round < 2; ++round) {
        list.clear();
        expected.clear();
        for (int i = 0; i < 60000; ++i) {
            const std::string line = std::to_string(i * 7919 + round);
            list.add(line);
            expected += line + "\r\n";
        }
        list.add("10\r\n3.5", 2);
        expected += "10\r\n3.5\r\n";
        const std::string huge(TextList::BlockSize + 3, 'x');
        list.add(huge);
        expected += huge + "\r\n";
        EXPECT_EQ(list.lineCount(), 60003u);
        EXPECT_EQ(list.byteCount(), expected.size());
        EXPECT_EQ(list.text(), expected);
        std::ostringstream out;
        list.writeTo(out);
        EXPECT_EQ(out.str(), expected);
    }
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.text(), "");
}
