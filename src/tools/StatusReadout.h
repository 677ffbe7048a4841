#pragma once

#include "document/DrawElement.h"
#include "tools/ToolEvent.h"

#include <QString>
#include <functional>

class ToolController;

// The unit in which positions and lengths are shown and typed: the unit of the DXF export
// settings, reached through the picture's resolution, with the y axis as the DXF exports write
// it (up from the picture's top edge, so the picture lies at y <= 0).
class ReadoutUnit
{
public:
    // `pixelsPerUnit` is the exports' scale divisor: pixels per millimetre or per inch.
    ReadoutUnit(double pixelsPerUnit, bool millimetres)
        : m_q(pixelsPerUnit)
        , m_millimetres(millimetres)
    {
    }

    bool millimetres() const { return m_millimetres; }
    // Hundredths of a millimetre, thousandths of an inch: both finer than a cutter follows.
    int decimals() const { return m_millimetres ? 2 : 3; }

    double length(double pixels) const { return pixels / m_q; }
    double pixels(double length) const { return length * m_q; }
    TPointD fromPicture(TPointD p) const { return { p.x / m_q, -(p.y / m_q) }; }
    TPointD toPicture(TPointD u) const { return { u.x * m_q, -(u.y * m_q) }; }

    // A value in this unit with the unit's decimals and a point; never "-0.00".
    QString number(double value) const;

private:
    double m_q;
    bool m_millimetres;
};

// The words of the status bar, the measuring tool and exact input, in German. translated()
// gives them in the current language; the window asks for that once per language, so the
// pointer's moves never look anything up.
struct ReadoutWords
{
    QString inch = QStringLiteral("Zoll");
    QString length = QStringLiteral("Länge");
    QString angle = QStringLiteral("Winkel");
    QString radius = QStringLiteral("Radius");
    QString width = QStringLiteral("Breite");
    QString height = QStringLiteral("Höhe");
    QString distance = QStringLiteral("Abstand");
    QString startPoint = QStringLiteral("Anfangspunkt klicken");
    QString endPoint = QStringLiteral("Endpunkt klicken");
    QString typeLength = QStringLiteral("Zahl eintippen: Länge");
    QString control = QStringLiteral("Kontrollpunkt klicken");
    QString firstControl = QStringLiteral("ersten Kontrollpunkt klicken");
    QString secondControl = QStringLiteral("zweiten Kontrollpunkt klicken");
    QString handle = QStringLiteral("Anfasser klicken");
    QString firstCorner = QStringLiteral("erste Ecke klicken");
    QString oppositeCorner = QStringLiteral("gegenüberliegende Ecke klicken");
    QString endChain = QStringLiteral("rechte Maustaste: Kette beenden");
    QString pan = QStringLiteral("ziehen: Ansicht verschieben");
    QString nodes = QStringLiteral("Punkt ziehen; Doppelklick: Punkt bearbeiten");
    QString areaDelete = QStringLiteral("Bereich aufziehen: Objekte löschen");
    QString areaMove = QStringLiteral("Bereich aufziehen: Objekte verschieben");
    QString putDown = QStringLiteral("klicken: Objekte ablegen");
    QString firstPoint = QStringLiteral("ersten Punkt klicken");
    QString secondPoint = QStringLiteral("zweiten Punkt klicken");
    QString newMeasurement = QStringLiteral("klicken: neu messen");
    QString pointCaption = QStringLiteral("Punkt bearbeiten");
    QString lengthField = QStringLiteral("Länge:");

    // Every word passed through `translate`.
    ReadoutWords translated(const std::function<QString(const QString &)> &translate) const;
};

// What the status bar shows: the pointer's position in the unit and in picture pixels, the
// size of the segment being drawn or of the measured distance, and what the next click of the
// current tool does.
struct StatusReadout
{
    QString position;
    QString segment;
    QString hint;
    bool operator==(const StatusReadout &) const = default;
};

// The readout after the tools have handled the pointer event `pointer`.
StatusReadout statusReadout(const ToolController &tools, const ToolEvent &pointer,
    const ReadoutUnit &unit, const ReadoutWords &words);

// "254.00 mm": a length in picture pixels in the unit, with the unit's name.
QString lengthText(double pixels, const ReadoutUnit &unit, const ReadoutWords &words);

// The direction from `from` to `to` in degrees, counter-clockwise from the x axis with y
// pointing up as in the exports, from 0 to below 360, with one decimal and the degree sign.
QString angleText(TPointD from, TPointD to);
