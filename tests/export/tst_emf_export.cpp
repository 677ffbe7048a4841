#include "ExportTestDrawing.h"
#include "emf/EmfReader.h"
#include "export/EmfExport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace emf;

namespace {

using Drawing = ExportTestDrawing;
ReadResult exportAndRead(Drawing &d, double zoom = 100, double lineWidth = 3)
{
    EmfExportSettings s;
    s.zoom = zoom;
    s.lineWidth = lineWidth;
    const QByteArray bytes = emfBytes(d.list, s);
    ReadResult r = read(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
    EXPECT_TRUE(r.ok) << r.error;
    return r;
}

// The drawing operations of a metafile in a compact text form. Selections and deletions are
// left out here; PenObjectsAreSelectedBeforeTheOldOnesAreDeleted checks them.
std::vector<std::string> operations(const ReadResult &r)
{
    std::vector<std::string> ops;
    auto pts = [](const Record &rec) {
        std::string s;
        for (const Point &p : rec.points())
            s += " " + std::to_string(p.x) + "," + std::to_string(p.y);
        return s;
    };
    for (const Record &rec : r.records) {
        switch (rec.type) {
        case EMR_CREATEPEN:
            ops.push_back("pen " + std::to_string(rec.i32(8)));
            break;
        case EMR_CREATEBRUSHINDIRECT:
            ops.push_back(rec.u32(4) == BS_NULL ? "hollow brush" : "brush");
            break;
        case EMR_MOVETOEX:
            ops.push_back("move" + pts(rec));
            break;
        case EMR_LINETO:
            ops.push_back("line" + pts(rec));
            break;
        case EMR_POLYBEZIERTO16:
            ops.push_back("bezier" + pts(rec));
            break;
        case EMR_POLYBEZIERTO:
            ops.push_back("bezier32" + pts(rec));
            break;
        case EMR_ELLIPSE: {
            const Rect b = rec.rect(0);
            ops.push_back("ellipse " + std::to_string(b.left) + "," + std::to_string(b.top) + " "
                + std::to_string(b.right) + "," + std::to_string(b.bottom));
            break;
        }
        default:
            break;
        }
    }
    return ops;
}

using Ops = std::vector<std::string>;

} // namespace

TEST(EmfExport, EmptyDrawingIsAValidMetafileWithTheScreenFrame)
{
    Drawing d {};
    const ReadResult r = exportAndRead(d);
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].type, EMR_EOF);
    EXPECT_EQ(r.header.frame.right, 50800);
    EXPECT_EQ(r.header.frame.bottom, 28600);
    EXPECT_EQ(r.header.device.cx, 1920);
}

TEST(EmfExport, PointsAndPenScaleWithTheZoomAndRoundHalvesToEven)
{
    Drawing d { element(KindLine, 0, { 10.5, 20.5 }, { 30, 40 }) };
    EXPECT_EQ(operations(exportAndRead(d, 100)), (Ops { "pen 3", "move 10,20", "line 30,40" }));
    EXPECT_EQ(operations(exportAndRead(d, 200)), (Ops { "pen 6", "move 21,41", "line 60,80" }));
    // A hairline is still one unit wide.
    EXPECT_EQ(operations(exportAndRead(d, 100, 0.1))[0], "pen 1");
}

TEST(EmfExport, CurvesAreRecordedAsCubicBeziersFromTheCurrentPosition)
{
    Drawing d {
        element(KindQuadBezier, 0, { 0, 0 }, { 30, 30 }, { 30, 0 }),
        element(KindCubicBezier, 1, { 30, 30 }, { 7, 8 }, { 3, 4 }, { 5, 6 }),
        // Raised first, rounded after: C1 = 0.5 -> 0, C2 = 1 and End 1.5 -> 2. Rounding the
        // control point first would give C1 = 2/3 -> 1.
        element(KindQuadBezier, 0, { 0, 0 }, { 1.5, 0 }, { 0.75, 0 }),
    };
    EXPECT_EQ(operations(exportAndRead(d)),
        (Ops { "pen 3", "move 0,0", "bezier 20,0 30,10 30,30", "pen 3", "move 30,30",
            "bezier 3,4 5,6 7,8", "pen 3", "move 0,0", "bezier 0,0 1,0 2,0" }));
}

TEST(EmfExport, EllipsesUseOneHollowBrushAndTheirCornerBox)
{
    Drawing d {
        element(KindEllipse, 0, { 50, 40 }, { 10, 20 }),
        element(KindEllipse, 0, { 0, 0 }, { 5, 5 }),
        element(17, 0, { 1, 1 }, { 2, 2 }),
    };
    EXPECT_EQ(operations(exportAndRead(d, 200)),
        (Ops { "pen 6", "move 100,80", "hollow brush", "ellipse 20,40 100,80", "pen 6", "move 0,0",
            "ellipse 0,0 10,10", "pen 6", "move 2,2" }));
}

TEST(EmfExport, ClosingLinesGoBackToTheChainStart)
{
    Drawing closed {
        element(KindLine, 0, { 0, 0 }, { 10, 0 }),
        element(KindLine, 1, { 10, 0 }, { 10, 10 }),
        element(KindLine, 2, { 10, 10 }, { 0, 10 }, {}, {}, true),
    };
    EXPECT_EQ(operations(exportAndRead(closed)),
        (Ops { "pen 3", "move 0,0", "line 10,0", "pen 3", "move 10,0", "line 10,10", "pen 3",
            "move 10,10", "line 0,10", "pen 3", "move 0,10", "line 0,0" }));
    EXPECT_EQ(closed.cursor, closed.list.Get(0)) << "the walk back ends on the chain start";

    // Without a chain start at or before the element the closing flag draws nothing.
    Drawing orphan { element(KindLine, 1, { 0, 0 }, { 10, 0 }, {}, {}, true) };
    EXPECT_EQ(
        operations(exportAndRead(orphan)), (Ops { "pen 3", "move 0,0", "line 10,0", "move 10,0" }));
}

