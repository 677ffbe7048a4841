#include "document/ElementIndex.h"
#include "support/TestDrawing.h"
#include "view/CanvasPainter.h"

#include <QImage>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <random>

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;
constexpr QRgb Red = 0xFFFF0000;

struct Fixture
{
    TElementList list;
    TPaintScene scene;
    QImage buffer;

    explicit Fixture(std::initializer_list<TDrawElement> elements)
    {
        for (const TDrawElement &e : elements)
            *list.Append() = e;
        scene.elements = &list;
        scene.ShowPicCheck = false;
    }

    TPaintResult paint(QSize size = QSize(100, 80)) { return PaintBox1Paint(buffer, size, scene); }

    // How many pixels of one column, or one row, have the colour.
    int columnCount(int x, QRgb colour) const
    {
        int n = 0;
        for (int y = 0; y < buffer.height(); ++y)
            n += buffer.pixel(x, y) == colour;
        return n;
    }
};

// The ring of pixels at Chebyshev distance d from (x, y).
bool ringIs(const QImage &image, int x, int y, int d, QRgb colour)
{
    for (int i = -d; i <= d; ++i) {
        for (QPoint p : { QPoint(x + i, y - d), QPoint(x + i, y + d), QPoint(x - d, y + i),
                 QPoint(x + d, y + i) }) {
            if (image.pixel(p) != colour)
                return false;
        }
    }
    return true;
}

} // namespace

TEST(CanvasPainter, MarkerIsAWhiteRingInsideABlackRing)
{
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    QPainter p(&image);
    p.setPen(QPen(Qt::green, 4));
    endpunkt(p, 15, 14, NodeMarkerColour, false);
    EXPECT_EQ(p.pen().color(), QColor(Qt::green));
    EXPECT_EQ(p.pen().width(), 4);
    p.end();
    EXPECT_TRUE(ringIs(image, 15, 14, 5, White));
    EXPECT_TRUE(ringIs(image, 15, 14, 6, Black));
    EXPECT_TRUE(ringIs(image, 15, 14, 4, qRgb(1, 2, 3)));
    EXPECT_TRUE(ringIs(image, 15, 14, 7, qRgb(1, 2, 3)));
}

TEST(CanvasPainter, StrokeCrossesItsMarkersAndPenWidthFollowsTheZoom)
{
    struct Case
    {
        double lineWidth, zoom;
        int rows;
    };
    for (const Case c : { Case { 0.1, 100, 1 }, Case { 2.5, 100, 2 }, Case { 2.5, 300, 8 } }) {
        // A line across the area at picture y 10, seen at the zoom's scale.
        Fixture f { element(KindLine, 0, { 10, 10 }, { 30, 10 }) };
        f.scene.lineWidth = c.lineWidth;
        f.scene.view.zoom = c.zoom;
        f.paint();
        const int x = static_cast<int>(20 * c.zoom / 100);
        EXPECT_EQ(f.columnCount(x, Red), c.rows) << c.lineWidth << " at " << c.zoom;
        // The marker at Start is drawn before the stroke, which passes over it.
        const QPoint s = f.scene.view.ImageToScreen(10, 10);
        EXPECT_EQ(f.buffer.pixel(s.x() + 5, s.y()), Red);
        EXPECT_EQ(f.buffer.pixel(s.x() - 5, s.y() + 5), White);
        EXPECT_EQ(f.buffer.pixel(s.x() - 6, s.y() - 6), Black);
    }
}

