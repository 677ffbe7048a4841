#include "EditingSession.h"

#include "document/ProjectFile.h"
#include "picture/PictureOps.h"

#include <QBuffer>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace linovex::editing {

namespace {

// The drawing area and the picture are small, so that painting after many events stays cheap;
// the positions of the events reach well beyond both.
constexpr QSize AreaSize(240, 180);
constexpr int PictureWidth = 64;
constexpr int PictureHeight = 48;
constexpr int ScrollLimit = 10000; // the range of both scroll bars
constexpr long long ScreenReach = 20000; // beyond any screen
constexpr int ZoomValues[] = { 10, 20, 50, 80, 100, 130, 200, 400, 1000, 5000, 30000 };

std::int16_t signedPair(std::uint8_t hi, std::uint8_t lo)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(hi << 8 | lo));
}

} // namespace

Session::Session(const RunOptions &options)
    : m_options(options)
    , m_history(options.undoSteps)
{
    m_picture = Dib::create(PictureWidth, PictureHeight, 24);
    if (!m_picture.isNull()) {
        std::memset(m_picture.rec().Bits, 255,
            static_cast<std::size_t>(m_picture.rec().BytesPerLine) * PictureHeight);
    }
    m_history.reset(m_elements, m_penColor, m_lineWidth);
    m_first = projectBytes();
    m_firstId = m_history.stateId();
    m_states[m_firstId] = drawingBytes();
    if (!options.scratchDir.isEmpty()) {
        m_recovery = std::make_unique<RecoveryWriter>();
        m_recovery->setFileName(QDir(options.scratchDir).filePath(QStringLiteral("recovery.lvx")));
        // The history's old pictures stay alive while a write may still read them.
        m_history.setPictureReleaser([this](Dib &&p) { m_recovery->retire(std::move(p)); });
    }
}

Session::~Session()
{
    if (m_recovery)
        m_recovery->wait();
    m_history.setPictureReleaser({});
}

QColor Session::penColor() const
{
    return QColor(static_cast<int>(m_penColor & 0xFF), static_cast<int>((m_penColor >> 8) & 0xFF),
        static_cast<int>((m_penColor >> 16) & 0xFF));
}

QImage &Session::repaintBufferOnly()
{
    // The rubber band and the area rectangle are drawn over the buffer as it is; rendering the
    // drawing under them is the painter's work, which paintIfDue checks often enough.
    if (m_backBuffer.isNull())
        paint();
    return m_backBuffer;
}

void Session::startPan(const ToolEvent &event)
{
    m_nav.panPress(event.screen, false, true);
}

void Session::panStep(const ToolEvent &event)
{
    if (m_nav.panMove(event.screen))
        repaint();
}

QPoint Session::position(const Event &event) const
{
    // The window reports positions on the screen, however far a drag leaves the drawing area;
    // a point aimed at may lie far beyond it.
    const auto onScreen = [](long long x, long long y) {
        return QPoint(static_cast<int>(std::clamp(x, -ScreenReach, ScreenReach)),
            static_cast<int>(std::clamp(y, -ScreenReach, ScreenReach)));
    };
    switch ((event.arg >> 4) & 3) {
    case 0: // a grid over the drawing area and a little beyond
        return { event.x * 3 - 64, event.y * 3 - 64 };
    case 1: { // at or near a defining point of an element, where a user aims to pick it up
        const auto count = static_cast<int>(m_elements.Count());
        if (count == 0)
            return { event.x, event.y };
        const TDrawElement &e = m_elements.at(event.x % count);
        const TPointD points[] = { e.Start, e.End, e.Ctrl1, e.Ctrl2 };
        const QPoint at = m_nav.transform().ImageToScreen(points[event.y & 3]);
        return onScreen(static_cast<long long>(at.x()) + ((event.y >> 2) & 7) - 3,
            static_cast<long long>(at.y()) + ((event.y >> 5) & 7) - 3);
    }
    case 2: // a step from the last position
        return onScreen(static_cast<long long>(m_pointer.x()) + static_cast<std::int8_t>(event.x),
            static_cast<long long>(m_pointer.y()) + static_cast<std::int8_t>(event.y));
    default: // far outside, as a drag that leaves the window reports it
        return { static_cast<std::int8_t>(event.x) * 100, static_cast<std::int8_t>(event.y) * 100 };
    }
}

ToolEvent Session::toolEvent(QPoint screen, MouseButton button) const
{
    const bool ctrl = m_leftKey || m_rightKey;
    return makeToolEvent(m_nav.transform(), screen, button, ctrl, m_leftCtrl.held(ctrl), m_tool);
}

void Session::changeCompleted()
{
    if (m_history.checkpoint(m_elements, m_penColor, m_lineWidth))
        m_states[m_history.stateId()] = drawingBytes();
}

