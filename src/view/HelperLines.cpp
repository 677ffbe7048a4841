#include "view/HelperLines.h"

#include <QPaintEngine>

void THelperLines::drawCrosshair(QPainter &screen, int x, int y, QSize windowSize)
{
    screen.save();
    screen.setRenderHint(QPainter::Antialiasing, false);
    // XOR with white inverts each colour channel; the raster engine keeps 32-bit images
    // opaque. Other engines lack the bitwise operations, where the difference with white gives
    // the same inversion.
    const bool raster =
        screen.paintEngine() && screen.paintEngine()->type() == QPaintEngine::Raster;
    screen.setCompositionMode(
        raster ? QPainter::RasterOp_SourceXorDestination : QPainter::CompositionMode_Difference);
    // Each line leaves out its end pixel, like the platform's line drawing; where they cross
    // the pixel is inverted twice, as it always was.
    if (windowSize.width() > 0)
        screen.fillRect(QRect(0, y, windowSize.width(), 1), Qt::white);
    if (windowSize.height() > 0)
        screen.fillRect(QRect(x, 0, 1, windowSize.height()), Qt::white);
    screen.restore();
}

void THelperLines::update(QPainter &screen, int X, int Y, bool enabled, QSize windowSize)
{
    if (m_shown) {
        drawCrosshair(screen, m_x, m_y, windowSize);
        m_shown = false;
    }
    if (enabled) {
        drawCrosshair(screen, X, Y, windowSize);
        m_x = X;
        m_y = Y;
        m_shown = true;
    }
}