TEST(CanvasPainter, MarkersFollowChainPosAndVanishWithThePanTool)
{
    Fixture f { element(KindLine, 0, { 20, 20 }, { 60, 20 }),
        element(KindLine, 1, { 60, 20 }, { 60, 60 }) };
    f.scene.lineWidth = 0.1;
    f.paint();
    EXPECT_TRUE(ringIs(f.buffer, 20, 20, 6, Black) == false); // the stroke crosses the ring
    EXPECT_EQ(f.buffer.pixel(14, 14), Black);
    EXPECT_EQ(f.buffer.pixel(54, 14), Black); // End of the first, no Start of the second
    EXPECT_EQ(f.buffer.pixel(54, 66), Black);

    f.scene.HandBtnDown = true;
    f.paint();
    EXPECT_EQ(f.buffer.pixel(14, 14), White);
    EXPECT_EQ(f.buffer.pixel(54, 14), White);
    EXPECT_EQ(f.buffer.pixel(40, 20), Red);
}

TEST(CanvasPainter, HandlesOnlyWhileTheNodeToolIsDown)
{
    // A cubic from (10, 70) to (90, 70) with control points high above: the handle from Start
    // to Ctrl1 runs up the column x = 10.
    Fixture f { element(KindCubicBezier, 0, { 10, 70 }, { 90, 70 }, { 10, 10 }, { 90, 10 }) };
    f.scene.lineWidth = 0.1;
    f.paint();
    EXPECT_EQ(f.buffer.pixel(11, 40), White);
    EXPECT_EQ(f.buffer.pixel(10, 10 - 6), Black); // control-point marker without the node tool

    f.scene.Zeiger1Down = true;
    f.paint();
    EXPECT_EQ(f.buffer.pixel(10, 40), White); // the white handle over ...
    EXPECT_EQ(f.buffer.pixel(9, 40), Black); // ... the black one, 3 pixels wide
    EXPECT_EQ(f.buffer.pixel(11, 40), Black);
    EXPECT_EQ(f.buffer.pixel(90, 40), White);
    EXPECT_EQ(f.buffer.pixel(91, 40), Black);
}

TEST(CanvasPainter, QuadraticIsDrawnAsItsCubic)
{
    TPaintScene base;
    Fixture quad { element(KindQuadBezier, 0, { 0, 0 }, { 30, 30 }, { 30, 0 }) };
    Fixture cubic { element(KindCubicBezier, 0, { 0, 0 }, { 30, 30 }, { 20, 0 }, { 30, 10 }) };
    for (Fixture *f : { &quad, &cubic }) {
        f->scene.HandBtnDown = true; // no markers: the two kinds mark different points
        f->scene.view = { 200, -10, -10 };
        f->paint();
    }
    EXPECT_EQ(quad.buffer, cubic.buffer);
    EXPECT_GT(quad.columnCount(50, Red), 0);
}

TEST(CanvasPainter, ClosingLineReturnsToTheChainStartOnlyWhenThereIsOne)
{
    Fixture f { element(KindLine, 0, { 10, 10 }, { 70, 10 }),
        element(KindLine, 1, { 70, 10 }, { 70, 60 }),
        element(KindLine, 2, { 70, 60 }, { 10, 60 }, {}, {}, true) };
    f.scene.HandBtnDown = true;
    f.scene.lineWidth = 1;
    f.paint();
    EXPECT_EQ(f.buffer.pixel(10, 35), Red);

    Fixture orphan { element(KindLine, 1, { 70, 10 }, { 70, 60 }),
        element(KindLine, 2, { 70, 60 }, { 10, 60 }, {}, {}, true) };
    orphan.scene.HandBtnDown = true;
    orphan.scene.lineWidth = 1;
    orphan.paint();
    EXPECT_EQ(orphan.columnCount(10, Red), 1); // only the end of the bottom line

    // An element of an unknown kind draws nothing of its own, but its closing line still goes.
    Fixture odd { element(KindLine, 0, { 10, 10 }, { 70, 10 }),
        element(5, 1, { 70, 10 }, { 70, 60 }, {}, {}, true) };
    odd.scene.HandBtnDown = true;
    odd.paint();
    EXPECT_EQ(odd.buffer.pixel(70, 30), White);
    EXPECT_EQ(odd.buffer.pixel(40, 35), Red);
}

