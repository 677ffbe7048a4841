#include "view/ViewNavigation.h"

#include <algorithm>
#include <cmath>

bool TViewNavigation::setZoom(double zoom)
{
    if (std::isnan(zoom))
        return false;
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    if (zoom == m_view.zoom)
        return false;
    m_view.zoom = zoom;
    return true;
}

bool TViewNavigation::zoomAbout(double zoom, QPoint anchor)
{
    if (std::isnan(zoom))
        return false;
    // The picture point under the anchor, then the scroll that puts it back on the anchor at the
    // new zoom; the transform rounds exactly this way, so the point lands on the same pixel.
    const TPointD p = m_view.ScreenToImage(anchor.x(), anchor.y());
    TViewTransform next { std::clamp(zoom, MinZoom, MaxZoom), 0, 0 };
    const auto scrollFor = [](int onScreen, int pixel) {
        return static_cast<int>(
            std::clamp<long long>(static_cast<long long>(onScreen) - pixel, MinScroll, MaxScroll));
    };
    next.scrollX = scrollFor(next.imageToScreenX(p.x), anchor.x());
    next.scrollY = scrollFor(next.imageToScreenY(p.y), anchor.y());
    const bool changed = next.zoom != m_view.zoom || next.scrollX != m_view.scrollX
        || next.scrollY != m_view.scrollY;
    m_view = next;
    return changed;
}

bool TViewNavigation::fitPicture(QSize area, QSize picture)
{
    if (area.isEmpty() || picture.isEmpty())
        return false;
    const double fit = std::floor(
        std::min(100.0 * area.width() / picture.width(), 100.0 * area.height() / picture.height()));
    TViewTransform next = m_view;
    next.zoom = std::clamp(fit, MinZoom, MaxZoom);
    const QRect shown = next.pictureRect(picture.width(), picture.height());
    // The origin of the picture goes where half the spare room is left of and above it.
    next.scrollX = std::clamp((shown.width() - area.width()) / 2, MinScroll, MaxScroll);
    next.scrollY = std::clamp((shown.height() - area.height()) / 2, MinScroll, MaxScroll);
    const bool changed = next.zoom != m_view.zoom || next.scrollX != m_view.scrollX
        || next.scrollY != m_view.scrollY;
    m_view = next;
    return changed;
}

bool TViewNavigation::setScroll(int &value, int position)
{
    position = std::clamp(position, MinScroll, MaxScroll);
    if (position == value)
        return false;
    value = position;
    return !m_panStepActive;
}

bool TViewNavigation::setScrollX(int position)
{
    return setScroll(m_view.scrollX, position);
}

bool TViewNavigation::setScrollY(int position)
{
    return setScroll(m_view.scrollY, position);
}

bool TViewNavigation::wheel(int angleDeltaY)
{
    if (angleDeltaY == 0)
        return false;
    return setScrollY(m_view.scrollY + (angleDeltaY < 0 ? WheelStep : -WheelStep));
}

bool TViewNavigation::panPress(QPoint position, bool rightButton, bool panToolDown)
{
    if (!panToolDown || rightButton)
        return false;
    m_panActive = true;
    m_panAnchorX = position.x();
    m_panAnchorY = position.y();
    m_panAnchorScrollX = m_view.scrollX;
    m_panAnchorScrollY = m_view.scrollY;
    return true;
}

bool TViewNavigation::panMove(QPoint position)
{
    if (!m_panActive)
        return false;
    // Both positions change before the one redraw, so a diagonal drag never shows a
    // half-moved picture; the anchors make the content follow the mouse exactly.
    m_panStepActive = true;
    setScrollX(static_cast<int>(std::clamp<long long>(
        static_cast<long long>(m_panAnchorScrollX) + m_panAnchorX - position.x(), MinScroll,
        MaxScroll)));
    setScrollY(static_cast<int>(std::clamp<long long>(
        static_cast<long long>(m_panAnchorScrollY) + m_panAnchorY - position.y(), MinScroll,
        MaxScroll)));
    m_panStepActive = false;
    return true;
}

bool TViewNavigation::panRelease()
{
    if (!m_panActive)
        return false;
    m_panActive = false;
    return true;
}