void Session::toolEventDone()
{
    const NodeEditTool &e = m_tools.editing();
    if (!e.NodeDragging && !e.AreaDeleting && !e.AreaMoving)
        changeCompleted();
}

void Session::finishToolWork()
{
    if (m_tools.drawing().Drawing)
        m_tools.BreakBtnClick();
    if (m_tools.editing().NodeDragging)
        m_tools.documentReplaced();
    changeCompleted();
}

void Session::stepHistory(bool back)
{
    UndoDocument doc { m_elements, m_picture, m_penColor, m_lineWidth };
    if (!(back ? m_history.undo(doc) : m_history.redo(doc)))
        return;
    m_tools.documentReplaced();
    const auto state = m_states.find(m_history.stateId());
    if (state == m_states.end())
        m_problem = "the history reached a state it never recorded";
    else if (state->second != drawingBytes())
        m_problem = back ? "an undo did not restore the drawing of the step before"
                         : "a redo did not restore the drawing of the step after";
    // The width field shows the restored width without reporting a change of its own.
    m_widthField = std::clamp(std::round(m_lineWidth * 100) / 100, 0.1, 10.0);
    repaint();
}

void Session::mouse(const Event &event)
{
    const auto op = static_cast<Op>(event.op);
    const int b = event.arg & 3;
    m_pointer = position(event);
    if (op == Op::Move) {
        // A move changes no button; the drawing area reports it as no button at all.
        m_tools.PaintBox1MouseMove(toolEvent(m_pointer, MouseButton::Other));
        return;
    }
    const MouseButton button = static_cast<MouseButton>(b);
    if (op == Op::Press) {
        // A button that is down already cannot be pressed again.
        if (m_held[b])
            return;
        m_held[b] = true;
        m_tools.PaintBox1MouseDown(toolEvent(m_pointer, button));
    } else {
        if (!m_held[b])
            return;
        m_held[b] = false;
        m_tools.PaintBox1MouseUp(toolEvent(m_pointer, button));
    }
    toolEventDone();
}

void Session::zoom(const Event &event)
{
    // The zoom field holds whole numbers from 10 to 30000; the steps are those of the menu.
    const int now = static_cast<int>(m_nav.zoom());
    int next = now;
    switch (event.arg & 3) {
    case 0:
        next = std::max(static_cast<int>(std::lround(now * 1.25 / 10.0)) * 10, now + 10);
        break;
    case 1:
        next = std::min(static_cast<int>(std::lround(now / 1.25 / 10.0)) * 10, now - 10);
        break;
    case 2:
        next = ZoomValues[event.x % std::size(ZoomValues)];
        break;
    default:
        next = 10 + (event.x << 8 | event.y) * 7 % 29991;
        break;
    }
    if (m_nav.setZoom(std::clamp(next, 10, 30000)))
        repaint();
}

void Session::scroll(const Event &event)
{
    const bool horizontal = (event.arg & 1) == 0;
    const int now = horizontal ? m_nav.scrollX() : m_nav.scrollY();
    const int sign = (event.x & 0x80) ? -1 : 1;
    int next = now;
    switch ((event.arg >> 1) & 3) {
    case 0:
    case 1:
        next = signedPair(event.x, event.y) % (ScrollLimit + 1);
        break;
    case 2:
        next = now + sign * TViewNavigation::ScrollSmallChange;
        break;
    default:
        next = now + sign * TViewNavigation::ScrollLargeChange;
        break;
    }
    next = std::clamp(next, -ScrollLimit, ScrollLimit);
    if (next == now)
        return;
    if (horizontal ? m_nav.setScrollX(next) : m_nav.setScrollY(next))
        repaint();
}

void Session::pictureCommand(const Event &event)
{
    // As the window runs a command of the "Bild" menu: the work in hand is completed first, a
    // refused command changes nothing, and an accepted one moves the drawing with the picture
    // in one step of the history.
    finishToolWork();
    const double w = m_picture.width(), h = m_picture.height();
    // Points anywhere from a little outside the picture to its far corner.
    const TPointD a { (event.x % 64) / 64.0 * w * 1.25 - 0.125 * w,
        (event.y % 64) / 64.0 * h * 1.25 - 0.125 * h };
    const TPointD b { w - (event.x >> 6) * w / 5, h - (event.y >> 6) * h / 5 };
    PictureChange change;
    switch (event.arg % 7) {
    case 0:
    case 1:
    case 2:
        change = rotateQuarter(m_picture, 1 + event.arg % 7);
        break;
    case 3:
    case 4:
        change = mirrorPicture(m_picture, event.arg % 7 == 3);
        break;
    case 5:
        change = cropPicture(m_picture, a, b);
        break;
    default:
        change = straightenPicture(m_picture, a, b);
        break;
    }
    if (!change.ok())
        return;
    m_history.pictureReplaced(std::move(m_picture));
    m_picture = std::move(change.picture);
    change.mapping.apply(m_elements);
    m_tools.documentReplaced();
    changeCompleted();
    repaint();
}

