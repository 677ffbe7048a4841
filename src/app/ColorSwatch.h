#pragma once

#include <QColor>
#include <QWidget>

// A plain rectangle filled with one colour and framed in black, like a classic shape
// component. Its fill colour is the document's pen colour; a press on it asks for a new one.
class ColorSwatch : public QWidget
{
    Q_OBJECT

public:
    explicit ColorSwatch(QWidget *parent = nullptr);

    QColor brushColor() const { return m_brush; }
    void setBrushColor(const QColor &color);

    QSize sizeHint() const override { return { 25, 25 }; }

signals:
    void pressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QColor m_brush = Qt::white;
};
