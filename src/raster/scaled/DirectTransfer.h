#pragma once

#include "raster/scaled/ScaledDraw.h"

// The direct transfer with its fallbacks, for every picture on a printer and for pictures of
// 1, 4, 16 or 32 bits elsewhere: the stretching transfer; when the device refuses it, a copy
// resampled by hand and sent unscaled; when that cannot be sent, a bitmap of the whole picture
// stretched onto the device. The source rectangle is already cut to the picture.
TScaledDrawResult directTransfer(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcY, int SrcWidth, int SrcHeight, std::uint32_t RasterOp,
    const TScaledDevice &device);

// The device messages of the last resort, in English as the device layer has always shown them.
inline constexpr const char *MsgCouldNotCreateBitmap = "Could not create bitmap.";
inline constexpr const char *MsgNoSetDibits = "The device does not support the Funtkion setdibits!";
inline constexpr const char *MsgNoStretchBlt =
    "The device does not support the function StretchBlt!";
