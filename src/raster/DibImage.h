#pragma once

#include "raster/DibRec.h"

#include <QImage>

// The picture as it looks: a top-down Format_RGB32 image with indexed colours resolved through
// the colour table. A null record gives a null image.
QImage dibToImage(const TDibRec &rec);

// A new record holding `image`: 1 or 8 bits with its colour table for indexed images of up to
// 2 or 256 colours, otherwise 24 bits, with any transparency composed over white. The
// resolution is kept. On failure (null image, size beyond the limits) Bits is null.
TDibRec imageToDib(const QImage &image);
