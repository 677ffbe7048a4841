#include "view/ui/TPaintBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

TPaintBox::TPaintBox(QWidget *parent)
    : QWidget(parent)
{
    // The owner paints the whole box on every paint, so Qt need not clear it first; the
    // crosshair and the rubber bands follow the pointer even when no button is held.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void TPaintBox::paintEvent(QPaintEvent *)
{
    if (!m_paint)
        return;
    QPainter painter(this);
    m_paint(painter);
}

void TPaintBox::mousePressEvent(QMouseEvent *event)
{
    if (m_mouseDown)
        m_mouseDown(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent *event)
{
    if (m_mouseMove)
        m_mouseMove(event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_mouseUp)
        m_mouseUp(event);
}

void TPaintBox::wheelEvent(QWheelEvent *event)
{
    event->ignore();
    if (m_wheel)
        m_wheel(event);
}
