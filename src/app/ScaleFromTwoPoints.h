#pragma once

#include "document/DrawElement.h"

#include <optional>

// Picking two points on the picture whose real distance the user knows, to set the
// resolution of the DXF exports from it. The window feeds the presses in picture coordinates,
// snapped as the drawing tools snap.
class ScaleFromTwoPoints
{
public:
    void start()
    {
        m_active = true;
        m_placed = 0;
    }
    void cancel() { m_active = false; }
    bool active() const { return m_active; }
    int placed() const { return m_placed; }

    // Takes the next point. Returns true when it was the second one; picking then ends and
    // first() and second() hold the two points.
    bool press(TPointD p);
    TPointD first() const { return m_first; }
    TPointD second() const { return m_second; }

    // The resolution at which the two points lie `millimetres` apart: their distance in pixels
    // times 25.39995 divided by the millimetres, held to the range of the resolution field.
    // Nothing when the points coincide or the millimetres are not a positive number.
    static std::optional<double> resolution(TPointD a, TPointD b, double millimetres);

private:
    bool m_active = false;
    int m_placed = 0;
    TPointD m_first {};
    TPointD m_second {};
};
