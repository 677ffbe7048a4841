#include "emf/EmfReader.h"
#include "emf/EmfWriter.h"

#include <gtest/gtest.h>

using namespace emf;

namespace {

void expectRect(const Rect &r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

ReadResult readBack(Writer &w)
{
    const std::vector<std::uint8_t> bytes = w.finish();
    ReadResult r = read(bytes);
    EXPECT_TRUE(r.ok) << r.error;
    return r;
}

} // namespace

TEST(EmfWriter, EmptyMetafileHasCompleteHeaderAndEndRecord)
{
    Writer w;
    const std::vector<std::uint8_t> bytes = w.finish();
    ASSERT_EQ(bytes.size(), HeaderSize + EofSize);
    const ReadResult r = read(bytes);
    ASSERT_TRUE(r.ok) << r.error;
    const Header &h = r.header;
    expectRect(h.bounds, 0, 0, -1, -1);
    expectRect(h.frame, 0, 0, 50800, 28600);
    EXPECT_EQ(h.version, HeaderVersion);
    EXPECT_EQ(h.records, 2u);
    EXPECT_EQ(h.handles, 1u);
    EXPECT_EQ(h.descriptionLength, 0u);
    EXPECT_EQ(h.device.cx, 1920);
    EXPECT_EQ(h.device.cy, 1080);
    EXPECT_EQ(h.millimetres.cx, 508);
    EXPECT_EQ(h.millimetres.cy, 286);
    EXPECT_EQ(h.micrometres.cx, 508000);
    EXPECT_EQ(h.micrometres.cy, 285750);
    ASSERT_EQ(r.records.size(), 1u);
    const Record &eof = r.records[0];
    EXPECT_EQ(eof.type, EMR_EOF);
    EXPECT_EQ(eof.u32(0), 0u); // palette entries
    EXPECT_EQ(eof.u32(4), 16u);
    EXPECT_EQ(eof.u32(8), EofSize);
}

TEST(EmfWriter, BezierPointsUseSixteenBitsOnlyWhenEveryPointFits)
{
    struct Case
    {
        const char *name;
        Point far;
        std::uint32_t type;
    };
    const Case cases[] = {
        { "small", { 32767, -32768 }, EMR_POLYBEZIERTO16 },
        { "x too large", { 32768, 0 }, EMR_POLYBEZIERTO },
        { "y too small", { 0, -32769 }, EMR_POLYBEZIERTO },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Writer w;
        w.moveTo({ 1, 2 });
        const Point pts[] = { { 10, 20 }, c.far, { -5, 7 } };
        w.polyBezierTo(pts, 3);
        const ReadResult r = readBack(w);
        ASSERT_EQ(r.records.size(), 3u);
        const Record &bez = r.records[1];
        EXPECT_EQ(bez.type, c.type);
        EXPECT_EQ(bez.size, 28u + 3u * (c.type == EMR_POLYBEZIERTO16 ? 4u : 8u));
        const std::vector<Point> back = bez.points();
        ASSERT_EQ(back.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(back[i].x, pts[i].x);
            EXPECT_EQ(back[i].y, pts[i].y);
        }
        // The record's own bounds hold the start point as well as its three points.
        const Rect b = bez.rect(0);
        EXPECT_LE(b.left, -5);
        EXPECT_EQ(b.top, std::min(2, c.far.y));
        EXPECT_EQ(b.right, std::max(10, c.far.x));
    }
}

TEST(EmfWriter, ObjectsTakeTheLowestFreeSlotAndTheHeaderCountsThePeak)
{
    Writer w;
    EXPECT_EQ(w.createPen(PS_SOLID, 3, colorRef(255, 0, 0)), 1u);
    EXPECT_EQ(w.createPen(PS_SOLID, 3, colorRef(255, 0, 0)), 2u);
    w.deleteObject(1);
    EXPECT_EQ(w.createBrush(BS_NULL, 0), 1u);
    EXPECT_EQ(w.createPen(PS_SOLID, 1, 0), 3u);
    const ReadResult r = readBack(w);
    EXPECT_EQ(r.header.handles, 4u);
    const Record &pen = r.records[0];
    EXPECT_EQ(pen.type, EMR_CREATEPEN);
    EXPECT_EQ(pen.size, 28u);
    EXPECT_EQ(pen.u32(0), 1u);
    EXPECT_EQ(pen.u32(4), PS_SOLID);
    EXPECT_EQ(pen.i32(8), 3);
    EXPECT_EQ(pen.u32(16), 0x0000FFu);
}

TEST(EmfWriter, BoundsHoldThePenAndTheFrameGrowsToHoldTheBounds)
{
    Writer w;
    const std::uint32_t pen = w.createPen(PS_SOLID, 5, 0);
    w.selectObject(pen);
    w.moveTo({ 0, 0 });
    w.lineTo({ 3000, 100 });
    const ReadResult r = readBack(w);
    expectRect(r.header.bounds, -2, -2, 3002, 102);
    // 508 mm over 1920 pixels: 26.4583 hundredths of a millimetre per pixel, so the right edge is
    // 3003 x 50800 / 1920 = 79454.375, rounded outwards. The frame reaches
    // past the last pixel on the right and to the left of the pen's overhang; height and top
    // edge of the screen stay as they are where the drawing fits.
    expectRect(r.header.frame, -53, -53, 79455, 28600);
}

TEST(EmfWriter, DrawingInsideTheScreenKeepsTheScreenFrame)
{
    Writer w;
    w.moveTo({ 10, 10 });
    w.lineTo({ 1919, 1079 });
    w.ellipse({ 30, 40, 5, 6 });
    const ReadResult r = readBack(w);
    expectRect(r.header.frame, 0, 0, 50800, 28600);
    expectRect(r.header.bounds, 5, 6, 1919, 1079);
    // The ellipse's box is stored with its edges in order.
    expectRect(r.records[2].rect(0), 5, 6, 30, 40);
}

TEST(EmfWriter, ReferenceDeviceFromScreen)
{
    const ReferenceDevice measured = ReferenceDevice::fromScreen(2560, 1440, 596.7, 335.6);
    EXPECT_EQ(measured.pixels.cx, 2560);
    EXPECT_EQ(measured.millimetres.cx, 597);
    EXPECT_EQ(measured.millimetres.cy, 336);
    EXPECT_EQ(measured.micrometres.cx, 596700);
    // A screen that reports no physical size is taken at 96 dpi.
    const ReferenceDevice guessed = ReferenceDevice::fromScreen(960, 540, 0, 0);
    EXPECT_EQ(guessed.millimetres.cx, 254);
    EXPECT_EQ(guessed.micrometres.cy, 142875);
}

TEST(EmfReader, RefusesDamagedFiles)
{
    Writer w;
    w.moveTo({ 1, 1 });
    w.lineTo({ 2, 2 });
    const std::vector<std::uint8_t> good = w.finish();
    ASSERT_TRUE(read(good).ok);

    auto damaged = [&](auto change) {
        std::vector<std::uint8_t> b = good;
        change(b);
        return read(b);
    };
    EXPECT_FALSE(damaged([](auto &b) { b.resize(b.size() - 4); }).ok) << "cut short";
    EXPECT_FALSE(damaged([](auto &b) { b[52] = 9; }).ok) << "record count";
    EXPECT_FALSE(damaged([](auto &b) { b[HeaderSize + 4] = 15; }).ok) << "size not a multiple of 4";
    EXPECT_FALSE(damaged([](auto &b) { b[HeaderSize + 4] = 0xF0; }).ok) << "size past the end";
    EXPECT_FALSE(damaged([](auto &b) { b[40] = 0; }).ok) << "signature";
    EXPECT_FALSE(read(nullptr, 0).ok);
}