TEST(CanvasPainter, EllipseIsInscribedInItsCornersEitherWayRound)
{
    Fixture a { element(KindEllipse, 0, { 10, 20 }, { 90, 60 }) };
    Fixture b { element(KindEllipse, 0, { 90, 60 }, { 10, 20 }) };
    for (Fixture *f : { &a, &b }) {
        f->scene.HandBtnDown = true;
        f->scene.lineWidth = 0.1;
        f->paint();
    }
    EXPECT_EQ(a.buffer, b.buffer);
    EXPECT_EQ(a.buffer.pixel(50, 20), Red);
    EXPECT_EQ(a.buffer.pixel(50, 40), White); // hollow
    EXPECT_EQ(a.buffer.pixel(10, 40), Red);
}

TEST(CanvasPainter, PictureOnlyWhenShownAndBufferOnlyStopsBeforeTheCopy)
{
    Dib pic = Dib::create(4, 3, 24);
    std::memset(pic.rec().Bits, 0x40, static_cast<std::size_t>(pic.rec().BytesPerLine) * 3);
    Fixture f {};
    f.scene.picture = &pic.rec();
    f.scene.view = { 150, -5, -2 };
    f.scene.ShowPicCheck = true;
    const TPaintResult r = f.paint(QSize(20, 10));
    EXPECT_TRUE(r.copyDue);
    EXPECT_EQ(r.picture.path, TScaledPath::Rows24);
    EXPECT_EQ(f.buffer.size(), QSize(20, 10));
    // Size RoundEven(4 * 1.5) x RoundEven(3 * 1.5) = 6 x 4 (4.5 goes to 4) at (5, 2).
    EXPECT_EQ(f.buffer.pixel(5, 2), qRgb(0x40, 0x40, 0x40));
    EXPECT_EQ(f.buffer.pixel(10, 5), qRgb(0x40, 0x40, 0x40));
    EXPECT_EQ(f.buffer.pixel(11, 5), White);
    EXPECT_EQ(f.buffer.pixel(10, 6), White);
    EXPECT_EQ(f.buffer.pixel(4, 2), White);

    f.scene.ShowPicCheck = false;
    f.scene.BufferOnly = true;
    const TPaintResult hidden = f.paint(QSize(20, 10));
    EXPECT_FALSE(hidden.copyDue);
    EXPECT_EQ(hidden.picture.path, TScaledPath::None);
    EXPECT_EQ(f.buffer.pixel(5, 2), White);
}

TEST(CanvasPainter, ElementsFarOutsideTheAreaChangeNothing)
{
    // Also points so far off that their screen positions saturate at the ends of the integer
    // range, where a marker's corners would overflow.
    const TDrawElement far[] = {
        element(KindCubicBezier, 0, { 5000, 5000 }, { 6000, 5000 }, { 5000, 1 }, { 6000, 1 }),
        element(KindLine, 0, { -1e12, -1e12 }, { -1e12, -1e12 }),
        element(KindLine, 0, { 1e12, 1e12 }, { 1e12, 1e12 }),
        element(KindLine, 0, { -1e12, -1e12 }, { -1e12, 1e12 }),
    };
    QImage white(100, 80, QImage::Format_RGB32);
    white.fill(White);
    for (const TDrawElement &e : far) {
        Fixture f { e };
        f.scene.lineWidth = 10;
        f.paint();
        EXPECT_EQ(f.buffer, white) << e.Start.x;
    }
}

