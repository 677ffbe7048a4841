#pragma once

#include "document/ElementList.h"
#include "raster/DibRec.h"

#include <QString>
#include <array>

// The reason every operation gives when there is no picture, in German.
inline constexpr const char *kNoPicture = "Es ist kein Bild geladen.";

// Where the points of the old picture lie in the new one: a projective map of picture
// coordinates (pixels, origin at the top-left corner, y downward). Quarter turns, mirrors and
// crops are maps whose factors are 0 and +-1 and whose offsets are whole pixels, so they move
// every point exactly.
class PictureMapping
{
public:
    PictureMapping(); // the identity
    explicit PictureMapping(const std::array<double, 9> &rowMajor);

    TPointD map(TPointD p) const;
    const std::array<double, 9> &matrix() const { return m_m; }
    // True for maps that keep the axes parallel to the axes (quarter turns, mirrors, crops and
    // any other map without shear or perspective).
    bool keepsAxes() const;

    // Moves every point of every element, the drag copies included. An ellipse, stored as
    // the two corners of its axis-parallel box, keeps opposite corners under maps that keep
    // the axes; under any other map it becomes the box around the mapped centre whose half
    // sides are the mapped half axes, so it stays the same size and in place.
    void apply(TElementList &elements) const;

private:
    std::array<double, 9> m_m;
};

// A changed picture together with the map that moves the drawing with it, made by one
// function so that the two cannot disagree. `picture` is null on failure and `error` then
// says why in German (for translateText); the source picture is never changed.
struct PictureChange
{
    Dib picture;
    PictureMapping mapping;
    // The resolution in dots per inch the new picture has by construction, or 0 when it
    // keeps the old one.
    double dpi = 0;
    QString error;

    bool ok() const { return !picture.isNull(); }
};

// Turns the picture clockwise by `quarterTurns` quarter turns (1 = 90 degrees clockwise,
// 2 = 180 degrees, 3 = 90 degrees counter-clockwise). The depth and colours stay.
PictureChange rotateQuarter(const Dib &picture, int quarterTurns);

// Mirrors left to right (`leftRight`) or top to bottom. The depth and colours stay.
PictureChange mirrorPicture(const Dib &picture, bool leftRight);

// Keeps the pixels inside the rectangle with opposite corners a and b, widened to whole
// pixels and cut to the picture. Refused when nothing of the picture would remain. The depth
// and colours stay.
PictureChange cropPicture(const Dib &picture, TPointD a, TPointD b);

// Turns the picture by the small angle that makes the edge from a to b exactly horizontal,
// or vertical when it is steeper than 45 degrees, about the picture's centre. The size stays:
// what turns out of the picture is cut and what turns in is white. Resampled bilinearly into
// 8-bit grey (for grey pictures) or 24 bits.
PictureChange straightenPicture(const Dib &picture, TPointD a, TPointD b);

// Rectifies the four corners of a rectangle seen in perspective, clicked in order around
// it, to that rectangle of widthMm x heightMm millimetres. The first corner becomes the
// top-left one whichever corner was clicked first. The pixel size keeps the finest detail
// of the source edges; `dpi` of the result tells the resolution that follows from it.
// Refused for corners in a line, crossing edges or a shape that is not convex.
PictureChange rectifyPicture(
    const Dib &picture, const std::array<TPointD, 4> &corners, double widthMm, double heightMm);

// The picture as a black-and-white threshold sees it: a 1-bit picture of black (0) for the
// pixels darker than `threshold` and white (1) for the others. A threshold of -1 takes Otsu's
// on the grey values. Null when it cannot be made.
Dib thresholdView(const Dib &picture, int threshold = -1);
