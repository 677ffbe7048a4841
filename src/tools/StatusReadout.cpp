#include "tools/StatusReadout.h"

#include "tools/ToolController.h"

#include <cmath>
#include <numbers>

namespace {

// The one list of the words, so that a new word cannot be left out of the translation.
constexpr QString ReadoutWords::*AllWords[] = { &ReadoutWords::inch, &ReadoutWords::length,
    &ReadoutWords::angle, &ReadoutWords::radius, &ReadoutWords::width, &ReadoutWords::height,
    &ReadoutWords::distance, &ReadoutWords::startPoint, &ReadoutWords::endPoint,
    &ReadoutWords::typeLength, &ReadoutWords::control, &ReadoutWords::firstControl,
    &ReadoutWords::secondControl, &ReadoutWords::handle, &ReadoutWords::firstCorner,
    &ReadoutWords::oppositeCorner, &ReadoutWords::endChain, &ReadoutWords::pan,
    &ReadoutWords::nodes, &ReadoutWords::areaDelete, &ReadoutWords::areaMove,
    &ReadoutWords::putDown, &ReadoutWords::firstPoint, &ReadoutWords::secondPoint,
    &ReadoutWords::newMeasurement, &ReadoutWords::pointCaption, &ReadoutWords::lengthField };

QString unitName(const ReadoutUnit &unit, const ReadoutWords &words)
{
    return unit.millimetres() ? QStringLiteral("mm") : words.inch;
}

QString pixelIndex(double v)
{
    // The pixel the pointer is over; far outside a picture the number only has to stay sane.
    if (!std::isfinite(v))
        return QStringLiteral("-");
    return QString::number(static_cast<long long>(std::floor(std::clamp(v, -1e15, 1e15))));
}

QString pair(const QString &name, const QString &value)
{
    return name + QStringLiteral(": ") + value;
}

QString joined(const QString &a, const QString &b)
{
    return a + QStringLiteral("; ") + b;
}

QString drawingHint(const DrawingTool &drawing, ToolButton tool, const ReadoutWords &w)
{
    QString step;
    switch (drawing.phase()) {
    case DrawingTool::Phase::WaitingForEnd:
        if (tool == ToolButton::CircleBtn)
            step = w.oppositeCorner;
        else if (tool == ToolButton::Linie1)
            step = joined(w.endPoint, w.typeLength);
        else
            step = w.endPoint;
        break;
    case DrawingTool::Phase::WaitingForControl:
        step = tool == ToolButton::Bezier2   ? w.firstControl
            : tool == ToolButton::bezierbtn3 ? w.handle
                                             : w.control;
        break;
    default:
        step = w.secondControl;
        break;
    }
    return joined(step, w.endChain);
}

// Mirrors the order in which a press picks its branch, so the hint names what the next press
// really does.
QString hintFor(const ToolController &tools, ToolButton tool, const ReadoutWords &w)
{
    switch (tool) {
    case ToolButton::HandBtn:
        return w.pan;
    case ToolButton::DelBtn:
        return w.areaDelete;
    case ToolButton::VerschiebBtn:
        return tools.editing().NodeDragging ? w.putDown : w.areaMove;
    case ToolButton::Zeiger1:
        return w.nodes;
    case ToolButton::MessBtn:
        switch (tools.measure().phase()) {
        case MeasureTool::Phase::Idle:
            return w.firstPoint;
        case MeasureTool::Phase::Placing:
            return w.secondPoint;
        case MeasureTool::Phase::Done:
            return w.newMeasurement;
        }
        return {};
    default:
        break;
    }
    if (tools.drawing().Drawing)
        return drawingHint(tools.drawing(), tool, w);
    if (tool == ToolButton::CircleBtn)
        return w.firstCorner;
    if (isCreationTool(tool))
        return w.startPoint;
    return {};
}

QString segmentFor(const ToolController &tools, const ToolEvent &pointer, const ReadoutUnit &unit,
    const ReadoutWords &w)
{
    const auto lengthAndAngle = [&](const QString &name, TPointD a, TPointD b) {
        return pair(name, lengthText(std::hypot(b.x - a.x, b.y - a.y), unit, w))
            + QStringLiteral("   ") + pair(w.angle, angleText(a, b));
    };
    if (pointer.tool == ToolButton::MessBtn) {
        const MeasureTool &m = tools.measure();
        if (m.phase() == MeasureTool::Phase::Idle)
            return {};
        return lengthAndAngle(w.distance, m.first(), m.second());
    }
    const DrawingTool &d = tools.drawing();
    if (!d.Drawing)
        return {};
    if (pointer.tool == ToolButton::CircleBtn && d.SegClicks == 0) {
        const double width = std::fabs(d.CurPt.x - d.SegStart.x);
        const double height = std::fabs(d.CurPt.y - d.SegStart.y);
        if (pointer.leftCtrlHeld)
            return pair(w.radius, lengthText(width / 2, unit, w));
        return pair(w.width, lengthText(width, unit, w)) + QStringLiteral("   ")
            + pair(w.height, lengthText(height, unit, w));
    }
    return lengthAndAngle(w.length, d.stepAnchor(pointer.tool), d.CurPt);
}

} // namespace

QString ReadoutUnit::number(double value) const
{
    QString text = QString::number(value, 'f', decimals());
    // A value that rounds to zero shows no sign, whichever side of zero it came from.
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1);
    return text;
}

ReadoutWords ReadoutWords::translated(
    const std::function<QString(const QString &)> &translate) const
{
    ReadoutWords result;
    for (QString ReadoutWords::*word : AllWords)
        result.*word = translate(this->*word);
    return result;
}

QString lengthText(double pixels, const ReadoutUnit &unit, const ReadoutWords &words)
{
    return unit.number(unit.length(pixels)) + QLatin1Char(' ') + unitName(unit, words);
}

QString angleText(TPointD from, TPointD to)
{
    double degrees = std::atan2(from.y - to.y, to.x - from.x) * 180 / std::numbers::pi;
    if (degrees < 0)
        degrees += 360;
    // Just below 360 rounds to the 0 it stands for.
    if (!(degrees < 359.95))
        degrees = 0;
    return QString::number(degrees, 'f', 1) + QChar(0x00B0);
}

StatusReadout statusReadout(const ToolController &tools, const ToolEvent &pointer,
    const ReadoutUnit &unit, const ReadoutWords &words)
{
    StatusReadout r;
    const TPointD u = unit.fromPicture(pointer.picture);
    r.position = QStringLiteral("X: %1  Y: %2 %3   %4, %5 px")
                     .arg(unit.number(u.x), unit.number(u.y), unitName(unit, words),
                         pixelIndex(pointer.picture.x), pixelIndex(pointer.picture.y));
    r.segment = segmentFor(tools, pointer, unit, words);
    r.hint = hintFor(tools, pointer.tool, words);
    return r;
}
