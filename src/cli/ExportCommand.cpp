#include "cli/ExportCommand.h"

#include "document/ProjectFile.h"
#include "export/CncDxfExport.h"
#include "export/DxfExportParams.h"
#include "export/SplineDxfExport.h"

#include <cmath>

namespace {

const char *const kUsage =
    "Usage: linovex-export PROJECT.lvx (--dxf OUT.dxf | --cnc-dxf OUT.dxf) [options]\n"
    "Writes a Linovex project as DXF with splines (--dxf) or as DXF for CNC machines with\n"
    "every curve cut into circular arcs (--cnc-dxf), byte for byte as the editor does.\n"
    "\n"
    "Options:\n"
    "  --dpi R         resolution of the traced picture in dots per inch, 1 to 10000 (default 72)\n"
    "  --unit mm|inch  unit of the DXF coordinates (default mm)\n"
    "  --pieces N      pieces per curve for --cnc-dxf, 1 to 20 (default 4)\n"
    "  --help          show this text\n"
    "  --version       show the version\n";

struct Options
{
    QString project;
    QString output;
    bool cnc = false;
    DxfExportParams params;
};

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
        if (a == QLatin1String("--dxf") || a == QLatin1String("--cnc-dxf")) {
            if (!o.output.isEmpty())
                return QStringLiteral("give exactly one of --dxf and --cnc-dxf");
            if (!value(o.output) || o.output.isEmpty())
                return QStringLiteral("%1 needs an output file name").arg(a);
            o.cnc = a == QLatin1String("--cnc-dxf");
        } else if (a == QLatin1String("--dpi")) {
            bool ok = false;
            if (!value(v))
                return QStringLiteral("--dpi needs a number");
            const double dpi = v.toDouble(&ok); // QString parses with a point whatever the locale
            if (!ok || !std::isfinite(dpi) || dpi < DxfExportParams::MinDpi
                || dpi > DxfExportParams::MaxDpi)
                return QStringLiteral("--dpi must be a number from 1 to 10000, not \"%1\"").arg(v);
            o.params.dpi = dpi;
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
        return QStringLiteral("no project file given");
    if (o.output.isEmpty())
        return QStringLiteral("give --dxf or --cnc-dxf with an output file");
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

    // The same reader as the editor's "Projekt öffnen...", so a file the editor refuses is
    // refused here too.
    ProjectLoad load = loadProjectFile(o.project);
    if (!load.result.ok) {
        err = QStringLiteral("linovex-export: cannot read project %1: %2\n")
                  .arg(o.project, load.result.reason);
        return 1;
    }
    TDrawElement *cursor = nullptr;
    TElementList list(&cursor);
    for (const TDrawElement &e : load.result.contents.elements) {
        TDrawElement *slot = list.Append();
        if (!slot) {
            err = QStringLiteral("linovex-export: not enough memory for %1\n").arg(o.project);
            return 1;
        }
        *slot = e;
    }

    if (o.cnc) {
        const ExportResult r = savedxfArc(list, o.params, o.output);
        if (!r.ok) {
            err = QStringLiteral("linovex-export: cannot write %1: %2\n").arg(o.output, r.detail);
            return 1;
        }
    } else {
        const SplineDxfResult r = SplineDxfExport::savedxf(list, o.params, o.output);
        if (!r.ok) {
            err = QStringLiteral("linovex-export: cannot write %1: %2\n").arg(o.output, r.detail);
            return 1;
        }
    }
    return 0;
}
