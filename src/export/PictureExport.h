#pragma once

#include "document/ElementList.h"
#include "export/ExportResult.h"
#include "raster/DibRec.h"

#include <QColor>
#include <QImage>
#include <QString>

// What the picture export paints: the drawing at 100 % over the background picture or over
// white, at the picture's size.
struct PictureExportSettings
{
    const TDibRec *picture = nullptr; // gives the size, and the background when withPicture
    bool withPicture = true;
    QColor penColor = QColor(255, 0, 0);
    double lineWidth = 3;
};

constexpr int PictureCannotCreateMessage = 12;

// The drawing painted by the drawing area's own painter at 100 % without scrolling, node
// markers or handles, over the picture or over white. Without a picture the image is null.
QImage exportPicture(const TElementList &list, const PictureExportSettings &settings);

// The file format for a file name: BMP, PNG, JPEG or TIFF by its extension, `fallback` for any
// other extension or none.
const char *pictureFormatFor(const QString &fileName, const char *fallback = "bmp");

// Paints the picture and writes it in the format its name asks for, through a temporary file
// that replaces the target only when complete.
ExportResult savePicture(const TElementList &list, const PictureExportSettings &settings,
    const QString &fileName, const char *fallbackFormat = "bmp");
