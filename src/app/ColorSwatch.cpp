#include "app/ColorSwatch.h"

#include <QMouseEvent>
#include <QPainter>

ColorSwatch::ColorSwatch(QWidget *parent)
    : QWidget(parent)
{
}

void ColorSwatch::setBrushColor(const QColor &color)
{
    if (m_brush == color)
        return;
    m_brush = color;
    update();
}

void ColorSwatch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(m_brush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ColorSwatch::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    emit pressed();
}
