#pragma once

#include "raster/DibRec.h"

#include <QPainter>
#include <QString>
#include <cstdint>

// Raster operation codes of the stretching transfers. Callers pass SRCCOPY; the other three
// combine the picture with what the device already shows.
constexpr std::uint32_t SRCCOPY = 0x00CC0020;
constexpr std::uint32_t SRCPAINT = 0x00EE0086;
constexpr std::uint32_t SRCAND = 0x008800C6;
constexpr std::uint32_t SRCINVERT = 0x00660046;

// The picture operations the halftone path needs from the image library. They are handed in
// rather than linked, so the scaled drawing stays usable (and testable) on its own; the print
// preview passes the library's DIBHalftoneDIB, DIBHalftoneDIBXY and deldib.
struct THalftoner
{
    void (*halftone)(TDibRec &out, TDibRec source) = nullptr;
    void (*halftoneXY)(TDibRec &out, TDibRec source, int width, int height) = nullptr;
    void (*release)(TDibRec rec) = nullptr;
    bool available() const { return halftone && halftoneXY && release; }
};

// What the scaled drawing needs to know about the device behind the painter.
struct TScaledDevice
{
    bool isPrinter = false; // a raster printer: pictures go through the direct transfer
    bool canDibToDevice = true; // the device takes device-independent bitmaps
    // Bits per pixel of the desktop display (ScreenColorDepth() in the program); a test sets 8.
    int screenColorDepth = 32;
    // False for a device that refuses the stretching transfer, which sends the drawing down
    // the fallbacks.
    bool acceptsStretch = true;
    THalftoner halftoner;
};

// Which way the pixels went to the device.
enum class TScaledPath {
    None, // nothing to draw: no picture, an empty rectangle or an inactive painter
    Halftone,
    Rows24,
    Rows8,
    Direct, // the stretching transfer
    HandResampled, // the resampled copy sent unscaled
    DeviceBitmap, // the last resort through a device-sized bitmap
};

struct TScaledDrawResult
{
    TScaledPath path = TScaledPath::None;
    // One of the device messages ("Could not create bitmap." and the two below), in English
    // and untranslated, for the UI to show in a plain message box; empty when all went well.
    QString message;
    int rowsProduced = 0; // destination rows produced (only those the device can show)
    int rowCopies = 0; // source rows copied into the row buffer
};

// Draws the rectangle (SrcX, SrcY, SrcWidth, SrcHeight) of a picture, SrcY counted in stored
// rows from the lowest line upwards, stretched to (X, Y, DestWidth, DestHeight) on the painter.
// A source rectangle reaching past the picture is cut to it with the destination cut in
// proportion. Only the destination pixels that the painter's device and clip can show are
// produced, and they are exactly those the whole rectangle would give. Palettes have no effect
// on a true-colour device, so UseOwnPalette and PaletteHandle only keep the call's shape.
TScaledDrawResult DrawDibScaled(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcY, int SrcWidth, int SrcHeight, bool AllowHalftone,
    std::uint32_t RasterOp, bool UseOwnPalette, const void *PaletteHandle,
    const TScaledDevice &device = {});

// The row-by-row scalers for 24-bit and 8-bit pictures, SrcTop counted from the top line.
// Destination pixels that sample outside the picture are black (24 bits) or colour-table
// entry 0 (8 bits). A picture of another bit count draws nothing.
TScaledDrawResult StretchRows24(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcTop, int SrcWidth, int SrcHeight);
TScaledDrawResult StretchRows8(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcTop, int SrcWidth, int SrcHeight);

// The composition mode that performs a raster operation; SRCCOPY for unknown codes.
QPainter::CompositionMode compositionForRasterOp(std::uint32_t rasterOp, bool rasterDevice);