void Session::writeRecovery()
{
    if (!m_recovery || m_recovery->busy())
        return;
    std::vector<TDrawElement> records(m_elements.Count());
    if (!records.empty())
        std::memcpy(records.data(), &m_elements.at(0), records.size() * sizeof(TDrawElement));
    if (m_recovery->start(std::move(records), m_picture.rec(), m_penColor, m_lineWidth)) {
        m_recoverySnapshot = projectBytes();
        m_recoveryStarted = true;
    }
}

void Session::play(const Event &event)
{
    const auto op = static_cast<Op>(event.op);
    switch (op) {
    case Op::Tool:
        m_tool = static_cast<ToolButton>(event.arg % 10);
        repaint();
        break;
    case Op::CtrlDown:
    case Op::CtrlUp: {
        const bool left = (event.arg & 1) == 0;
        const auto keysym =
            left ? LeftCtrlTracker::LeftCtrlKeysym : LeftCtrlTracker::RightCtrlKeysym;
        const bool down = op == Op::CtrlDown;
        (left ? m_leftKey : m_rightKey) = down;
        if (down)
            m_leftCtrl.keyPressed(keysym);
        else
            m_leftCtrl.keyReleased(keysym);
        break;
    }
    case Op::Deactivate:
        m_leftCtrl.reset();
        break;
    case Op::Press:
    case Op::Release:
    case Op::Move:
        mouse(event);
        break;
    case Op::Close:
        m_tools.CloseBtnClick();
        changeCompleted();
        break;
    case Op::Break:
        m_tools.BreakBtnClick();
        break;
    case Op::NewLines:
        m_elements.Clear();
        changeCompleted();
        repaint();
        break;
    case Op::Zoom:
        zoom(event);
        break;
    case Op::Scroll:
        scroll(event);
        break;
    case Op::Wheel:
        if (m_nav.wheel((event.arg & 1) ? 120 : -120))
            repaint();
        break;
    case Op::Undo:
    case Op::Redo:
        finishToolWork();
        stepHistory(op == Op::Undo);
        break;
    case Op::Width: {
        const double value = (10 + (event.x << 8 | event.y) % 991) / 100.0;
        // The field reports only a value that differs from the one it shows.
        if (value == m_widthField)
            break;
        m_widthField = value;
        m_lineWidth = value;
        changeCompleted();
        repaint();
        break;
    }
    case Op::Colour:
        m_penColor = static_cast<std::uint32_t>(event.arg)
            | static_cast<std::uint32_t>(event.x) << 8 | static_cast<std::uint32_t>(event.y) << 16;
        changeCompleted();
        repaint();
        break;
    case Op::Recovery:
        writeRecovery();
        break;
    case Op::Picture:
        pictureCommand(event);
        break;
    case Op::Count:
        break;
    }
}

QByteArray Session::projectBytes() const
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    if (!writeProject(out, m_elements, m_picture.rec(), m_penColor, m_lineWidth))
        return {};
    return out.data();
}

QByteArray Session::drawingBytes() const
{
    QByteArray bytes = projectBytes();
    constexpr qsizetype Record = sizeof(TDrawElement);
    for (qsizetype i = 0; i < static_cast<qsizetype>(m_elements.Count()); ++i) {
        char *record = bytes.data() + 4 + i * Record;
        std::memset(record + offsetof(TDrawElement, DragStart), 0,
            offsetof(TDrawElement, ClosesChain) - offsetof(TDrawElement, DragStart));
        std::memset(record + offsetof(TDrawElement, SelStart), 0,
            Record - offsetof(TDrawElement, SelStart));
    }
    return bytes;
}

std::string Session::paint()
{
    TPaintScene scene;
    scene.picture = &m_picture.rec();
    scene.pictureSerial = m_picture.serial();
    scene.pictureLayer = &m_layer;
    scene.elements = &m_elements;
    scene.penColor = penColor();
    scene.lineWidth = m_lineWidth;
    scene.view = m_nav.transform();
    scene.Zeiger1Down = m_tool == ToolButton::Zeiger1;
    scene.HandBtnDown = m_tool == ToolButton::HandBtn;
    scene.paintThreads = 1;
    const std::int32_t cursorIndex = m_elements.currentIndex();
    PaintBox1Paint(m_backBuffer, AreaSize, scene);
    m_paintDue = false;
    if (m_backBuffer.size() != AreaSize)
        return "the back buffer does not have the drawing area's size";
    if (m_elements.currentIndex() != cursorIndex)
        return "painting moved the element list's cursor";
    return {};
}

std::string Session::paintIfDue(bool force)
{
    if (!force && !m_paintDue)
        return {};
    if (!force && ++m_paintRequests % std::max(m_options.paintEvery, 1) != 0)
        return {};
    return paint();
}

} // namespace linovex::editing
