#pragma once

#include "document/ElementList.h"
#include "export/DxfExportParams.h"
#include "export/ExportResult.h"

#include <QString>
#include <cstdint>
#include <ostream>

class TsgDXFExport;

// What the DXF for CAD and CAM programs is made from: the scale of the DXF export settings, the
// tolerance within which arcs follow the curves, whether curves stay splines instead, and the
// picture's height, whose bottom edge becomes y = 0.
struct CamDxfSettings
{
    static constexpr double DefaultToleranceMm = 0.01;
    static constexpr double MinToleranceMm = 0.0001;
    static constexpr double MaxToleranceMm = 10;

    DxfExportParams params;
    double toleranceMm = DefaultToleranceMm; // always millimetres, whatever the output unit
    bool splines = false;
    double pictureHeight = 0; // pixels
    // Whether a large drawing may be walked on two threads; both ways give the same bytes.
    bool allowThreads = true;

    // The tolerance clamped to its range (its minimum when it is not a number), in output units.
    double toleranceInOutputUnits() const;
};

// What an export wrote, for the tests and the benchmark.
struct CamDxfCounts
{
    std::int64_t polylines = 0;
    std::int64_t closedPolylines = 0;
    std::int64_t circles = 0;
    std::int64_t ellipses = 0;
    std::int64_t splines = 0;
    std::int64_t arcs = 0; // polyline segments with a bulge
};

// A release 2000 DXF that CAD and CAM programs take as it is. Each connected run of a chain
// (normally the whole chain) is one light-weight polyline whose curves are tangent-continuous
// arcs within the tolerance, flagged closed when the chain closes; an ellipse element is a
// CIRCLE on layer "HOLES" when its axes are equal and an ELLIPSE otherwise. With splines chosen,
// a run that holds a curve is one SPLINE instead. The header states the unit and the extents;
// y points up, with the origin at the picture's bottom-left corner.
class CamDxfExport
{
public:
    // Message number shown when the file cannot be created or written.
    static constexpr int CannotCreateMessage = 12;

    // Fills a new document. Reads the list without moving its cursor.
    static CamDxfCounts build(
        TsgDXFExport &document, const TElementList &elements, const CamDxfSettings &settings);

    // Builds and writes the whole file to a stream. Returns false on a stream error.
    static bool write(
        std::ostream &stream, const TElementList &elements, const CamDxfSettings &settings);
};

// The editor's export: the file is written through a temporary file that replaces the target
// only when it is complete.
ExportResult savedxfCam(const TElementList &elements, const CamDxfSettings &settings,
    const QString &fileName, CamDxfCounts *counts = nullptr);
