#pragma once

#include <QWidget>

#include <functional>

class QMouseEvent;
class QPainter;
class QWheelEvent;

// A bare drawing surface in the manner of a classic paint box: it paints nothing itself and
// hands its paint, mouse and wheel events to handlers that its owner installs. The drawing area
// and both rulers are paint boxes, so the main window keeps all painting and tool logic.
class TPaintBox : public QWidget
{
    Q_OBJECT

public:
    // Called from paintEvent with a painter already open on the box. The handler must cover
    // every pixel it wants shown: the box does not erase its background.
    using PaintHandler = std::function<void(QPainter &painter)>;
    // Called for presses, moves (also without a button held) and releases.
    using MouseHandler = std::function<void(QMouseEvent *event)>;
    // Called for wheel turns; the event stays unaccepted, so it also reaches the parent
    // windows unless the handler accepts it.
    using WheelHandler = std::function<void(QWheelEvent *event)>;

    explicit TPaintBox(QWidget *parent = nullptr);

    void setPaintHandler(PaintHandler handler) { m_paint = std::move(handler); }
    void setMouseDownHandler(MouseHandler handler) { m_mouseDown = std::move(handler); }
    void setMouseMoveHandler(MouseHandler handler) { m_mouseMove = std::move(handler); }
    void setMouseUpHandler(MouseHandler handler) { m_mouseUp = std::move(handler); }
    void setWheelHandler(WheelHandler handler) { m_wheel = std::move(handler); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    PaintHandler m_paint;
    MouseHandler m_mouseDown;
    MouseHandler m_mouseMove;
    MouseHandler m_mouseUp;
    WheelHandler m_wheel;
};
