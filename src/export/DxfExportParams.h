#pragma once

// The values both DXF exports read from the export settings dialog, and the scale they derive
// from them. The dialog owns the values while the program runs; the exports and the headless
// converter receive a copy, so no export ever depends on a widget.
struct DxfExportParams
{
    // Millimetres per inch as the file format of our users has always used it. It is not 25.4:
    // changing it would move every exported coordinate of existing drawings.
    static constexpr double MillimetresPerInch = 25.39995;

    static constexpr double MinDpi = 1.0;
    static constexpr double MaxDpi = 10000.0;
    static constexpr int MinPieces = 1;
    static constexpr int MaxPieces = 20;

    double dpi = 72.0; // resolution of the traced picture in dots per inch (DPIED)
    bool millimetres = true; // true: DXF coordinates in millimetres, false: in inches
    int pieces = 4; // pieces per curve for the CNC export (DivideEd)

    // The resolution and piece count clamped to the ranges the dialog allows. A value that is not
    // a number reads as the minimum, as an unreadable field in the dialog does, so no export can
    // divide by zero or produce coordinates that are not numbers.
    double effectiveDpi() const;
    int effectivePieces() const;

    // The divisor q that turns picture pixels into DXF units: pixels per inch, or pixels per
    // millimetre when millimetres are selected.
    double scaleDivisor() const;

    // The same divisor computed in extended precision, for the export that rounds its
    // coordinates to 32-bit floats from an extended-precision quotient.
    long double scaleDivisorExtended() const;
};
