#include "support/TestDrawing.h"
#include "view/DrawingTiles.h"

#include <QImage>
#include <gtest/gtest.h>
#include <random>

namespace {

// Chains of mixed elements over a 3000 x 2000 picture, some of them closed.
void fill(TElementList &list, std::mt19937 &random, int count)
{
    appendRandomChains(list, random, count, 5, -50, 3050, -50, 2050, 90, 3);
}

Dib stripedPicture()
{
    Dib dib = Dib::create(300, 200, 24);
    const TDibRec &r = dib.rec();
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 300 * 3; ++x)
            r.Bits[static_cast<std::ptrdiff_t>(y) * r.BytesPerLine + x] =
                static_cast<std::uint8_t>(x * 5 + y * 11);
    }
    return dib;
}

struct Setting
{
    double ratio;
    double lineWidth;
    QColor pen;
    bool handles;
};

} // namespace

// Paints assembled from kept tiles must be the paints the whole area gets, pixel for pixel,
// after any sequence of scroll, wheel and pan steps, zoom changes and edits that report what
// they changed; and a small step must reuse the tiles instead of painting them again.
TEST(DrawingTiles, TiledPaintsEqualFreshPaintsThroughScrollsZoomsAndEdits)
{
    const Dib picture = stripedPicture();
    const Setting settings[] = {
        { 1, 3, QColor(255, 0, 0), false }, // the own stroker
        { 2, 1, QColor(0, 0, 255), false }, // device pixels in blocks
        // The platform painter's lines, which are painted whole every time.
        { 1, 1, QColor(0, 0, 255), false },
        { 1, 3, QColor(0, 0, 255), true },
        { 1, 4, QColor(0, 128, 0, 120), false },
    };
    const QSize area(420, 300);
    for (const Setting &setting : settings) {
        std::mt19937 random(7);
        TElementList list;
        fill(list, random, 600);
        TDrawingTiles tiles;
        TPaintScene scene;
        scene.elements = &list;
        scene.picture = &picture.rec();
        scene.pictureSerial = picture.serial();
        scene.fadePercent = 30;
        scene.lineWidth = setting.lineWidth;
        scene.penColor = setting.pen;
        scene.devicePixelRatio = setting.ratio;
        scene.Zeiger1Down = setting.handles;
        scene.paintThreads = 2;
        std::uniform_int_distribution<int> action(0, 9), jump(-700, 3500), small(-40, 40),
            index(0, 599);
        const double zooms[] = { 100, 37, 250, 100 };
        QImage tiled, fresh;
        for (int step = 0; step < 60; ++step) {
            std::string what;
            switch (action(random)) {
            case 0:
                scene.view.scrollX = jump(random);
                scene.view.scrollY = jump(random);
                what = "jump";
                break;
            case 1:
                scene.view.zoom = zooms[step % 4];
                what = "zoom";
                break;
            case 2:
            case 3: {
                // An edit where the view shows it, after the view has been painted there: a point
                // moves as a node drag moves it (a chain start carrying the closing line that
                // ends at it), or a chain is closed or opened.
                const int i = step % 2 ? index(random) / 5 * 5 : index(random);
                const TPointD at = list.at(i).Start;
                scene.view.scrollX =
                    static_cast<int>(at.x * scene.view.zoom / 100) - area.width() / 2;
                scene.view.scrollY =
                    static_cast<int>(at.y * scene.view.zoom / 100) - area.height() / 2;
                tiles.paint(tiled, area, scene);
                tiles.invalidateElements(list, i, i + 1);
                if (step % 3) {
                    list.Get(i)->Start.x += small(random) * 3;
                    list.Get(i)->End.y += small(random) * 3;
                } else {
                    list.Get(i)->ClosesChain ^= 1;
                }
                tiles.invalidateElements(list, i, i + 1);
                what = "edit";
                break;
            }
            case 4:
                scene.ShowPicCheck = !scene.ShowPicCheck;
                what = "picture";
                break;
            case 5: {
                // Two steps inside one tile paint nothing new.
                scene.view.scrollX = (scene.view.scrollX / 256) * 256 + 10;
                scene.view.scrollY = 2 * 256 + 3;
                tiles.paint(tiled, area, scene);
                const std::int64_t before = tiles.tilesPainted();
                scene.view.scrollY += 20;
                scene.view.scrollX -= 5;
                tiles.paint(tiled, area, scene);
                EXPECT_EQ(tiles.tilesPainted(), before);
                what = "reuse";
                break;
            }
            default:
                // A wheel or pan step.
                scene.view.scrollX += small(random);
                scene.view.scrollY += action(random) < 5 ? 20 : small(random);
                what = "step";
                break;
            }
            tiles.paint(tiled, area, scene);
            PaintBox1Paint(fresh, area, scene);
            ASSERT_EQ(tiled, fresh)
                << "ratio " << setting.ratio << ", width " << setting.lineWidth << ", step " << step
                << " (" << what << ") at zoom " << scene.view.zoom << ", scroll "
                << scene.view.scrollX << ", " << scene.view.scrollY;
        }
    }
}