TEST(EmfExport, PenObjectsAreSelectedBeforeTheOldOnesAreDeleted)
{
    Drawing d {
        element(KindLine, 0, { 0, 0 }, { 10, 0 }),
        element(KindEllipse, 0, { 0, 0 }, { 10, 10 }, {}, {}, true),
        element(KindLine, 1, { 0, 0 }, { 10, 0 }),
    };
    const ReadResult r = exportAndRead(d);
    std::vector<bool> live(r.header.handles, false);
    std::uint32_t selectedPen = 0;
    std::vector<bool> isPen(r.header.handles, false);
    for (const Record &rec : r.records) {
        const std::uint32_t ih = rec.u32(0);
        if (rec.type == EMR_CREATEPEN || rec.type == EMR_CREATEBRUSHINDIRECT) {
            ASSERT_LT(ih, r.header.handles);
            ASSERT_FALSE(live[ih]) << "slot " << ih << " created twice";
            live[ih] = true;
            isPen[ih] = rec.type == EMR_CREATEPEN;
        } else if (rec.type == EMR_SELECTOBJECT) {
            ASSERT_LT(ih, r.header.handles);
            ASSERT_TRUE(live[ih]) << "selected slot " << ih << " was never created";
            if (isPen[ih])
                selectedPen = ih;
        } else if (rec.type == EMR_DELETEOBJECT) {
            ASSERT_TRUE(live[ih]);
            ASSERT_NE(ih, selectedPen) << "deleted the selected pen";
            live[ih] = false;
        } else if (rec.type == EMR_LINETO || rec.type == EMR_ELLIPSE) {
            ASSERT_NE(selectedPen, 0u) << "drawn before any pen was selected";
        }
    }
    // Two pens overlap while one replaces the other, and the brush stays: three slots and the
    // metafile's own.
    EXPECT_EQ(r.header.handles, 4u);
}

TEST(EmfExport, ZoomScalesTheDrawingButNotTheFrameWhileItFitsTheScreen)
{
    Drawing d { element(KindCubicBezier, 0, { 10, 10 }, { 400, 300 }, { 100, 0 }, { 300, 400 }) };
    const ReadResult at100 = exportAndRead(d, 100);
    const ReadResult at200 = exportAndRead(d, 200);
    EXPECT_EQ(at100.header.frame.right, 50800);
    EXPECT_EQ(at200.header.frame.right, 50800);
    EXPECT_EQ(at200.header.frame.bottom, 28600);
    // The last point plus half the pen: 400 + 1 at 100 %, 800 + 3 at 200 %.
    EXPECT_EQ(at100.header.bounds.right, 401);
    // The bounds start at the picture's corner, as the frame does, not at the drawing's margin
    // (the pen reaches one unit above the control point at y = 0).
    EXPECT_EQ(at100.header.bounds.left, 0);
    EXPECT_EQ(at100.header.bounds.top, -1);
    EXPECT_EQ(at200.header.bounds.right, 803);
    EXPECT_EQ(operations(at200)[2], "bezier 200,0 600,800 800,600");
}

TEST(EmfExport, DrawingBeyondTheScreenWidensTheFrameAndUsesWidePoints)
{
    // At 1000 % the curve reaches x = 40000: past the screen and past 16-bit coordinates.
    Drawing d { element(KindCubicBezier, 0, { 0, 0 }, { 4000, 100 }, { 1000, 0 }, { 3000, 100 }) };
    const ReadResult r = exportAndRead(d, 1000);
    EXPECT_EQ(operations(r)[2], "bezier32 10000,0 30000,1000 40000,1000");
    // The pen is 30 units: the bounds reach 15 beyond the last point.
    EXPECT_EQ(r.header.bounds.right, 40015);
    // (40015 + 1) x 50800 / 1920 = 1058756.7, rounded outwards.
    EXPECT_EQ(r.header.frame.right, 1058757);
    EXPECT_EQ(r.header.frame.bottom, 28600);
}

TEST(EmfExport, ReferenceDeviceIsTheOneHandedIn)
{
    Drawing d {};
    EmfExportSettings s;
    s.device = ReferenceDevice::fromScreen(2560, 1440, 600, 340);
    const QByteArray bytes = emfBytes(d.list, s);
    const ReadResult r =
        read(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.device.cx, 2560);
    EXPECT_EQ(r.header.millimetres.cy, 340);
    EXPECT_EQ(r.header.frame.right, 60000);
    EXPECT_EQ(r.header.frame.bottom, 34000);
}

TEST(EmfExport, SaveWritesTheRecordedBytesOrNamesTheFileItCouldNotWrite)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Drawing d { element(KindLine, 0, { 1, 2 }, { 3, 4 }) };
    EmfExportSettings s;
    const QString name = dir.filePath(QStringLiteral("lines.emf"));
    ASSERT_TRUE(saveasemf(d.list, s, name).ok);
    EXPECT_EQ(linovex::test::readFile(name), emfBytes(d.list, s));

    const QString missing = dir.filePath(QStringLiteral("no such folder/lines.emf"));
    const ExportResult failed = saveasemf(d.list, s, missing);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.fileName, missing);
    EXPECT_EQ(failed.messageNumber, EmfCannotCreateMessage);
    EXPECT_FALSE(failed.detail.isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("lines.emf") })
        << "no temporary file is left behind";
}
