#pragma once

#include "document/Chain.h"

#include <QPoint>

class QImage;
class QPainter;
class QPen;
struct ToolEvent;

// Everything the tool logic needs from the window that holds the document and the view. The
// main window implements it by forwarding to its element list, the view transform, the painter
// and the pan; the tools never reach into the window otherwise.
class ToolHost
{
public:
    virtual ~ToolHost() = default;

    // The document's element list. Tools append, change and delete records in it.
    virtual TElementList &elements() = 0;

    // The zoom in percent, read afresh on every call.
    virtual double zoom() const = 0;

    // A picture point's position in drawing-area pixels (rounded to even, minus the scroll).
    virtual QPoint imageToScreen(TPointD picture) const = 0;

    // The pen the drawing is painted with: pen colour, width from the line width at the
    // current zoom, at least one pixel.
    virtual QPen drawingPen() const = 0;

    // Renders the whole drawing and shows it (the painter's full repaint).
    virtual void repaint() = 0;

    // Renders the whole drawing into the back buffer without showing it and returns the buffer,
    // so that a rubber band or the area rectangle can be drawn over it.
    virtual QImage &repaintBufferOnly() = 0;

    // Copies the back buffer to the drawing area. The copy paints over the helper lines, so the
    // host also forgets that they are shown.
    virtual void showBuffer() = 0;

    // Draws a node marker centred on a drawing-area point, as the painter does.
    virtual void endpunkt(QPainter &painter, QPoint screen) = 0;

    // The pan tool belongs to the view. A press with the pan tool down calls startPan; while
    // panActive() is true, moves go to panStep and the next release to endPan.
    virtual bool panActive() const = 0;
    virtual void startPan(const ToolEvent &event) = 0;
    virtual void panStep(const ToolEvent &event) = 0;
    virtual void endPan() = 0;

    // Called at the end of every pointer move, whichever branch took it.
    virtual void updateHelperLines(const ToolEvent &event) = 0;
};
