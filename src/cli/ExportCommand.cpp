#include "cli/ExportCommand.h"

#include "document/ProjectFile.h"
#include "export/CamDxfExport.h"
#include "export/CncDxfExport.h"
#include "export/DxfExportParams.h"
#include "export/EmfExport.h"
#include "export/PictureExport.h"
#include "export/SplineDxfExport.h"
#include "export/SvgExport.h"
#include "raster/PictureResolution.h"
#include "trace/Trace.h"

#include <cmath>

namespace {

const char *const kUsage =
    "Usage: linovex-export PROJECT.lvx OUTPUT [options]\n"
    "       linovex-export PICTURE --trace outline|centerline OUTPUT... [options]\n"
    "Writes a Linovex project byte for byte as the editor's exports do, or traces a picture\n"
    "first and writes what was traced. OUTPUT is one of:\n"
    "  --dxf OUT.dxf      DXF with splines\n"
    "  --cnc-dxf OUT.dxf  DXF for CNC machines, every curve cut into circular arcs\n"
    "  --cam-dxf OUT.dxf  DXF for CAD and CAM programs: one closed polyline per closed chain,\n"
    "                     curves as smooth arcs, circles as circles, the unit in the header\n"
    "  --emf OUT.emf      Enhanced Metafile of the lines at the zoom given by --zoom\n"
    "  --svg OUT.svg      SVG of the lines, sized in millimetres by --dpi\n"
    "  --png OUT.png      the lines painted at 100 % at the picture's size; a .jpg, .tif or\n"
    "                     .bmp name chooses that format instead\n"
    "  --bmp OUT.bmp      the same, BMP unless the name says otherwise\n"
    "  --project OUT.lvx  with --trace: the traced drawing with its picture, for the editor;\n"
    "                     alone or beside one of the outputs above\n"
    "\n"
    "Options:\n"
    "  --trace MODE    read a picture and trace it: outline (the boundaries of the ink) or\n"
    "                  centerline (the middle of its strokes)\n"
    "  --threshold T   with --trace: grey level from 0 to 255 below which a pixel is ink\n"
    "                  (default: chosen from the picture)\n"
    "  --dpi R         resolution of the traced picture in dots per inch, 1 to 10000 (default\n"
    "                  the picture's own with --trace when it has one, otherwise 72)\n"
    "  --unit mm|inch  unit of the DXF coordinates (default mm)\n"
    "  --pieces N      pieces per curve for --cnc-dxf, 1 to 20 (default 4)\n"
    "  --tolerance MM  how far the arcs of --cam-dxf may leave the curves, in millimetres,\n"
    "                  0.0001 to 10 (default 0.01)\n"
    "  --splines       keep the curves of --cam-dxf as splines instead of arcs\n"
    "  --zoom Z        zoom of --emf in percent, 10 to 30000 (default 100)\n"
    "  --with-picture  paint --png and --bmp over the project's picture instead of white\n"
    "  --help          show this text\n"
    "  --version       show the version\n";

enum class Format { Dxf, CncDxf, CamDxf, Emf, Svg, Png, Bmp };

struct Options
{
    QString project; // or the picture, with --trace
    QString output;
    Format format = Format::Dxf;
    DxfExportParams params;
    bool dpiGiven = false;
    double zoom = 100;
    bool withPicture = false;
    bool trace = false;
    TraceSettings traceSettings;
    QString projectOut;
    double toleranceMm = CamDxfSettings::DefaultToleranceMm;
    bool splines = false;
};

struct OutputOption
{
    const char *name;
    Format format;
};
constexpr OutputOption kOutputs[] = {
    { "--dxf", Format::Dxf },
    { "--cnc-dxf", Format::CncDxf },
    { "--cam-dxf", Format::CamDxf },
    { "--emf", Format::Emf },
    { "--svg", Format::Svg },
    { "--png", Format::Png },
    { "--bmp", Format::Bmp },
};

// The same bounds as the zoom field of the editor.
constexpr double MinZoom = 10;
constexpr double MaxZoom = 30000;

const OutputOption *outputOption(const QString &a)
{
    for (const OutputOption &o : kOutputs) {
        if (a == QLatin1String(o.name))
            return &o;
    }
    return nullptr;
}

// Parses the arguments; an empty result means success, otherwise it is the error message.
QString parse(const QStringList &args, Options &o)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &into) -> bool {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        QString v;
        if (const OutputOption *output = outputOption(a)) {
            if (!o.output.isEmpty())
                return QStringLiteral("give exactly one output option");
            if (!value(o.output) || o.output.isEmpty())
                return QStringLiteral("%1 needs an output file name").arg(a);
            o.format = output->format;
        } else if (a == QLatin1String("--zoom")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--zoom needs a number");
            const double zoom = v.toDouble(&ok);
            if (!ok || !std::isfinite(zoom) || zoom < MinZoom || zoom > MaxZoom)
                return QStringLiteral("--zoom must be a number from 10 to 30000, not \"%1\"")
                    .arg(v);
            o.zoom = zoom;
        } else if (a == QLatin1String("--with-picture")) {
            o.withPicture = true;
        } else if (a == QLatin1String("--splines")) {
            o.splines = true;
        } else if (a == QLatin1String("--tolerance")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--tolerance needs a number");
            const double mm = v.toDouble(&ok);
            if (!ok || !std::isfinite(mm) || mm < CamDxfSettings::MinToleranceMm
                || mm > CamDxfSettings::MaxToleranceMm)
                return QStringLiteral("--tolerance must be a number from 0.0001 to 10, not \"%1\"")
                    .arg(v);
            o.toleranceMm = mm;
        } else if (a == QLatin1String("--dpi")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--dpi needs a number");
            const double dpi = v.toDouble(&ok); // QString parses with a point whatever the locale
            if (!ok || !std::isfinite(dpi) || dpi < DxfExportParams::MinDpi
                || dpi > DxfExportParams::MaxDpi)
                return QStringLiteral("--dpi must be a number from 1 to 10000, not \"%1\"").arg(v);
            o.params.dpi = dpi;
            o.dpiGiven = true;
        } else if (a == QLatin1String("--trace")) {
            if (!value(v) || (v != QLatin1String("outline") && v != QLatin1String("centerline")))
                return QStringLiteral("--trace must be outline or centerline");
            o.trace = true;
            o.traceSettings.mode = v == QLatin1String("outline") ? TraceSettings::Mode::Outline
                                                                 : TraceSettings::Mode::Centerline;
        } else if (a == QLatin1String("--threshold")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--threshold needs a number");
            const int t = v.toInt(&ok);
            if (!ok || t < 0 || t > 255)
                return QStringLiteral(
                    "--threshold must be a whole number from 0 to 255, not \"%1\"")
                    .arg(v);
            o.traceSettings.threshold = t;
        } else if (a == QLatin1String("--project")) {
            if (!value(o.projectOut) || o.projectOut.isEmpty())
                return QStringLiteral("--project needs an output file name");
        } else if (a == QLatin1String("--unit")) {
            if (!value(v) || (v != QLatin1String("mm") && v != QLatin1String("inch")))
                return QStringLiteral("--unit must be mm or inch");
            o.params.millimetres = v == QLatin1String("mm");
        } else if (a == QLatin1String("--pieces")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--pieces needs a number");
            const int n = v.toInt(&ok);
            if (!ok || n < DxfExportParams::MinPieces || n > DxfExportParams::MaxPieces)
                return QStringLiteral("--pieces must be a whole number from 1 to 20, not \"%1\"")
                    .arg(v);
            o.params.pieces = n;
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option %1").arg(a);
        } else if (o.project.isEmpty()) {
            o.project = a;
        } else {
            return QStringLiteral("more than one project file given");
        }
    }
    if (o.project.isEmpty())
        return o.trace ? QStringLiteral("no picture file given")
                       : QStringLiteral("no project file given");
    if (!o.trace && (o.traceSettings.threshold >= 0 || !o.projectOut.isEmpty()))
        return QStringLiteral("--threshold and --project need --trace");
    if (o.output.isEmpty() && o.projectOut.isEmpty())
        return QStringLiteral("give an output option with a file name");
    return {};
}

