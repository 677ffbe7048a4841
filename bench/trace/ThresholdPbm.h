#pragma once

#include "raster/DibRec.h"

#include <QByteArray>
#include <QImage>
#include <vector>

// The black-and-white bitmap the tracer makes of a grey picture, at the threshold it finds
// itself, as a PBM file for the potrace command (1 = ink, rows top-down).
QByteArray thresholdedPbm(const QImage &grey, const Dib &dib);

// Runs the potrace command with `arguments` (the program name first) and waits for it; false
// when it is not installed or fails.
bool runPotrace(const std::vector<QByteArray> &arguments);
