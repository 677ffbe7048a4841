#pragma once

#include "raster/DibRec.h"

#include <optional>

// The resolution a picture's file declares, in dots per inch, when it is one a user can rely
// on. Many writers store 72 or 96 dpi without meaning it (they are the defaults of screens and
// image libraries, and of this library's new pictures), so exactly those two are ignored, as
// are values outside 10..10000 dpi and pictures that declare nothing. A stored value that is
// the rounding of a whole number of dots per inch (formats that count per metre cannot hold
// 300 dpi exactly) is taken as that whole number. Pixels that are not square give the
// horizontal resolution, which sets the width.
std::optional<double> declaredResolution(const TDibRec &rec);

// The same rule for a resolution in dots per metre, as picture headers hold it.
std::optional<double> resolutionFromDotsPerMetre(double dotsPerMetre);
