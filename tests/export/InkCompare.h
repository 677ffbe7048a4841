#pragma once

#include <QImage>
#include <QPoint>

// Compares two renderings of the same red drawing on white, made by different renderers that
// may place an edge a pixel apart and smooth it differently.

// A pixel that is clearly the red pen, not a smoothed edge.
inline bool ink(QRgb c)
{
    return qRed(c) > 160 && qGreen(c) < 140 && qBlue(c) < 140;
}

// How many ink pixels of `a` have no ink pixel of `b` within `reach` pixels; `isInk` says what
// counts as ink.
inline int unmatchedInk(const QImage &a, const QImage &b, int reach, bool (*isInk)(QRgb) = ink)
{
    int misses = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (!isInk(a.pixel(x, y)))
                continue;
            bool found = false;
            for (int dy = -reach; dy <= reach && !found; ++dy) {
                for (int dx = -reach; dx <= reach && !found; ++dx) {
                    const QPoint p(x + dx, y + dy);
                    found = b.valid(p) && isInk(b.pixel(p));
                }
            }
            misses += found ? 0 : 1;
        }
    }
    return misses;
}

inline int inkCount(const QImage &a)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x)
            n += ink(a.pixel(x, y)) ? 1 : 0;
    }
    return n;
}
