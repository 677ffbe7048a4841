#pragma once

#include <QPainter>
#include <QSize>
#include <cstdint>

// The crosshair through the mouse position. It is drawn inverted straight onto what the
// drawing area shows, so drawing it a second time at the same place removes it and leaves
// the picture as it was. Any copy of the back buffer to the drawing area paints over it, after
// which the caller calls bufferCopied() so that it is not "removed" a second time.
class THelperLines
{
public:
    // The last step of every mouse move over the drawing area, (X, Y) in drawing-area pixels.
    // `screen` paints on what the drawing area shows; the lines run as long as the main
    // window is wide and high (`windowSize`) and are clipped by the area. `enabled` is the
    // check mark of "Hilfslinien anzeigen": the old crosshair goes in any case, a new one is
    // drawn only while it is checked.
    void update(QPainter &screen, int X, int Y, bool enabled, QSize windowSize);

    // The back buffer was copied over the drawing area: no crosshair is on it any more.
    void bufferCopied() { m_shown = false; }

    bool HelperLinesShown() const { return m_shown; }
    std::int32_t HelperLineX() const { return m_x; }
    std::int32_t HelperLineY() const { return m_y; }

    // One crosshair, inverting every pixel it covers once.
    static void drawCrosshair(QPainter &screen, int x, int y, QSize windowSize);

private:
    bool m_shown = false;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
};
