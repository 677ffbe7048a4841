#pragma once

#include "raster/DibRec.h"

#include <cstdint>

// Read-only accessors of a picture record's header.
int DibWidth(const TDibRec &dib);
int DibHeight(const TDibRec &dib);
int DibBitCount(const TDibRec &dib);
// 2 to the power of the bit count in 32-bit arithmetic: 1 for 0 bits, 16777216 for 24 bits
// and 0 for 32 bits (the shift runs out of the 32-bit word).
std::uint32_t DibColorCount(const TDibRec &dib);

// Bits per pixel of the desktop display, or 32 when there is no screen (headless runs).
int ScreenColorDepth();

// True when the record can be read safely: pixels and header present, a positive size, an
// uncompressed layout of a bit count this program decodes (1, 4, 8, 16, 24, 32) and rows long
// enough for the width. A damaged record is never read past its rows.
bool dibIsReadable(const TDibRec &dib);

// The colour of pixel `column` of the stored row starting at `row`, as 0xFFRRGGBB. Colour
// indices of 1, 4 and 8-bit pictures are looked up in the picture's colour table, 16-bit pixels
// are 5-5-5. `column` must lie inside the picture.
std::uint32_t dibPixelRgb(const TDibRec &dib, const std::uint8_t *row, int column);

// The colour a pixel of value 0 shows: black, or colour-table entry 0 for indexed pictures.
std::uint32_t dibZeroRgb(const TDibRec &dib);
