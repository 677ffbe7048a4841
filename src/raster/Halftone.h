#pragma once

#include "raster/DibRec.h"

// The fixed colour table of every halftoned picture: a 6 x 6 x 6 colour cube in entries 0 to
// 215 (index = 36 r + 6 g + b, each step 51), then 40 further greys in entries 216 to 255.
const TRGBQuad *halftonePalette();

// The entry of halftonePalette() nearest to a colour. Channels may lie outside 0 to 255.
// Without `greysToo` only the colour cube is searched.
int nearestHalftoneIndex(int red, int green, int blue, bool greysToo = true);
