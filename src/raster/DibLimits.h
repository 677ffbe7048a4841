#pragma once

#include "raster/DibRec.h"

#include <cstdint>

// Limits on what the image library agrees to hold. A damaged or forged header can claim any
// size; these keep such a file from exhausting memory. The byte limit also keeps every row
// offset (row x BytesPerLine) inside a signed 32-bit integer, which callers rely on.
inline constexpr std::int64_t kMaxDibPixels = 1'000'000'000;
inline constexpr std::int64_t kMaxDibBytes = 0x7FFFFFFF;

// Bytes per stored row: a multiple of 4.
std::int64_t dibStride(int width, int bitCount);

// Whether newdib would accept this size and bit count (1, 4, 8, 16, 24 or 32 bits).
bool dibSizeAcceptable(int width, int height, int bitCount);

// Pixel rows allocated elsewhere, taken over without a copy. The rows must have the stride of
// dibStride(); deldib calls `release(owner)` instead of freeing them. On failure nothing is
// taken over and the caller still owns the rows.
using PixelRelease = void (*)(void *owner);
bool adoptPixels(TDibRec &out, int width, int height, int bitCount, std::uint8_t *bits,
    PixelRelease release, void *owner);
