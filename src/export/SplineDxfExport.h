#pragma once

#include "document/Chain.h"
#include "export/DxfExportParams.h"

#include <QString>
#include <ostream>

class TsgDXFExport;

// The outcome of the DXF export with splines. Core code never shows a message: the window
// that started the export shows message() in an error box, after passing CannotCreateText
// through the translation lookup.
struct SplineDxfResult
{
    // The system's text for an export file that cannot be created; %s takes the file name.
    static constexpr const char *CannotCreateText = "Datei %s kann nicht erstellt werden";

    bool ok = true;
    QString fileName; // the file that could not be written
    QString detail; // the system's own reason, for the command line and for logs

    // The message with the file name put in for %s. The template defaults to the German text.
    QString message(const QString &templateText = QString::fromUtf8(CannotCreateText)) const;
};

// Writes the element list as a release 14 DXF file in which curves stay curves: straight
// segments become two-vertex light-weight polylines, Bezier segments become splines, and an
// ellipse becomes sixteen spline pieces. Picture pixels are divided by the scale divisor of
// the export parameters, and y is turned upward.
class SplineDxfExport
{
public:
    // Fills a new document with the line type and one figure per element, closing line and
    // ellipse piece, in list order. Reads the list without moving its cursor.
    static void build(TsgDXFExport &document, const TElementList &elements, long double q);

    // Builds and writes the whole file to a stream. Returns false on a stream error.
    static bool write(
        std::ostream &stream, const TElementList &elements, const DxfExportParams &params);

    // The editor's export: writes the file through a temporary file that replaces the target
    // only once it is complete, so a failure leaves no partial file and an existing file as
    // it was.
    static SplineDxfResult savedxf(
        const TElementList &elements, const DxfExportParams &params, const QString &fileName);
};
