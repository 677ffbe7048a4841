#pragma once

#include "raster/PdfPages.h"

#include <optional>

class QWidget;

// Asks which page of a PDF becomes the picture (only when it has several), at what resolution
// and whether in colour. The resolution and the colour choice are remembered for the next PDF.
// Nothing when the user cancels.
std::optional<PdfPageChoice> askPdfPage(QWidget *parent, const PdfFile &file);
