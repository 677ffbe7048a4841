#pragma once

#include "document/ElementList.h"
#include "print/PrintLayout.h"
#include "raster/DibRec.h"
#include "raster/scaled/ScaledDraw.h"

#include <QColor>
#include <QPageLayout>
#include <QString>
#include <functional>

class QPdfWriter;

// The picture a print puts on paper: the drawing painted at 100 % over the background picture
// (withPicture) or over white, at the picture's size, without node markers or handles, as a
// 24-bit record the caller owns. A null record when the picture has no pixels or the memory
// for the page picture cannot be had.
Dib composePrintPicture(const TDibRec &picture, const TElementList &elements, const QColor &pen,
    double lineWidth, bool withPicture);

// Draws `picture` on a page whose painter has its origin at the top-left corner of the
// printable page of `printable` device pixels, at the rectangle the print dialog's layout gives
// at that resolution. The picture goes to the device whole, at its own resolution, so the
// printer (or PDF reader) does the scaling.
TScaledDrawResult paintPrintedPage(
    QPainter &painter, QSize printable, const TDibRec &picture, const TPrintChoices &choices);

// The outcome of a print. Core code shows nothing: the window that started the print shows
// messageNumber (translated), followed by the file name when there is one.
struct TPrintResult
{
    bool ok = true;
    int messageNumber = 0; // entry of the built-in message table, 0 when ok
    QString fileName; // the PDF file that could not be written
    QString detail; // the system's own reason
};

// Writes a PDF file with the given page layout and resolution (600 dpi when none is given):
// `paint` draws on the active painter and may start further pages; its false fails the print.
// The file is written beside its final name and replaces it only when complete, so a failed
// print never leaves a damaged file or destroys an older one.
TPrintResult printPdfFile(const QString &fileName, const QPageLayout &layout, int resolution,
    const std::function<bool(QPainter &, QPdfWriter &)> &paint);

// Prints the picture as a one-page PDF file with the page layout and resolution of the current
// printer, through printPdfFile.
TPrintResult printToPdfFile(const QString &fileName, const QPageLayout &layout, int resolution,
    const TDibRec &picture, const TPrintChoices &choices);
