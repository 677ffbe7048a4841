#pragma once

#include "document/ElementList.h"
#include "emf/EmfWriter.h"
#include "export/ExportResult.h"

#include <QByteArray>
#include <QColor>
#include <QString>

class QScreen;

// What the metafile is drawn with: the document's pen colour and line width, the view's zoom,
// and the device the file is recorded against. The window passes the primary screen; without a
// screen the standard device stands in for it.
struct EmfExportSettings
{
    QColor penColor = QColor(255, 0, 0);
    double lineWidth = 3; // picture pixels at 100 %
    double zoom = 100; // percent
    emf::ReferenceDevice device = emf::ReferenceDevice::standard();
};

// The screen as the metafile's reference device, counted in the view's logical pixels, which
// are the units of the records. On a screen of device pixel ratio 2 every logical pixel covers
// two physical ones each way; a device counted in physical pixels would make readers show the
// drawing at half the size it has on the screen. Null gives the standard device.
emf::ReferenceDevice screenReferenceDevice(const QScreen *screen);

// Message number for an export file that cannot be created or written.
constexpr int EmfCannotCreateMessage = 12;

// Records the drawing into `metafile` in list order: for every element the pen, a move to its
// start, then a line, a cubic Bezier (quadratics raised to cubics in picture pixels first), or
// an outlined ellipse with a hollow brush, and the closing line of a chain. A picture point p
// lands on RoundEven(zoom * p / 100), so the picture's top-left corner is the origin and one
// unit is one pixel of the zoomed view. Walks the list by index; its cursor ends on the last
// element the walk made current.
void DrawToEMFCanvas(emf::Writer &metafile, TElementList &list, const EmfExportSettings &settings);

// The whole metafile in memory; empty only when it would exceed the format's 4 GB.
QByteArray emfBytes(TElementList &list, const EmfExportSettings &settings);

// Writes the metafile to `fileName` through a temporary file that replaces the target only when
// complete, so a failure leaves no partial file and an existing file as it was.
ExportResult saveasemf(
    TElementList &list, const EmfExportSettings &settings, const QString &fileName);
