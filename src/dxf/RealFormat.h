#pragma once

#include <cstddef>
#include <string>

// The real number format of every DXF file we write: the exact binary value rounded half up to
// 15 significant digits, trailing zeros dropped, plain notation for decimal exponents from -3 to
// 15 (0.0001 <= |v| < 1E15) and scientific notation ("1E-7", "1.5E16") outside them, "0" for
// both zeros, and always a point as decimal separator. The result depends on no locale or stream
// state, so these functions are safe to call from any thread. A value that is not a finite
// number has no DXF spelling and is written as "0", so a file never holds "nan".

// The room writeDxfDouble() needs. The longest text is 22 characters ("-1.23456789012345E-308"),
// but the digits are moved in fixed blocks that may touch up to 32 characters.
constexpr std::size_t MaxDxfRealLength = 40;

// Writes the text of a double at `out`, which must have room for MaxDxfRealLength characters
// (of which only those up to the returned end hold the text), and returns the end of the text.
// The CNC export formats millions of coordinates through this.
char *writeDxfDouble(char *out, double value);

// Appends the text of a double.
void appendDxfDouble(std::string &out, double value);

// Appends the text of an extended-precision value. Values that are doubles (every coordinate a
// figure holds is a float) take the double path; the others are rounded from their own exact
// binary value.
void appendDxfReal(std::string &out, long double value);

// The same text as a new string.
std::string formatDxfReal(long double value);
