#pragma once

#include <QByteArray>

// Whether a Targa file holds all its pixels: the pixel data follows the header, the image ID
// and a colour map of map type 1. Run-length packets must cover the picture, and none may run
// past its last pixel. False for a picture without pixels.
bool targaPixelsComplete(const QByteArray &data);

// FreeImage decodes a run-length Targa packet that runs on past the end of a row into the
// wrong pixels, and one that spans several rows makes it read past its buffers, which can
// corrupt the heap. The format allows such packets, and some writers make them.
//
// Returns the same picture with every packet cut at the row ends, so that each packet stays
// within its row: the pixels are the same, the header, colour map and whatever follows the
// pixel data are kept, and the offsets of a version 2 footer, extension area and developer
// directory are moved by the bytes the cutting added. Returns a null array when there is
// nothing to cut: the picture is not run-length encoded, no packet crosses a row end, or the
// packets do not cover the picture (the structure check refuses those).
QByteArray targaPacketsWithinRows(const QByteArray &data);

// Whether FreeImage finds the pixels where the file has them. It skips a colour map only in
// colour-mapped pictures, where it takes any map type other than 0 for a map and sizes the map
// in bits rather than whole bytes per entry; in a true-colour or grey picture it reads a colour
// map as pixels. False for a map type the format does not define (neither 0 nor 1), for map
// entries that are not whole bytes (15-bit colours), and for a true-colour or grey picture with
// a colour map.
bool targaMapWhereFreeImageExpectsIt(const QByteArray &data);
