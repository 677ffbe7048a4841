#pragma once

#include <string>

// Appends a real number as the DXF files of this library print it: the exact binary value
// rounded half up to 15 significant digits, trailing zeros dropped, plain notation for
// decimal exponents from -3 to 15 and scientific notation ("1E-7") outside them, "0" for
// both zeros, and always a point as decimal separator. The result depends on no locale or
// stream state, so it is safe to call from any thread.
void appendDxfReal(std::string &out, long double value);

// The same text as a new string.
std::string formatDxfReal(long double value);
