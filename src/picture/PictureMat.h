#pragma once

#include "picture/PictureOps.h"
#include "raster/DibRec.h"

#include <opencv2/core/mat.hpp>

// Helpers shared by the picture operations; not for use outside this module.

// The reasons an operation gives when it refuses, in German as the user reads them.
inline constexpr const char *kNoMemory = "Für das Bild reicht der Speicher nicht.";
inline constexpr const char *kTooLarge = "Das Ergebnis wäre größer, als ein Bild sein darf.";
inline constexpr const char *kCropOutside = "Der Ausschnitt liegt außerhalb des Bildes.";
inline constexpr const char *kSamePoints = "Die beiden Punkte fallen zusammen.";
inline constexpr const char *kBadCorners =
    "Die vier Ecken bilden kein Viereck: Sie liegen auf einer Linie, oder die Seiten kreuzen "
    "sich.";
inline constexpr const char *kBadSize = "Breite und Höhe müssen größer als 0 sein.";

// The stored rows (lowest picture row first) of an 8-, 16-, 24- or 32-bit picture as a matrix
// header over the same memory, without a copy.
cv::Mat wrapRows(const Dib &picture);

// A new picture of this size and depth with the colour table and the resolution of `like`;
// null when the size is beyond the limits or memory is short.
Dib newPictureLike(const Dib &like, int width, int height, int bitCount);

// Whether every colour of the table is a grey.
bool greyPalette(const Dib &picture);

// A refusal with its reason.
inline PictureChange refused(const char *reason)
{
    PictureChange c;
    c.error = QString::fromUtf8(reason);
    return c;
}
