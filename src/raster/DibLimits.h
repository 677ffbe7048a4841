#pragma once

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
