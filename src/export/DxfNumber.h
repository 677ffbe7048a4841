#pragma once

#include <string>

// The number format of the CNC DXF file: at most 15 significant digits, the digit after the 15th
// rounding half up on the exact binary value, trailing zeros dropped, "0" for every zero, the
// fixed form for 0.0001 <= |v| < 1E15 and otherwise the scientific form (5E-5, 1.5E16). It is the
// real number format of the DXF writer library; the CNC export names it for its own use. The
// decimal separator is always a point: no locale is consulted, so the function is also safe to
// call from several threads at once.
std::string dxfNumber(double value);

// Appends the same text to a buffer.
void appendDxfNumber(std::string &out, double value);
