#pragma once

#include "document/ElementList.h"
#include "print/PrintJob.h"
#include "raster/DibRec.h"

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

class QPagedPaintDevice;
class QPainter;

// A print of the drawing at the size the DXF exports give it, so that a check print can be laid
// on the part: 100 mm in the export are 100 mm on paper. A drawing larger than the page goes on
// several pages, each repeating a strip of its neighbours with alignment marks in it.

// The strip that neighbouring pages share, and the most pages a print may take.
inline constexpr double TrueSizeOverlapMm = 10;
inline constexpr int MaxTrueSizePages = 500;

// Where the pages of a print lie on the sheet, the whole print laid out in millimetres.
struct TTrueSizePages
{
    int columns = 0;
    int rows = 0;
    QSizeF page; // the printable page
    QPointF offset; // the drawing's top-left corner on the sheet
    QSizeF advance; // from one page's corner to its neighbour's: the page less the overlap
    int count() const { return columns * rows; }
    // The part of the sheet that page (column, row) shows.
    QRectF pageArea(int column, int row) const;
};

// How a drawing of `drawingMm` goes on printable pages of `pageMm`: along an axis on which it
// fits, one page, with the drawing centred when `centre` is set; otherwise as many pages as it
// takes, each overlapping the one before by `overlapMm` (less on a page too small for it). No
// pages without a page or a drawing.
TTrueSizePages trueSizePages(
    QSizeF drawingMm, QSizeF pageMm, bool centre, double overlapMm = TrueSizeOverlapMm);

// What a true-size print paints.
struct TTrueSizeDrawing
{
    const TDibRec *picture = nullptr; // gives the size, and the background when withPicture
    bool withPicture = true;
    const TElementList *elements = nullptr;
    QColor penColor = QColor(255, 0, 0);
    double lineWidth = 3; // picture pixels
    double pixelsPerMm = 72 / 25.39995; // from the resolution of the DXF export settings

    // The picture's size on paper; empty without a picture or a usable scale.
    QSizeF sizeMm() const;
};

// Every element of the list as one path in picture pixels, closing lines included, in list order.
QPainterPath drawingPath(const TElementList &list);

// Paints page (column, row) on a painter whose origin is the printable page's top-left corner, at
// `dotsPerMm` device pixels per millimetre across and down: the picture's part on this page (when
// withPicture), the drawing as lines as wide as the editor shows them at 100 %, and a cross in
// every strip shared with a neighbour, at the same place of the sheet on both pages.
void paintTrueSizePage(QPainter &painter, QSizeF dotsPerMm, const TTrueSizeDrawing &drawing,
    const TTrueSizePages &pages, int column, int row);

// Paints every page, row by row, on a printer or PDF writer whose painter is active. False
// when the print has no pages, more than MaxTrueSizePages, or a new page cannot be started.
bool paintTrueSizePages(QPainter &painter, QPagedPaintDevice &device,
    const TTrueSizeDrawing &drawing, const TTrueSizePages &pages);

// The pages for a paged device: its printable page and resolution.
TTrueSizePages trueSizePagesFor(
    const QPagedPaintDevice &device, const TTrueSizeDrawing &drawing, bool centre);
