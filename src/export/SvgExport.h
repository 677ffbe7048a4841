#pragma once

#include "document/ElementList.h"
#include "export/DxfExportParams.h"
#include "export/ExportResult.h"

#include <QByteArray>
#include <QColor>
#include <QString>

// What the SVG export needs besides the elements: the picture's size in pixels (the drawing's
// user units), the document's pen colour and line width, and the DXF export resolution, which
// gives the drawing its size in millimetres.
struct SvgExportSettings
{
    int pictureWidth = 320;
    int pictureHeight = 320;
    QColor penColor = QColor(255, 0, 0);
    double lineWidth = 3; // picture pixels
    DxfExportParams params;
};

constexpr int SvgCannotCreateMessage = 12;

// The drawing as an SVG document: the viewBox is the picture in picture pixels, width and height
// are in millimetres at the export resolution, and every element is one path (a line, a cubic
// or quadratic curve, an ellipse of two arcs) carrying its closing line. Numbers are written
// with a point and as few digits as give back the same double. Reads the list without moving
// its cursor.
QByteArray svgBytes(const TElementList &list, const SvgExportSettings &settings);

// Writes the SVG document through a temporary file that replaces the target only when complete.
ExportResult saveSvg(
    const TElementList &list, const SvgExportSettings &settings, const QString &fileName);
