#include "raster/scaled/ScaledDraw.h"

#include "base/RoundEven.h"
#include "raster/scaled/DibAccess.h"
#include "raster/scaled/DirectTransfer.h"
#include "raster/scaled/SampleGrid.h"

#include <QPaintEngine>

namespace {

bool isRasterDevice(QPainter &painter)
{
    const QPaintEngine *engine = painter.paintEngine();
    return engine && engine->type() == QPaintEngine::Raster;
}

// RoundEven(a * b / c) with the product formed exactly and the quotient in floating point.
int scaledRound(long long a, long long b, long long c)
{
    return RoundEven(static_cast<long double>(a * b) / static_cast<long double>(c));
}

TScaledDrawResult fromStats(TScaledPath path, const SampleStats &stats)
{
    TScaledDrawResult result;
    result.path = path;
    result.rowsProduced = stats.rowsProduced;
    result.rowCopies = stats.rowCopies;
    return result;
}

TScaledDrawResult stretchRows(QPainter &DC, TScaledPath path, int bitCount, int X, int Y,
    int DestWidth, int DestHeight, const TDibRec &Dib, int SrcX, int SrcTop, int SrcWidth,
    int SrcHeight)
{
    if (!DC.isActive() || !dibIsReadable(Dib) || DibBitCount(Dib) != bitCount || DestWidth <= 0
        || DestHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0)
        return {};
    const QRect visible = visibleDestination(DC, QRect(X, Y, DestWidth, DestHeight));
    const SampleGrid grid = stretchGrid(visible, X, Y, DestWidth, DestHeight, SrcX, SrcTop,
        SrcWidth, SrcHeight, DibWidth(Dib), DibHeight(Dib));
    // A row transfer copies its pixels; there is no raster operation on this path.
    return fromStats(path, drawGrid(DC, Dib, grid, QPainter::CompositionMode_Source));
}

// The halftone path: the picture reduced to the display's colours by the image library, then
// transferred. Gives None when the library could not make the halftoned copy.
TScaledDrawResult halftonePath(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcY, int SrcWidth, int SrcHeight, std::uint32_t RasterOp,
    const THalftoner &halftoner)
{
    const int width = DibWidth(Dib);
    const int height = DibHeight(Dib);
    const bool shrinking = DestWidth < SrcWidth || DestHeight < SrcHeight;
    TDibRec h {};
    if (shrinking) {
        halftoner.halftoneXY(h, Dib, scaledRound(width, DestWidth, SrcWidth),
            scaledRound(height, DestHeight, SrcHeight));
    } else {
        halftoner.halftone(h, Dib);
    }
    if (!dibIsReadable(h)) {
        halftoner.release(h);
        return {};
    }
    const int hw = DibWidth(h);
    const int hh = DibHeight(h);
    const QRect visible = visibleDestination(DC, QRect(X, Y, DestWidth, DestHeight));
    SampleGrid grid;
    if (shrinking) {
        // The copy is already at the destination's scale, so the rectangle goes across 1:1.
        const int hx = scaledRound(hw, SrcX, width);
        const int hy = scaledRound(hh, SrcY, height);
        grid = stretchGrid(visible, X, Y, DestWidth, DestHeight, hx, hh - hy - DestHeight,
            DestWidth, DestHeight, hw, hh);
    } else {
        grid = stretchGrid(visible, X, Y, DestWidth, DestHeight, SrcX, hh - SrcY - SrcHeight,
            SrcWidth, SrcHeight, hw, hh);
    }
    const SampleStats stats =
        drawGrid(DC, h, grid, compositionForRasterOp(RasterOp, isRasterDevice(DC)));
    halftoner.release(h);
    return fromStats(TScaledPath::Halftone, stats);
}

} // namespace

QPainter::CompositionMode compositionForRasterOp(std::uint32_t rasterOp, bool rasterDevice)
{
    // Only the raster engine knows the bitwise operations; other devices get a plain copy.
    if (rasterDevice) {
        switch (rasterOp) {
        case SRCPAINT:
            return QPainter::RasterOp_SourceOrDestination;
        case SRCAND:
            return QPainter::RasterOp_SourceAndDestination;
        case SRCINVERT:
            return QPainter::RasterOp_SourceXorDestination;
        default:
            break;
        }
    }
    return QPainter::CompositionMode_Source;
}

