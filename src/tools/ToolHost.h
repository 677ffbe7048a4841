#pragma once

#include "document/Chain.h"
#include "view/ViewTransform.h"

#include <QColor>

class ElementIndex;
class QImage;
struct ToolEvent;
struct TraceTarget;

// Everything the tool logic needs from the window that holds the document and the view. The
// main window implements it by forwarding to its element list, the view transform, the painter
// and the pan; the tools never reach into the window otherwise.
class ToolHost
{
public:
    virtual ~ToolHost() = default;

    // The document's element list. Tools append, change and delete records in it.
    virtual TElementList &elements() = 0;

    // The index over the element list that the painter also uses, so that snapping, node
    // selection and the area tools look only at the elements near the pointer. Null to walk the
    // whole list.
    virtual ElementIndex *elementIndex() { return nullptr; }

    // The view transform as the zoom field and the scroll bars stand now.
    virtual TViewTransform view() const = 0;

    // The document's pen colour and line width (picture pixels), which the drawing pen and so
    // the rubber band are made of.
    virtual QColor penColor() const = 0;
    virtual double lineWidth() const = 0;

    // The records from `first` up to `end` are about to change, or have just changed: the host
    // forgets what it keeps of their painting. Tools call it before and after a change, so that
    // both the old and the new place are painted afresh.
    virtual void elementsTouched(std::int32_t first, std::int32_t end)
    {
        (void)first;
        (void)end;
    }
    // The same for a change that may reach any record.
    virtual void allElementsTouched() { }

    // Renders the whole drawing and shows it (the painter's full repaint).
    virtual void repaint() = 0;

    // Renders the whole drawing into the back buffer without showing it and returns the buffer,
    // so that a rubber band or the area rectangle can be drawn over it.
    virtual QImage &repaintBufferOnly() = 0;

    // Copies the back buffer to the drawing area. The copy paints over the helper lines, so the
    // host also forgets that they are shown.
    virtual void showBuffer() = 0;

    // The pan tool belongs to the view. A press with the pan tool down calls startPan; while
    // panActive() is true, moves go to panStep and the next release to endPan.
    virtual bool panActive() const = 0;
    virtual void startPan(const ToolEvent &event) = 0;
    virtual void panStep(const ToolEvent &event) = 0;
    virtual void endPan() = 0;

    // Called at the end of every pointer move, whichever branch took it.
    virtual void updateHelperLines(const ToolEvent &event) = 0;

    // The trace tool was released over what the user wants traced.
    virtual void traceRequested(const TraceTarget &) { }
};