QColor fromColorRef(std::uint32_t ref)
{
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
        static_cast<int>((ref >> 16) & 0xFF));
}

// Runs the export the options name, through the same routine as the editor's menu item.
ExportResult write(const Options &o, TElementList &list, const ProjectContents &project)
{
    const QColor pen = fromColorRef(project.penColor);
    switch (o.format) {
    case Format::Dxf: {
        const SplineDxfResult r = SplineDxfExport::savedxf(list, o.params, o.output);
        return r.ok ? ExportResult::success() : ExportResult::failure(0, r.fileName, r.detail);
    }
    case Format::CncDxf:
        return savedxfArc(list, o.params, o.output);
    case Format::CamDxf: {
        CamDxfSettings s;
        s.params = o.params;
        s.toleranceMm = o.toleranceMm;
        s.splines = o.splines;
        s.pictureHeight = project.picture.height();
        return savedxfCam(list, s, o.output);
    }
    case Format::Emf: {
        // There is no screen here: the standard reference device stands in for it.
        EmfExportSettings s;
        s.penColor = pen;
        s.lineWidth = project.lineWidth;
        s.zoom = o.zoom;
        return saveasemf(list, s, o.output);
    }
    case Format::Svg: {
        SvgExportSettings s;
        s.pictureWidth = project.picture.width();
        s.pictureHeight = project.picture.height();
        s.penColor = pen;
        s.lineWidth = project.lineWidth;
        s.params = o.params;
        return saveSvg(list, s, o.output);
    }
    case Format::Png:
    case Format::Bmp: {
        PictureExportSettings s;
        s.picture = &project.picture.rec();
        s.withPicture = o.withPicture;
        s.penColor = pen;
        s.lineWidth = project.lineWidth;
        // The extension chooses the format as in the editor; a name without a known one gets
        // the format of the option.
        return savePicture(list, s, o.output, o.format == Format::Bmp ? "bmp" : "png");
    }
    }
    return ExportResult::success();
}