TScaledDrawResult StretchRows24(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcTop, int SrcWidth, int SrcHeight)
{
    return stretchRows(DC, TScaledPath::Rows24, 24, X, Y, DestWidth, DestHeight, Dib, SrcX, SrcTop,
        SrcWidth, SrcHeight);
}

TScaledDrawResult StretchRows8(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcTop, int SrcWidth, int SrcHeight)
{
    return stretchRows(DC, TScaledPath::Rows8, 8, X, Y, DestWidth, DestHeight, Dib, SrcX, SrcTop,
        SrcWidth, SrcHeight);
}

TScaledDrawResult DrawDibScaled(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcY, int SrcWidth, int SrcHeight, bool AllowHalftone,
    std::uint32_t RasterOp, bool UseOwnPalette, const void *PaletteHandle,
    const TScaledDevice &device)
{
    // Palettes only matter on devices of 256 colours or fewer, which Qt does not drive; the
    // colours of an indexed picture always come from its own colour table.
    (void)UseOwnPalette;
    (void)PaletteHandle;

    if (!DC.isActive() || !dibIsReadable(Dib))
        return {};
    const int width = DibWidth(Dib);
    const int height = DibHeight(Dib);
    // An empty rectangle draws nothing; it would otherwise divide by zero below.
    if (DestWidth <= 0 || DestHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0)
        return {};

    // Cut the source rectangle to the picture, keeping the destination proportional: the left
    // and top edges of the destination stay unless the cut is on that side.
    long long sx = SrcX, sy = SrcY, sw = SrcWidth, sh = SrcHeight;
    long long x = X, y = Y, dw = DestWidth, dh = DestHeight;
    if (sx + sw > width) {
        const long long t = width - sx;
        if (t <= 0)
            return {};
        dw = scaledRound(dw, t, sw);
        sw = t;
    }
    if (sy < 0) {
        if (sh + sy <= 0)
            return {};
        dh = scaledRound(dh, sh + sy, sh);
        sh += sy;
        sy = 0;
    }
    if (sy + sh > height) {
        const long long t = height - sy;
        if (t <= 0)
            return {};
        const long long hNew = scaledRound(dh, t, sh);
        y += dh - hNew;
        dh = hNew;
        sh = t;
    }
    if (sx < 0) {
        if (sx + sw <= 0)
            return {};
        const long long w = scaledRound(dw, sx + sw, sw);
        x += dw - w;
        dw = w;
        sw += sx;
        sx = 0;
    }
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || x < INT_MIN || x > INT_MAX || y < INT_MIN
        || y > INT_MAX)
        return {};
    X = static_cast<int>(x);
    Y = static_cast<int>(y);
    DestWidth = static_cast<int>(dw);
    DestHeight = static_cast<int>(dh);
    SrcX = static_cast<int>(sx);
    SrcY = static_cast<int>(sy);
    SrcWidth = static_cast<int>(sw);
    SrcHeight = static_cast<int>(sh);

    const int bits = DibBitCount(Dib);
    const int srcTop = height - SrcY - SrcHeight;
    if (bits == 24 && device.screenColorDepth <= 8 && AllowHalftone
        && device.halftoner.available()) {
        TScaledDrawResult r = halftonePath(DC, X, Y, DestWidth, DestHeight, Dib, SrcX, SrcY,
            SrcWidth, SrcHeight, RasterOp, device.halftoner);
        if (r.path != TScaledPath::None)
            return r;
        // Without a halftoned copy the picture is still shown, in its own colours.
    }
    if (bits == 24 && !device.isPrinter)
        return StretchRows24(
            DC, X, Y, DestWidth, DestHeight, Dib, SrcX, srcTop, SrcWidth, SrcHeight);
    if (bits == 8 && !device.isPrinter)
        return StretchRows8(
            DC, X, Y, DestWidth, DestHeight, Dib, SrcX, srcTop, SrcWidth, SrcHeight);
    return directTransfer(
        DC, X, Y, DestWidth, DestHeight, Dib, SrcX, SrcY, SrcWidth, SrcHeight, RasterOp, device);
}