TEST(CanvasPainter, FadeLightensOnlyThePictureAndNothingAtZero)
{
    Dib pic = Dib::create(40, 30, 24); // black
    Fixture f { element(KindLine, 0, { 5, 20 }, { 35, 20 }) };
    f.scene.picture = &pic.rec();
    f.scene.ShowPicCheck = true;
    f.scene.HandBtnDown = true;
    f.paint(QSize(60, 40));
    const QImage plain = f.buffer;
    EXPECT_EQ(plain.pixel(10, 5), Black);

    f.scene.fadePercent = 50;
    f.paint(QSize(60, 40));
    EXPECT_EQ(f.buffer.pixel(10, 5), qRgb(128, 128, 128));
    EXPECT_EQ(f.buffer.pixel(39, 29), qRgb(128, 128, 128));
    EXPECT_EQ(f.buffer.pixel(40, 5), White); // beside the picture
    EXPECT_EQ(f.buffer.pixel(20, 20), Red); // the drawing is not faded

    f.scene.fadePercent = 100; // the control stops at 90
    f.paint(QSize(60, 40));
    EXPECT_EQ(f.buffer.pixel(10, 5), qRgb(230, 230, 230));

    f.scene.fadePercent = 0;
    f.paint(QSize(60, 40));
    EXPECT_EQ(f.buffer, plain);
}

// The kept ground with the picture must give exactly what a fresh paint gives, must never keep
// the drawing of an earlier paint, and must be made again whenever anything it shows changed.
TEST(CanvasPainter, KeptPictureLayerPaintsWhatAFreshPaintPaints)
{
    Dib pic = Dib::create(50, 40, 24);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 150; ++x)
            pic.rec().Bits[y * pic.rec().BytesPerLine + x] =
                static_cast<std::uint8_t>(x * 5 + y * 3);
    Dib other = Dib::create(50, 40, 24);
    ASSERT_NE(pic.serial(), other.serial());
    ASSERT_NE(pic.serial(), 0u);

    Fixture kept { element(KindLine, 0, { 5, 20 }, { 35, 20 }) };
    Fixture fresh { element(KindLine, 0, { 5, 20 }, { 35, 20 }) };
    TPictureLayer layer;
    for (Fixture *f : { &kept, &fresh }) {
        f->scene.picture = &pic.rec();
        f->scene.ShowPicCheck = true;
    }
    kept.scene.pictureLayer = &layer;
    kept.scene.pictureSerial = pic.serial();
    auto same = [&](QSize size = QSize(70, 50)) {
        kept.paint(size);
        fresh.paint(size);
        return kept.buffer == fresh.buffer;
    };

    EXPECT_TRUE(same());
    EXPECT_EQ(layer.reuses, 0);
    // A new line on top, the node tool: the ground is reused and the old drawing is gone.
    kept.list.Get(0)->Start = fresh.list.Get(0)->Start = { 5, 5 };
    kept.scene.Zeiger1Down = fresh.scene.Zeiger1Down = true;
    EXPECT_TRUE(same());
    EXPECT_EQ(layer.reuses, 1);

    // Each change of what the ground shows makes it again.
    const auto changes = std::initializer_list<std::function<void(TPaintScene &)>> {
        [](TPaintScene &s) { s.view.zoom = 250; },
        [](TPaintScene &s) { s.view.scrollX = 7; },
        [](TPaintScene &s) { s.view.scrollY = -3; },
        [](TPaintScene &s) { s.fadePercent = 40; },
        [](TPaintScene &s) { s.device.screenColorDepth = 8; },
        [](TPaintScene &s) { s.devicePixelRatio = 2; },
        [&](TPaintScene &s) { s.picture = &other.rec(); },
    };
    for (const auto &change : changes) {
        change(kept.scene);
        change(fresh.scene);
        kept.scene.pictureSerial =
            kept.scene.picture == &other.rec() ? other.serial() : pic.serial();
        EXPECT_TRUE(same());
        EXPECT_EQ(layer.reuses, 1);
    }
    EXPECT_TRUE(same(QSize(71, 50)));
    EXPECT_EQ(layer.reuses, 1);
    EXPECT_TRUE(same(QSize(71, 50)));
    EXPECT_EQ(layer.reuses, 2);

    // Hiding the picture paints white, and showing it again may reuse the ground.
    kept.scene.ShowPicCheck = fresh.scene.ShowPicCheck = false;
    EXPECT_TRUE(same(QSize(71, 50)));
    kept.scene.ShowPicCheck = fresh.scene.ShowPicCheck = true;
    EXPECT_TRUE(same(QSize(71, 50)));
    EXPECT_EQ(layer.reuses, 3);

    // A picture that moved into another Dib keeps its serial; a replaced one does not.
    Dib moved = std::move(other);
    EXPECT_EQ(moved.serial(), kept.scene.pictureSerial);
    EXPECT_EQ(other.serial(), 0u);
    moved.reset(Dib::create(50, 40, 24).release());
    EXPECT_NE(moved.serial(), kept.scene.pictureSerial);
}

