#include "ExportTestDrawing.h"
#include "emf/EmfReader.h"
#include "export/EmfExport.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

// A metafile exported on a high-density screen: the records are in the view's logical pixels,
// and a reader that turns them into millimetres through the reference device must arrive at
// the size the drawing has on that screen.
TEST(EmfScreen, ReadersShowTheDrawingAtItsScreenSizeAtRatio2)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->devicePixelRatio(), 2.0);
    ASSERT_GT(screen->physicalSize().width(), 0);

    ExportTestDrawing d { element(KindLine, 0, { 0, 0 }, { 300, 150 }) };
    EmfExportSettings s;
    s.zoom = 100;
    s.device = screenReferenceDevice(screen);
    const QByteArray bytes = emfBytes(d.list, s);
    const emf::ReadResult r =
        emf::read(reinterpret_cast<const std::uint8_t *>(bytes.constData()), bytes.size());
    ASSERT_TRUE(r.ok) << r.error;

    // The line is 300 logical pixels wide on the screen; a logical pixel measures the screen's
    // physical width divided by its width in logical pixels.
    const double onScreenMm = 300 * screen->physicalSize().width() / screen->size().width();
    const double mmPerUnit = r.header.micrometres.cx / 1000.0 / r.header.device.cx;
    EXPECT_NEAR(300 * mmPerUnit, onScreenMm, onScreenMm * 0.002);
    const double mmPerUnitY = r.header.micrometres.cy / 1000.0 / r.header.device.cy;
    EXPECT_NEAR(150 * mmPerUnitY, onScreenMm / 2, onScreenMm * 0.002);
    // The frame stays the whole screen, which holds the drawing, whatever its pixels are counted
    // in.
    EXPECT_NEAR(r.header.frame.right / 100.0, screen->physicalSize().width(), 1);
}

int main(int argc, char **argv)
{
    // The ratio is fixed when the application starts, so this program sets it for itself.
    qputenv("QT_SCALE_FACTOR", "2");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
