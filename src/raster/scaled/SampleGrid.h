#pragma once

#include "raster/DibRec.h"

#include <QPainter>
#include <QRect>
#include <cstdint>
#include <vector>

// The part of a destination rectangle that the painter's device can show: the rectangle cut
// to the device's area and to the painter's clip, in the painter's logical coordinates. Only
// these pixels are ever produced, so the cost of drawing a picture follows the window size,
// not the zoomed picture size.
QRect visibleDestination(QPainter &painter, const QRect &destination);

// A nearest-neighbour sampling plan for the visible part of a destination: for each visible
// column the source column, for each visible row the source's stored row (0 = lowest picture
// line), -1 where the destination pixel lies outside the picture.
struct SampleGrid
{
    QRect visible;
    std::vector<std::int32_t> columns;
    std::vector<std::int32_t> storedRows;
};

// The plan of the row-by-row scaler: destination column i = x - X takes source column
// SrcX + (SrcWidth * i) div DestWidth and destination row k = y - Y takes the row
// SrcTop + (SrcHeight * k) div DestHeight counted from the top. Because the formulas are those
// of the whole rectangle, a clipped plan samples exactly the pixels the unclipped one would.
SampleGrid stretchGrid(const QRect &visible, int X, int Y, int DestWidth, int DestHeight, int SrcX,
    int SrcTop, int SrcWidth, int SrcHeight, int pictureWidth, int pictureHeight);

// The plan of the hand resampling fallback: stored row k of the resampled copy (shown at
// destination row DestHeight - 1 - k) takes stored row (SrcHeight - 1) * k div (DestHeight - 1)
// + SrcY, column i takes (SrcWidth - 1) * i div (DestWidth - 1) + SrcX; a destination one pixel
// wide or high takes the first source column or row.
SampleGrid handResampleGrid(const QRect &visible, int X, int Y, int DestWidth, int DestHeight,
    int SrcX, int SrcY, int SrcWidth, int SrcHeight, int pictureWidth, int pictureHeight);

struct SampleStats
{
    int rowsProduced = 0; // destination rows written
    int rowCopies = 0; // source rows copied into the row buffer
};

// How the pixels of a plan are filled.
enum class SampleFill {
    Pixels, // the source pixel; outside the picture the colour of pixel value 0
    Zero, // every pixel the colour of pixel value 0 (a bit count the copy does not handle)
};

// Produces the visible rows of a plan onto the painter. A source row is decoded into the row
// buffer only when it differs from the row the buffer already holds; destination rows that
// sample the same source row get the buffer again unchanged.
SampleStats drawGrid(QPainter &painter, const TDibRec &dib, const SampleGrid &grid,
    QPainter::CompositionMode mode, SampleFill fill = SampleFill::Pixels);
