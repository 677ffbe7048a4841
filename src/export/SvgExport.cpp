#include "export/SvgExport.h"

#include "document/Chain.h"
#include "export/AtomicFile.h"
#include "view/ViewTransform.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// The shortest text that reads back as the same double, with a point whatever the locale. A
// value that is not finite (only a damaged project holds one) is written as 0 so the document
// stays valid.
void number(std::string &out, double v)
{
    if (!std::isfinite(v))
        v = 0;
    if (v == 0)
        v = 0; // no "-0"
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, r.ptr);
}

// A point of path data, after its command letter when one is given.
void point(std::string &out, char command, TPointD p)
{
    if (command)
        out += command;
    number(out, p.x);
    out += ' ';
    number(out, p.y);
}

void hex2(std::string &out, int v)
{
    static const char digits[] = "0123456789abcdef";
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

// The path data of one element, without its closing line.
void elementPath(std::string &d, const TDrawElement &e)
{
    switch (e.Kind) {
    case KindLine:
        point(d, 'M', e.Start);
        d += ' ';
        point(d, 'L', e.End);
        break;
    case KindQuadBezier:
        point(d, 'M', e.Start);
        d += ' ';
        point(d, 'Q', e.Ctrl1);
        d += ' ';
        point(d, 0, e.End);
        break;
    case KindCubicBezier:
        point(d, 'M', e.Start);
        d += ' ';
        point(d, 'C', e.Ctrl1);
        d += ' ';
        point(d, 0, e.Ctrl2);
        d += ' ';
        point(d, 0, e.End);
        break;
    case KindEllipse: {
        // Two half arcs through the ends of the horizontal axis of the box Start-End.
        const double cx = (e.Start.x + e.End.x) / 2;
        const double cy = (e.Start.y + e.End.y) / 2;
        const double rx = std::abs(e.End.x - e.Start.x) / 2;
        const double ry = std::abs(e.End.y - e.Start.y) / 2;
        if (rx == 0 || ry == 0) {
            // A flat ellipse is the line across its box, as the editor draws it; an arc of
            // radius 0 would draw nothing at all.
            point(d, 'M', { cx - rx, cy - ry });
            d += ' ';
            point(d, 'L', { cx + rx, cy + ry });
            break;
        }
        std::string arc = "A";
        number(arc, rx);
        arc += ' ';
        number(arc, ry);
        arc += " 0 1 0";
        point(d, 'M', { cx - rx, cy });
        d += ' ' + arc + ' ';
        point(d, 0, { cx + rx, cy });
        d += ' ' + arc + ' ';
        point(d, 0, { cx - rx, cy });
        d += 'Z';
        break;
    }
    default:
        // An unknown kind draws nothing; its closing line may still follow.
        break;
    }
}

} // namespace

QByteArray svgBytes(const TElementList &list, const SvgExportSettings &settings)
{
    const double q = settings.params.scaleDivisor(); // pixels per millimetre or per inch
    const double perMillimetre =
        settings.params.millimetres ? q : q / DxfExportParams::MillimetresPerInch;
    const QColor c = settings.penColor;
    // The stroke is as wide as the editor shows it at 100 %.
    const int strokeWidth = TViewTransform {}.penWidth(settings.lineWidth);

    std::string out;
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"";
    number(out, settings.pictureWidth / perMillimetre);
    out += "mm\" height=\"";
    number(out, settings.pictureHeight / perMillimetre);
    out += "mm\" viewBox=\"0 0 ";
    number(out, settings.pictureWidth);
    out += ' ';
    number(out, settings.pictureHeight);
    out += "\">\n<g fill=\"none\" stroke=\"#";
    hex2(out, c.red());
    hex2(out, c.green());
    hex2(out, c.blue());
    out += "\" stroke-width=\"";
    number(out, strokeWidth);
    out += "\" stroke-linecap=\"round\" stroke-linejoin=\"round\">\n";

    const auto count = static_cast<std::int32_t>(list.Count());
    std::string d;
    for (std::int32_t i = 0; i < count; ++i) {
        const TDrawElement &e = list.at(i);
        d.clear();
        elementPath(d, e);
        if (e.ClosesChain) {
            const std::int32_t first = chainStartIndex(list, i);
            if (first >= 0) {
                if (!d.empty())
                    d += ' ';
                point(d, 'M', e.End);
                d += ' ';
                point(d, 'L', list.at(first).Start);
            }
        }
        if (d.empty())
            continue;
        out += "<path d=\"";
        out += d;
        out += "\"/>\n";
    }
    out += "</g>\n</svg>\n";
    return QByteArray(out.data(), qsizetype(out.size()));
}

ExportResult saveSvg(
    const TElementList &list, const SvgExportSettings &settings, const QString &fileName)
{
    QByteArray bytes;
    try {
        bytes = svgBytes(list, settings);
    } catch (const std::bad_alloc &) {
        return ExportResult::failure(
            SvgCannotCreateMessage, fileName, QStringLiteral("not enough memory"));
    }
    return writeFileAtomically(fileName, bytes, SvgCannotCreateMessage);
}
