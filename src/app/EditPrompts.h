#pragma once

#include "document/DrawElement.h"
#include "raster/PdfPages.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The questions of undo, recovery, the two-point scale and PDF pages, replaceable like Prompts so that
// tests can answer them without a display. standard() gives the real dialogs.
struct EditPrompts
{
    // Asks for a distance in millimetres; nothing when the user cancels.
    std::function<std::optional<double>(
        QWidget *parent, const QString &caption, const QString &label)>
        askDistance;
    // Offers to restore a drawing; true for the button `restore`, false for `discard`.
    std::function<bool(QWidget *parent, const QString &caption, const QString &text,
        const QString &restore, const QString &discard)>
        askRestore;
    // Asks which page of a PDF to load, at what resolution; nothing when the user cancels.
    std::function<std::optional<PdfPageChoice>(QWidget *parent, const PdfFile &file)> askPdfPage;

    // Asks for a point's position, shown from `initial` with `decimals` and the unit's name;
    // nothing when the user cancels. A field left as it was gives its initial value exactly.
    std::function<std::optional<TPointD>(QWidget *parent, const QString &caption, TPointD initial,
        int decimals, const QString &unit)>
        askPoint;

    static EditPrompts standard();
};

// The standard askPoint: a small dialog with an x and a y field.
std::optional<TPointD> askPointDialog(
    QWidget *parent, const QString &caption, TPointD initial, int decimals, const QString &unit);
