#pragma once

#include "raster/DibRec.h"

#include <QByteArray>

// Decodes a picture held in memory with Qt's image readers. Files that end before their
// picture data is complete, and sizes beyond the library's limits, give a null record.
TDibRec decodeWithQt(const QByteArray &data);
