#pragma once

#include "document/Chain.h"
#include "raster/DibRec.h"
#include "raster/scaled/ScaledDraw.h"
#include "view/ViewTransform.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>

class ElementIndex;
struct TPictureLayer;

// Everything the drawing area shows, as the main window holds it at the moment of a paint.
struct TPaintScene
{
    const TDibRec *picture = nullptr; // may be null or hold no pixels
    const TElementList *elements = nullptr; // read only; its cursor is left alone
    // Finds the elements near the visible part of the drawing, so that a large drawing costs
    // only what is in view. Without one, every element is looked at; the pixels are the same.
    ElementIndex *elementIndex = nullptr;
    QColor penColor = QColor(255, 0, 0); // the fill colour of Shape1
    double lineWidth = 3; // WidthEd, picture pixels at 100 %
    TViewTransform view;
    bool ShowPicCheck = true; // "Zeige Bild"
    bool Zeiger1Down = false; // the node tool: Bezier handles are drawn
    bool HandBtnDown = false; // the pan tool: no node markers
    bool BufferOnly = false; // stop before the buffer would be shown
    TScaledDevice device; // the display, for the picture's path choice
    // Device pixels per logical pixel of the drawing area's screen. The back buffer is made
    // at this ratio and carries it, so the drawing stays sharp on a high-density screen while
    // every position stays in logical pixels.
    double devicePixelRatio = 1;
    // "Bild aufhellen", 0 to 90: the picture is painted over with white at this opacity, on
    // screen only, so the traced lines stand out. 0 leaves the picture as it is.
    int fadePercent = 0;
    // Where the white ground with the picture is kept from one paint to the next, and the
    // picture's Dib::serial() that tells whether it is still the same picture. Without either
    // (a serial of 0), every paint scales the picture afresh.
    TPictureLayer *pictureLayer = nullptr;
    std::uint64_t pictureSerial = 0;
    // How many threads may paint a large drawing, each into its own band of rows: 0 for as many
    // as the machine has cores (at most four), 1 for the calling thread alone. The pixels are
    // the same either way.
    int paintThreads = 0;
    // One-pixel strokes of an opaque colour are written from the pixels the painter gave the
    // same shape before, where no edge of the area cuts them; without, the painter draws each
    // one. The pixels are the same either way.
    bool strokeStamps = true;
};

// The white ground with the picture on it, as the last paint left it, and what that paint was
// made of. While the picture, its place and size on the screen, the fading and the display stay
// the same, a paint copies this instead of scaling the picture again: the many repaints while a
// line follows the mouse then cost one copy, whatever the zoom.
struct TPictureLayer
{
    struct Key
    {
        std::uint64_t serial = 0;
        QSize size;
        double ratio = 0;
        double zoom = 0;
        int scrollX = 0;
        int scrollY = 0;
        int fadePercent = 0;
        bool isPrinter = false;
        bool canDibToDevice = false;
        bool acceptsStretch = false;
        int screenColorDepth = 0;
        bool operator==(const Key &) const = default;
    };
    QImage image;
    TScaledDrawResult picture;
    Key key;
    bool valid = false;
    int reuses = 0; // paints that copied the layer, for tests
};

struct TPaintResult
{
    // False when BufferOnly stopped the paint. Otherwise the caller copies the back buffer to
    // the drawing area, repaints the horizontal and then the vertical ruler, and clears
    // HelperLinesShown, in that order.
    bool copyDue = false;
    TScaledDrawResult picture; // how the background picture went into the buffer
};

// Renders the whole drawing area into the back buffer, resized first to the area's size (in
// logical pixels; the buffer holds devicePixelRatio times as many and carries that ratio): a
// white ground, the picture while "Zeige Bild" is checked, lightened by fadePercent, then every
// element in list order with its node markers (and its handles while the node tool is down)
// and closing line.
// Drawing is aliased, like the platform's own line drawing, so pixels are exact.
TPaintResult PaintBox1Paint(QImage &backBuffer, QSize areaSize, const TPaintScene &scene);

// The size in device pixels of the back buffer for a drawing area of areaSize logical pixels
// on a screen of the given pixel ratio, so that a caller can tell whether it is still current.
QSize backBufferSize(QSize areaSize, double devicePixelRatio);

// A node marker centred on drawing-area point (x, y): a white 11 x 11 ring inside a black
// 13 x 13 ring. Nothing while the pan tool is down. The colour is accepted for the callers'
// sake; every marker is the same white-and-black square so it shows on any background. The
// painter's pen is left as it was.
void endpunkt(QPainter &canvas, int x, int y, const QColor &colour, bool HandBtnDown);

// The colours the painter asks for: blue at Start and End points, green at control points.
inline const QColor NodeMarkerColour(0, 0, 255);
inline const QColor ControlMarkerColour(0, 128, 0);
