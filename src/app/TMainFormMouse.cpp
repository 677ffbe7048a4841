// The drawing area's interaction: mouse and keys go to the tools and the view navigation, the
// zoom field, the scroll bars and the wheel move the view, and the helper lines follow the
// pointer. The main window is the tools' host.

#include "app/TMainForm.h"
#include "app/X11Keyboard.h"
#include "view/CanvasPainter.h"
#include "view/ui/FormStorage.h"
#include "view/ui/TPaintBox.h"

#include <QActionGroup>
#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>

void TMainForm::connectInteraction()
{
    Hilfslinienanzeigen1 = findChild<QAction *>(QStringLiteral("Hilfslinienanzeigen1"));
    Linealeanzeigen1 = findChild<QAction *>(QStringLiteral("Linealeanzeigen1"));
    connect(CloseBtn, &QAction::triggered, this, &TMainForm::CloseBtnClick);
    connect(BreakBtn, &QAction::triggered, this, &TMainForm::BreakBtnClick);
    connect(Linealeanzeigen1, &QAction::triggered, this, &TMainForm::Linealeanzeigen1Click);
    connect(Hilfslinienanzeigen1, &QAction::triggered, this, &TMainForm::Hilfslinienanzeigen1Click);

    // The two "Ansicht" choices and whether the ruler strips are shown survive a restart.
    FormStorage1 = new FormStorage(this, QStringLiteral("TMainForm"),
        { QStringLiteral("Hilfslinienanzeigen1.Checked"),
            QStringLiteral("Linealeanzeigen1.Checked"), QStringLiteral("Panel2.Visible"),
            QStringLiteral("Panel4.Visible"), QStringLiteral("Statusleisteanzeigen1.Checked") },
        FormStorage::Placement::StateAndPosition);
    FormStorage1->setObjectName(QStringLiteral("FormStorage1"));

    // Qt's modifiers do not tell the left Ctrl key from the right one, and key events go to
    // whichever child has the focus, so every key event of the application is looked at. The
    // scroll bars' wheel events are caught there too.
    qApp->installEventFilter(this);
    // Where the X server can say which keys are down, a mouse press asks it as well.
    m_leftCtrl.setKeyboardQuery(x11LeftCtrlQuery());
}

