#include "TraceMeasure.h"
#include "TraceScene.h"
#include "trace/OutlineTrace.h"
#include "trace/Threshold.h"
#include "trace/Trace.h"

#include <QElapsedTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace trace_scene;

namespace {

// Every chain counts from 0, is connected, and closes; ellipses stand alone.
void expectClosedChains(const std::vector<TDrawElement> &elements)
{
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const TDrawElement &e = elements[i];
        const bool last = i + 1 == elements.size() || elements[i + 1].ChainPos == 0;
        if (e.Kind == KindEllipse) {
            EXPECT_EQ(e.ChainPos, 0);
            EXPECT_EQ(e.ClosesChain, 0);
            EXPECT_TRUE(last);
            continue;
        }
        EXPECT_TRUE(e.Kind == KindLine || e.Kind == KindCubicBezier);
        if (e.ChainPos > 0) {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(e.ChainPos, elements[i - 1].ChainPos + 1);
            EXPECT_TRUE(e.Start == elements[i - 1].End);
        }
        EXPECT_EQ(e.ClosesChain, last ? 1 : 0);
    }
}

TEST(OutlineTrace, AccuracyOnDrawnParts)
{
    const Scene scene = partsSheet();
    for (const NamedLook &row : looks()) {
        SCOPED_TRACE(row.name);
        // Without grey levels a small circle's pixels leave its centre uncertain by a quarter
        // pixel; potrace's own curves miss it by as much.
        const double within = row.look.oneBit ? 0.8 : 0.9;
        const double circle = row.look.oneBit ? 0.25 : 0.15;
        const Dib dib = toDib(paint(scene, row.look), row.look.oneBit);
        const TraceResult r = traceOutline(dib.rec(), TraceSettings {});
        ASSERT_TRUE(r.ok()) << r.reason.toStdString();
        expectClosedChains(r.elements);
        const Figures f = measure(scene, flatten(r.elements, 0.25));
        printf("%-22s max %.3f median %.3f boundaries within 0.5 px %.2f, true boundary missed by "
               "%.3f\n",
            row.name, f.max, f.median, f.boundariesWithinHalf, f.missed);
        EXPECT_LE(f.max, 1.0);
        EXPECT_LE(f.median, 0.35);
        EXPECT_GE(f.boundariesWithinHalf, within);
        // Sharp points are cut a little, but no boundary is lost.
        EXPECT_LE(f.missed, 2.0);

        // Every circle, drill holes of 10 pixels included, is one ellipse element.
        const auto nearest = nearestEllipses(scene, r.elements);
        for (std::size_t i = 0; i < nearest.size(); ++i) {
            const Circle &c = scene.circles[i];
            const TDrawElement *best = nearest[i];
            ASSERT_NE(best, nullptr) << "circle of radius " << c.radius;
            EXPECT_NEAR((best->Start.x + best->End.x) / 2, c.centre.x(), circle) << c.radius;
            EXPECT_NEAR((best->Start.y + best->End.y) / 2, c.centre.y(), circle) << c.radius;
            EXPECT_NEAR(std::abs(best->End.x - best->Start.x) / 2, c.radius, circle) << c.radius;
            EXPECT_NEAR(std::abs(best->End.y - best->Start.y) / 2, c.radius, circle) << c.radius;
        }
    }
}

TEST(OutlineTrace, PictureDepthsAndRegionsAgree)
{
    // One grey picture in several layouts: the elements must not depend on how the picture
    // stores its pixels, and a region must give the same picture coordinates as the whole.
    Scene scene = partsSheet();
    const QImage grey = paint(scene, {});
    const Dib eight = toDib(grey, false);
    const TraceResult whole = traceOutline(eight.rec(), TraceSettings {});
    ASSERT_TRUE(whole.ok());

    Dib rgb = Dib::create(grey.width(), grey.height(), 24);
    // The palette read backwards: index 255 - v holds grey v.
    TBitmapInfo reversed {};
    for (int i = 0; i < 256; ++i)
        reversed.bmiColors[i] = { std::uint8_t(255 - i), std::uint8_t(255 - i),
            std::uint8_t(255 - i), 0 };
    Dib indexed = Dib::create(grey.width(), grey.height(), 8, &reversed, 256);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const int v = grey.constScanLine(y)[x];
            setpixel(rgb.rec(), x, grey.height() - 1 - y, std::uint32_t(v * 0x010101));
            setpixel(indexed.rec(), x, grey.height() - 1 - y, std::uint32_t(255 - v));
        }
    }
    for (const Dib *dib : { &rgb, &indexed }) {
        const TraceResult r = traceOutline(dib->rec(), TraceSettings {});
        ASSERT_EQ(r.elements.size(), whole.elements.size());
        EXPECT_EQ(0,
            std::memcmp(r.elements.data(), whole.elements.data(),
                r.elements.size() * sizeof(TDrawElement)));
    }

    // Sixteen grey levels as a 4-bit picture and as an 8-bit one.
    TBitmapInfo sixteen {};
    for (int i = 0; i < 16; ++i)
        sixteen.bmiColors[i] = { std::uint8_t(17 * i), std::uint8_t(17 * i), std::uint8_t(17 * i),
            0 };
    Dib four = Dib::create(grey.width(), grey.height(), 4, &sixteen, 16);
    QImage coarse = grey;
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            const int level = (grey.constScanLine(y)[x] + 8) / 17;
            coarse.scanLine(y)[x] = std::uint8_t(17 * level);
            setpixel(four.rec(), x, grey.height() - 1 - y, std::uint32_t(level));
        }
    }
    const TraceResult fromFour = traceOutline(four.rec(), TraceSettings {});
    const TraceResult fromEight = traceOutline(toDib(coarse, false).rec(), TraceSettings {});
    ASSERT_FALSE(fromFour.elements.empty());
    ASSERT_EQ(fromFour.elements.size(), fromEight.elements.size());
    EXPECT_EQ(0,
        std::memcmp(fromFour.elements.data(), fromEight.elements.data(),
            fromFour.elements.size() * sizeof(TDrawElement)));

    // The ring alone, cut out with a margin on every side.
    TraceSettings settings;
    settings.region = QRect(300, 250, 110, 110);
    const TraceResult part = traceOutline(eight.rec(), settings);
    ASSERT_TRUE(part.ok());
    ASSERT_EQ(part.elements.size(), 2u);
    for (const TDrawElement &e : part.elements) {
        EXPECT_EQ(e.Kind, KindEllipse);
        EXPECT_NEAR((e.Start.x + e.End.x) / 2, 350.5, 0.15);
        EXPECT_NEAR((e.Start.y + e.End.y) / 2, 310.25, 0.15);
    }
}

