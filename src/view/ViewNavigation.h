#pragma once

#include "view/ViewTransform.h"

#include <QPoint>
#include <QSize>

// The state behind the zoom field, the two scroll bars, the mouse wheel and the pan tool. The
// main window forwards its events here and repaints when a call says a redraw is due; it
// copies zoom() and the scroll positions into its controls, whose own change signals then
// come back here as no-change calls that ask for nothing.
class TViewNavigation
{
public:
    static constexpr double MinZoom = 10;
    static constexpr double MaxZoom = 30000;
    static constexpr int MinScroll = -10000;
    static constexpr int MaxScroll = 10000;
    static constexpr int ScrollSmallChange = 10;
    static constexpr int ScrollLargeChange = 50;
    static constexpr int WheelStep = 20;

    double zoom() const { return m_view.zoom; }
    int scrollX() const { return m_view.scrollX; }
    int scrollY() const { return m_view.scrollY; }
    const TViewTransform &transform() const { return m_view; }

    // A new value of the zoom field, clamped to 10 ... 30000. The scroll positions stay, so
    // the picture is scaled about its own origin. True when the zoom changed: redraw.
    bool setZoom(double zoom);

    // A new zoom that keeps the picture point under drawing-area pixel `anchor` on that pixel, as
    // far as the scroll range allows. True when the zoom or a scroll position changed: redraw.
    bool zoomAbout(double zoom, QPoint anchor);

    // The largest whole-number zoom at which a picture of `picture` pixels fits into a drawing
    // area of `area` pixels, with the picture centred in the area. A picture too large even at
    // the smallest zoom is centred at that zoom. True when anything changed: redraw.
    bool fitPicture(QSize area, QSize picture);

    // A scroll bar given a position: it is clamped to -10000 ... 10000. True when a redraw is
    // due: the position really changed and no pan step is in progress.
    bool setScrollX(int position);
    bool setScrollY(int position);

    // A wheel event over the main window with its vertical angle delta: negative (turned
    // towards the user) moves down by 20, positive moves up by 20, whatever the amount. The
    // horizontal position never changes. True when a redraw is due.
    bool wheel(int angleDeltaY);

    // The pan tool. A press with any button but the right one while the pan tool is down
    // starts a pan; true means the press belongs to the pan and no drawing tool sees it.
    bool panPress(QPoint position, bool rightButton, bool panToolDown);
    // True while panning: the move set both scroll positions so the content follows the
    // mouse, and one redraw is due (also when the positions did not change, so that the
    // window only ever repaints once per move). The caller then still updates the helper lines.
    bool panMove(QPoint position);
    // True when a pan ended; nothing is redrawn.
    bool panRelease();

    bool PanActive() const { return m_panActive; }
    bool PanStepActive() const { return m_panStepActive; }
    QPoint panAnchor() const { return { m_panAnchorX, m_panAnchorY }; }
    QPoint panAnchorScroll() const { return { m_panAnchorScrollX, m_panAnchorScrollY }; }

private:
    bool setScroll(int &value, int position);

    TViewTransform m_view;
    bool m_panActive = false;
    bool m_panStepActive = false;
    int m_panAnchorX = 0;
    int m_panAnchorY = 0;
    int m_panAnchorScrollX = 0;
    int m_panAnchorScrollY = 0;
};