namespace {

// The drawing area knows the left, middle and right buttons. The back and forward buttons, and
// whatever further buttons a mouse has, are ignored there, so that a thumb button never places
// a point, starts a pan or an area drag, or ends one.
bool drawingButton(const QMouseEvent *event)
{
    return (event->button() & (Qt::LeftButton | Qt::MiddleButton | Qt::RightButton)) != 0;
}

} // namespace

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (readoutKey(watched, event))
        return true;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget || widget->window() != this)
            break;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (event->type() == QEvent::KeyPress)
            m_leftCtrl.keyPressed(key->nativeVirtualKey());
        else
            m_leftCtrl.keyReleased(key->nativeVirtualKey());
        break;
    }
    case QEvent::WindowDeactivate:
        // A release that happens in another window never arrives here.
        if (watched == this)
            m_leftCtrl.reset();
        break;
    case QEvent::Wheel:
        // A scroll bar would move itself by the wheel, the horizontal one sideways; over the
        // bars the wheel scrolls as everywhere else in the window, and the bar stays still.
        // Accepted, the event goes no further, so the window does not take a second step.
        if (watched == ScrollBar1 || watched == ScrollBar2) {
            wheelEvent(static_cast<QWheelEvent *>(event));
            event->accept();
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

ToolButton TMainForm::toolDown() const
{
    const QAction *down = ToolGroup->checkedAction();
    const std::pair<const QAction *, ToolButton> buttons[] = {
        { HandBtn, ToolButton::HandBtn },
        { Linie1, ToolButton::Linie1 },
        { bezierbtn3, ToolButton::bezierbtn3 },
        { Bezier1, ToolButton::Bezier1 },
        { Bezier2, ToolButton::Bezier2 },
        { CircleBtn, ToolButton::CircleBtn },
        { Zeiger1, ToolButton::Zeiger1 },
        { DelBtn, ToolButton::DelBtn },
        { VerschiebBtn, ToolButton::VerschiebBtn },
        { TraceBtn, ToolButton::TraceBtn },
        { MessBtn, ToolButton::MessBtn },
    };
    for (const auto &[button, tool] : buttons) {
        if (button == down)
            return tool;
    }
    return ToolButton::None;
}

ToolEvent TMainForm::toolEvent(const QMouseEvent *event) const
{
    return toolEventAt(event->position().toPoint(), toMouseButton(event->button()));
}

ToolEvent TMainForm::toolEventAt(QPoint screen, MouseButton button) const
{
    // The keys are read as they are now, when the event is handled.
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    const bool ctrl = keys.testFlag(Qt::ControlModifier);
    ToolEvent converted =
        makeToolEvent(m_nav.transform(), screen, button, ctrl, m_leftCtrl.held(ctrl), toolDown());
    converted.shiftHeld = keys.testFlag(Qt::ShiftModifier);
    return converted;
}

// The press, move and release branches, the pan included, are chosen by the tool logic in
// the fixed order of the drawing, node and area tools; the pan reaches the view through the
// host, so it is handled in one place only.
void TMainForm::PaintBox1MouseDown(QMouseEvent *event)
{
    if (!drawingButton(event))
        return;
    // A left Ctrl key pressed while another window was active sent its press there.
    m_leftCtrl.pointerPressed();
    if (scalePicking()) {
        scaleMouseDown(toolEvent(event));
        return;
    }
    if (picturePicking()) {
        pictureMouseDown(toolEvent(event));
        return;
    }
    const ToolEvent pressed = toolEvent(event);
    m_tools.PaintBox1MouseDown(pressed);
    toolEventDone();
    showReadout(pressed);
    // A double click with the node tool on a point asks for its exact position. The drag its
    // second press began ends here: the release goes to the dialog.
    if (event->type() == QEvent::MouseButtonDblClick && pressed.tool == ToolButton::Zeiger1
        && pressed.button == MouseButton::Left && m_tools.editing().NodeDragging) {
        m_tools.editing().NodeDragging = false;
        QMetaObject::invokeMethod(
            this, [this] { Punktbearbeiten1Click(); }, Qt::QueuedConnection);
    }
}

void TMainForm::PaintBox1MouseMove(QMouseEvent *event)
{
    if (picturePicking())
        pictureMouseMove(toolEvent(event));
    const ToolEvent moved = toolEvent(event);
    m_tools.PaintBox1MouseMove(moved);
    showReadout(moved);
}

void TMainForm::PaintBox1MouseUp(QMouseEvent *event)
{
    if (!drawingButton(event))
        return;
    if (picturePicking()) {
        pictureMouseUp(toolEvent(event));
        return;
    }
    const ToolEvent released = toolEvent(event);
    m_tools.PaintBox1MouseUp(released);
    toolEventDone();
    showReadout(released);
}

void TMainForm::CloseBtnClick()
{
    m_tools.CloseBtnClick();
    changeCompleted();
}

void TMainForm::BreakBtnClick()
{
    m_tools.BreakBtnClick();
}

void TMainForm::documentReplaced()
{
    m_drawingTiles.invalidateAll();
    m_tools.documentReplaced();
}

void TMainForm::Linealeanzeigen1Click()
{
    // The action has already toggled its check mark.
    const bool shown = Linealeanzeigen1->isChecked();
    Panel4->setVisible(shown);
    Panel2->setVisible(shown);
}

void TMainForm::Hilfslinienanzeigen1Click()
{
    // The check mark alone decides; the next pointer move removes or draws the crosshair.
}

void TMainForm::zoomedChange()
{
    if (m_nav.setZoom(zoomed->value()))
        Repaint();
}

void TMainForm::ScrollBar1Change()
{
    if (m_nav.setScrollX(ScrollBar1->value()))
        Repaint();
}

void TMainForm::ScrollBar2Change()
{
    if (m_nav.setScrollY(ScrollBar2->value()))
        Repaint();
}

void TMainForm::wheelEvent(QWheelEvent *event)
{
    // Qt hands on a turn of the wheel with Alt held as a sideways one (on X11 and Windows), so
    // with Alt and nothing vertical the sideways amount is the turn.
    const QPoint angle = event->angleDelta();
    const bool altSwapped = event->modifiers().testFlag(Qt::AltModifier) && angle.y() == 0;
    // The bar's own change then finds nothing new and does not draw a second time.
    if (m_nav.wheel(altSwapped ? angle.x() : angle.y())) {
        ScrollBar2->setValue(m_nav.scrollY());
        Repaint();
    }
    event->ignore();
}

void TMainForm::syncScrollBars()
{
    ScrollBar1->setValue(m_nav.scrollX());
    ScrollBar2->setValue(m_nav.scrollY());
}

void TMainForm::Repaint()
{
    ++m_repaintCount;
    m_renderDue = true;
    PaintBox1->repaint();
}

void TMainForm::renderBackBuffer(bool bufferOnly)
{
    TPaintScene scene;
    const Dib &shown = shownPicture();
    scene.picture = &shown.rec();
    scene.pictureSerial = shown.serial();
    scene.pictureLayer = &m_pictureLayer;
    scene.elements = m_elements.get();
    scene.elementIndex = &m_elementIndex;
    scene.penColor = penColor();
    scene.lineWidth = lineWidth();
    scene.view = m_nav.transform();
    scene.ShowPicCheck = showPicture();
    scene.Zeiger1Down = Zeiger1->isChecked();
    scene.HandBtnDown = HandBtn->isChecked();
    scene.BufferOnly = bufferOnly;
    scene.fadePercent = fadePercent();
    scene.devicePixelRatio = PaintBox1->devicePixelRatioF();
    if (const QScreen *s = screen())
        scene.device.screenColorDepth = s->depth();
    m_drawingTiles.paint(m_backBuffer, PaintBox1->size(), scene);
    paintTracePreview(m_backBuffer);
}

// The back buffer always holds what the drawing area shows without the crosshair, so every
// paint copies it and then puts the crosshair back where the screen had it. Qt paints only
// inside a paint event, so the inverting update of the helper lines happens here too.
void TMainForm::PaintBox1Paint(QPainter &painter)
{
    const QSize bufferSize = backBufferSize(PaintBox1->size(), PaintBox1->devicePixelRatioF());
    const bool render = m_renderDue || m_backBuffer.size() != bufferSize;
    if (render)
        renderBackBuffer(false);
    painter.drawImage(0, 0, m_backBuffer);
    paintMeasurement(painter);
    if (render || m_showBufferDue) {
        m_helperLines.bufferCopied();
        if (render) {
            // The rulers follow the view; they cannot be painted from inside this paint, so
            // they are scheduled for the same frame, the horizontal one first.
            PaintBox3->update();
            PaintBox2->update();
        }
    } else if (m_helperLines.HelperLinesShown()) {
        THelperLines::drawCrosshair(
            painter, m_helperLines.HelperLineX(), m_helperLines.HelperLineY(), size());
    }
    m_renderDue = false;
    m_showBufferDue = false;
    if (m_helperDue) {
        m_helperDue = false;
        // Picking the two points of a scale always shows the crosshair.
        m_helperLines.update(painter, m_helperPos.x(), m_helperPos.y(),
            Hilfslinienanzeigen1->isChecked() || scalePicking() || picturePicking(), size());
    }
}

TElementList &TMainForm::ToolHostBridge::elements()
{
    return *m_form.m_elements;
}

ElementIndex *TMainForm::ToolHostBridge::elementIndex()
{
    return &m_form.m_elementIndex;
}

TViewTransform TMainForm::ToolHostBridge::view() const
{
    return m_form.m_nav.transform();
}

QColor TMainForm::ToolHostBridge::penColor() const
{
    return m_form.penColor();
}

double TMainForm::ToolHostBridge::lineWidth() const
{
    return m_form.lineWidth();
}

void TMainForm::ToolHostBridge::repaint()
{
    m_form.Repaint();
}

void TMainForm::ToolHostBridge::elementsTouched(std::int32_t first, std::int32_t end)
{
    m_form.m_drawingTiles.invalidateElements(*m_form.m_elements, first, end);
}

void TMainForm::ToolHostBridge::allElementsTouched()
{
    m_form.m_drawingTiles.invalidateAll();
}

QImage &TMainForm::ToolHostBridge::repaintBufferOnly()
{
    m_form.renderBackBuffer(true);
    return m_form.m_backBuffer;
}

void TMainForm::ToolHostBridge::showBuffer()
{
    m_form.m_showBufferDue = true;
    m_form.PaintBox1->repaint();
}

bool TMainForm::ToolHostBridge::panActive() const
{
    return m_form.m_nav.PanActive();
}

void TMainForm::ToolHostBridge::startPan(const ToolEvent &event)
{
    // The tools only call this for a press that is not the right button with the pan tool down.
    m_form.m_nav.panPress(event.screen, false, true);
}

void TMainForm::ToolHostBridge::panStep(const ToolEvent &event)
{
    if (!m_form.m_nav.panMove(event.screen))
        return;
    // Both bars take the new positions first; their change handlers see no change and leave
    // the one redraw to this step.
    m_form.syncScrollBars();
    m_form.Repaint();
}

void TMainForm::ToolHostBridge::endPan()
{
    m_form.m_nav.panRelease();
}

void TMainForm::ToolHostBridge::updateHelperLines(const ToolEvent &event)
{
    m_form.m_helperDue = true;
    m_form.m_helperPos = event.screen;
    m_form.PaintBox1->repaint();
}

void TMainForm::ToolHostBridge::traceRequested(const TraceTarget &target)
{
    m_form.startTrace(target);
}