TEST(OutlineTrace, BadInputEndsQuicklyWithoutElementsInEitherMode)
{
    Dib white = Dib::create(300, 200, 24);
    std::memset(white.rec().Bits, 0xFF, std::size_t(white.rec().BytesPerLine) * 200);
    Dib black = Dib::create(300, 200, 24);
    Dib noise = Dib::create(600, 600, 24);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < std::size_t(noise.rec().BytesPerLine) * 600; ++i)
        noise.rec().Bits[i] = std::uint8_t(random());
    TraceSettings outside;
    outside.region = QRect(400, 0, 50, 50);
    struct Row
    {
        const char *name;
        const Dib *dib;
        TraceSettings settings;
        TraceResult::Status status;
    };
    const Dib none;
    const Row rows[] = {
        { "all white", &white, {}, TraceResult::Status::Empty },
        { "all black", &black, {}, TraceResult::Status::Empty },
        { "noise", &noise, {}, TraceResult::Status::Empty },
        { "region outside the picture", &white, outside, TraceResult::Status::Failed },
        { "no picture", &none, {}, TraceResult::Status::Failed },
    };
    // Both kinds of trace.
    for (const auto mode : { TraceSettings::Mode::Outline, TraceSettings::Mode::Centerline }) {
        for (const Row &row : rows) {
            SCOPED_TRACE(row.name);
            TraceSettings settings = row.settings;
            settings.mode = mode;
            QElapsedTimer timer;
            timer.start();
            const TraceResult r = tracePicture(row.dib->rec(), settings);
            EXPECT_LT(timer.elapsed(), 2000);
            EXPECT_EQ(r.status, row.status);
            EXPECT_TRUE(r.elements.empty());
            EXPECT_FALSE(r.reason.isEmpty());
        }
    }
}

TEST(OutlineTrace, CancellingAtAnyStageLeavesNothingInEitherMode)
{
    const Dib dib = toDib(paint(partsSheet(), {}), false);
    struct Row
    {
        TraceSettings::Mode mode;
        std::vector<int> stages; // the progress each stage starts with
    };
    const Row rows[] = {
        { TraceSettings::Mode::Outline, { 0, 10, 20, 70 } },
        { TraceSettings::Mode::Centerline, { 0, 10, 20, 50, 60, 75 } },
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(int(row.mode));
        TraceSettings settings;
        settings.mode = row.mode;
        int last = -1;
        bool rising = true;
        TraceControl watch;
        watch.progress = [&](int p) {
            rising = rising && p >= last;
            last = p;
        };
        ASSERT_TRUE(tracePicture(dib.rec(), settings, watch).ok());
        EXPECT_TRUE(rising);
        EXPECT_EQ(last, 100);

        for (int at : row.stages) {
            SCOPED_TRACE(at);
            std::atomic<bool> cancel { false };
            TraceControl control;
            control.cancel = &cancel;
            control.progress = [&](int p) {
                if (p >= at)
                    cancel = true;
            };
            const TraceResult r = tracePicture(dib.rec(), settings, control);
            EXPECT_EQ(r.status, TraceResult::Status::Cancelled);
            EXPECT_TRUE(r.elements.empty());
        }
    }
}

TEST(OutlineTrace, OtsuSplitsBetweenTheTwoClasses)
{
    struct Row
    {
        int darkLevel, darkCount, lightLevel, lightCount, lowest, highest;
    };
    // Otsu's threshold lies anywhere between the two levels; taking the middle of the equally
    // good ones keeps it away from both.
    const Row rows[] = {
        { 0, 100, 255, 100, 128, 128 },
        { 40, 10, 200, 1000, 120, 121 },
        { 60, 5000, 61, 5000, 61, 61 },
    };
    for (const Row &row : rows) {
        GreyHistogram h {};
        h[std::size_t(row.darkLevel)] = std::uint64_t(row.darkCount);
        h[std::size_t(row.lightLevel)] = std::uint64_t(row.lightCount);
        const int t = otsuThreshold(h);
        EXPECT_GE(t, row.lowest);
        EXPECT_LE(t, row.highest);
        EXPECT_NEAR(edgeLevel(h, t), (row.darkLevel + row.lightLevel) / 2.0, 1e-9);
    }
}

} // namespace