TEST(CanvasPainter, HighDensityBufferIsSharpAndKeepsLogicalPositions)
{
    Dib pic = Dib::create(8, 6, 24);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < 8 * 3; ++c)
            pic.rec().Bits[r * pic.rec().BytesPerLine + c] = static_cast<std::uint8_t>(r * 40 + c);
    }
    Fixture one { element(KindLine, 0, { 20, 30 }, { 70, 30 }),
        element(KindCubicBezier, 1, { 70, 30 }, { 90, 70 }, { 90, 30 }, { 70, 70 }) };
    one.scene.picture = &pic.rec();
    one.scene.ShowPicCheck = true;
    one.scene.lineWidth = 1;
    one.paint();
    Fixture two { element(KindLine, 0, { 20, 30 }, { 70, 30 }),
        element(KindCubicBezier, 1, { 70, 30 }, { 90, 70 }, { 90, 30 }, { 70, 70 }) };
    two.scene = one.scene;
    two.scene.elements = &two.list;
    two.scene.devicePixelRatio = 2;
    two.paint();

    ASSERT_EQ(two.buffer.size(), QSize(200, 160));
    EXPECT_EQ(two.buffer.devicePixelRatio(), 2);
    EXPECT_EQ(two.buffer.deviceIndependentSize(), QSizeF(100, 80));
    // The picture and the markers are the ratio-1 drawing with every pixel a 2 x 2 block.
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 100; ++x) {
            const QRgb expected = one.buffer.pixel(x, y);
            bool nearStroke = false; // the strokes themselves are drawn finer
            for (int n = 0; n < 9; ++n) {
                const QPoint q(x + n % 3 - 1, y + n / 3 - 1);
                nearStroke |= one.buffer.rect().contains(q) && one.buffer.pixel(q) == Red;
            }
            if (nearStroke)
                continue;
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(two.buffer.pixel(2 * x + d % 2, 2 * y + d / 2), expected)
                    << x << ", " << y;
        }
    }
    // A one-pixel line is two device rows of pure colour, not a blurred upscale.
    for (int y = 56; y < 66; ++y) {
        const QRgb p = two.buffer.pixel(90, y);
        EXPECT_TRUE(p == Red || p == White) << y;
        EXPECT_EQ(p == Red, y == 60 || y == 61) << y;
    }
    // Ratio 1 stays exactly as before: its buffer carries no ratio.
    EXPECT_EQ(one.buffer.devicePixelRatio(), 1);
}

TEST(CanvasPainter, SeveralThreadsPaintTheSamePixelsAsOne)
{
    // A large drawing is painted by several threads, each into its own band of rows. Strokes,
    // markers and closing lines that cross from one band into the next must come out exactly
    // as a single thread paints them, at any pixel ratio and pen width.
    std::mt19937 random(3);
    TElementList list;
    appendRandomChains(list, random, 2500, 6, -40, 440, -40, 340, 60, 4);
    for (const double ratio : { 1.0, 1.5, 2.0 }) {
        for (const double width : { 3.0, 6.0 }) {
            TPaintScene scene;
            scene.elements = &list;
            scene.ShowPicCheck = false;
            scene.lineWidth = width;
            scene.devicePixelRatio = ratio;
            scene.paintThreads = 1;
            QImage single;
            PaintBox1Paint(single, QSize(400, 300), scene);
            for (const int threads : { 2, 3, 4 }) {
                scene.paintThreads = threads;
                QImage banded;
                PaintBox1Paint(banded, QSize(400, 300), scene);
                EXPECT_EQ(banded, single)
                    << "ratio " << ratio << ", width " << width << ", " << threads << " threads";
            }
        }
    }
}