// Reads the picture and traces it into a document of its own, with the editor's starting pen
// (red, 3 pixels wide). Returns the error message, empty on success; `note` says why nothing
// was traced, when nothing was.
QString tracePicture(Options &o, ProjectContents &doc, QString &note)
{
    doc.picture = Dib::open(o.project);
    if (doc.picture.isNull())
        return QStringLiteral("cannot read picture %1").arg(o.project);
    const TraceResult r = tracePicture(doc.picture.rec(), o.traceSettings);
    if (r.status == TraceResult::Status::Failed)
        return QStringLiteral("cannot trace %1: %2").arg(o.project, r.reason);
    // Nothing to trace is no failure: the outputs are written empty, so a shell loop over a
    // folder of scans goes on, and the message says why.
    if (!r.elements.empty()
        && !doc.elements->AppendAll(
            r.elements.data(), static_cast<std::uint32_t>(r.elements.size())))
        return QStringLiteral("not enough memory for %1").arg(o.project);
    if (r.status == TraceResult::Status::Empty)
        note = r.reason;
    doc.penColor = 0x0000FF;
    doc.lineWidth = 3.0;
    if (!o.dpiGiven) {
        // The same rule as the editor's: 72 and 96 dpi are placeholders, not a scan's resolution.
        if (const std::optional<double> dpi = declaredResolution(doc.picture.rec());
            dpi && *dpi >= DxfExportParams::MinDpi && *dpi <= DxfExportParams::MaxDpi)
            o.params.dpi = *dpi;
    }
    return {};
}

} // namespace

int runExportCommand(const QStringList &arguments, QString &out, QString &err)
{
    if (arguments.contains(QLatin1String("--help"))) {
        out = QString::fromLatin1(kUsage);
        return 0;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        out = QStringLiteral("linovex-export 1.0\n");
        return 0;
    }
    Options o;
    if (const QString problem = parse(arguments, o); !problem.isEmpty()) {
        err = QStringLiteral("linovex-export: %1 (see --help)\n").arg(problem);
        return 2;
    }

    ProjectLoad load;
    if (o.trace) {
        QString note;
        if (const QString problem = tracePicture(o, load.result.contents, note);
            !problem.isEmpty()) {
            err = QStringLiteral("linovex-export: %1\n").arg(problem);
            return 1;
        }
        if (!note.isEmpty())
            err = QStringLiteral("linovex-export: nothing was traced in %1: %2\n")
                      .arg(o.project, note);
    } else {
        // The same reader as the editor's "Projekt öffnen...", so a file the editor refuses is
        // refused here too.
        load = loadProjectFile(o.project);
        if (!load.result.ok) {
            err = QStringLiteral("linovex-export: cannot read project %1: %2\n")
                      .arg(o.project, load.result.reason);
            return 1;
        }
    }
    TElementList &list = *load.result.contents.elements;

    const ProjectContents &doc = load.result.contents;
    if (!o.projectOut.isEmpty()
        && !saveProjectFile(o.projectOut, list, doc.picture.rec(), doc.penColor, doc.lineWidth)) {
        err += QStringLiteral("linovex-export: cannot write %1\n").arg(o.projectOut);
        return 1;
    }
    if (o.output.isEmpty())
        return 0;
    const ExportResult r = write(o, list, doc);
    if (!r.ok) {
        err += QStringLiteral("linovex-export: cannot write %1: %2\n").arg(o.output, r.detail);
        return 1;
    }
    return 0;
}