TEST(CanvasPainter, KeptThinStrokesPaintThePixelsThePainterDraws)
{
    // Thousands of elements a few pixels long at small zooms with a one-pixel pen, as a large
    // drawing looks when all of it is in view: the kept stamps, alone and in bands, must give
    // exactly the painter's own pixels, for strokes inside the area and for those its edges
    // cut, for shapes met the first time and for kept ones, for shapes too far-reaching to keep
    // and for points that coincide. Without markers every stroke pixel shows.
    std::mt19937 random(11);
    TElementList list;
    appendRandomChains(list, random, 6000, 8, -300, 4300, -300, 3300, 40, 3);
    // A chain from far off the view, whose screen points saturate, closing across the area.
    *list.Append() = element(KindLine, 0, { 1e15, -1e15 }, { 2000, 1500 });
    *list.Append() =
        element(KindCubicBezier, 1, { 2000, 1500 }, { -1e15, 1e15 }, { 2010, 1490 }, {}, true);
    struct Case
    {
        double zoom;
        int threads;
        bool markers;
    };
    for (const Case c : { Case { 10, 1, false }, Case { 10, 2, false }, Case { 10.01, 3, true },
             Case { 37, 2, false }, Case { 100, 2, true }, Case { 140, 1, false } }) {
        TPaintScene scene;
        scene.elements = &list;
        scene.ShowPicCheck = false;
        scene.lineWidth = 1;
        scene.HandBtnDown = !c.markers;
        scene.view = TViewTransform { c.zoom, static_cast<int>(c.zoom) % 7, 3 };
        scene.paintThreads = 1;
        scene.strokeStamps = false;
        QImage painted;
        PaintBox1Paint(painted, QSize(400, 300), scene);
        scene.paintThreads = c.threads;
        scene.strokeStamps = true;
        // The second paint finds the shapes kept, and each band asks the index for its rows.
        ElementIndex index;
        for (ElementIndex *near : { static_cast<ElementIndex *>(nullptr), &index }) {
            scene.elementIndex = near;
            QImage stamped;
            PaintBox1Paint(stamped, QSize(400, 300), scene);
            EXPECT_EQ(stamped, painted) << "zoom " << c.zoom << ", " << c.threads << " threads"
                                        << (near ? ", kept, indexed" : "");
        }
    }
}

TEST(CanvasPainter, PaintingWhatTheIndexFindsPaintsEveryPixelOfAFullPaint)
{
    // Elements near every edge of the area and far beyond it, closing lines that cross the
    // area from outside, wide pens and handles: the index may leave out only what cannot show.
    std::mt19937 random(5);
    std::uniform_int_distribution<int> scroll(-300, 1500);
    TElementList list;
    appendRandomChains(list, random, 1500, 5, -2000, 4000, -2000, 3000, 300, 3);
    ElementIndex index;
    for (const double zoom : { 5.0, 37.0, 100.0, 250.0, 2000.0 }) {
        for (const bool handles : { false, true }) {
            TPaintScene scene;
            scene.elements = &list;
            scene.ShowPicCheck = false;
            scene.lineWidth = handles ? 1 : 9;
            scene.Zeiger1Down = handles;
            scene.view = TViewTransform { zoom, scroll(random), scroll(random) };
            QImage full;
            PaintBox1Paint(full, QSize(300, 200), scene);
            scene.elementIndex = &index;
            QImage culled;
            PaintBox1Paint(culled, QSize(300, 200), scene);
            EXPECT_EQ(culled, full) << "zoom " << zoom << (handles ? ", handles" : "");
        }
    }
}
