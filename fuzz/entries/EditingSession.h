#pragma once

#include "EditingDriver.h"
#include "document/RecoveryWriter.h"
#include "document/UndoHistory.h"
#include "tools/LeftCtrlTracker.h"
#include "tools/ToolController.h"
#include "tools/ToolHost.h"
#include "view/CanvasPainter.h"
#include "view/ViewNavigation.h"

#include <QByteArray>
#include <QImage>
#include <map>
#include <memory>

namespace linovex::editing {

// The editor without its window: the document, the view, the tools, the undo history and the
// recovery writer, wired as the main window wires them. Every event goes to the same calls
// the window's handler for it makes, in the same order.
class Session : public ToolHost
{
public:
    Session(const RunOptions &options);
    ~Session() override;

    void play(const Event &event);

    // The checks after an event and at the end of a run; each returns what was wrong or "".
    std::string checkDocument() const;
    std::string paintIfDue(bool force);
    std::string checkEnd();

    // ToolHost.
    TElementList &elements() override { return m_elements; }
    TViewTransform view() const override { return m_nav.transform(); }
    QColor penColor() const override;
    double lineWidth() const override { return m_lineWidth; }
    void repaint() override { m_paintDue = true; }
    QImage &repaintBufferOnly() override;
    void showBuffer() override { }
    bool panActive() const override { return m_nav.PanActive(); }
    void startPan(const ToolEvent &event) override;
    void panStep(const ToolEvent &event) override;
    void endPan() override { m_nav.panRelease(); }
    void updateHelperLines(const ToolEvent &) override { }

private:
    QPoint position(const Event &event) const;
    ToolEvent toolEvent(QPoint screen, MouseButton button) const;
    void mouse(const Event &event);
    void zoom(const Event &event);
    void scroll(const Event &event);
    void pictureCommand(const Event &event);
    void stepHistory(bool back);
    std::string walkHistory(bool back);
    void writeRecovery();

    // The main window's steps between the tools and the history.
    void changeCompleted();
    void toolEventDone();
    void finishToolWork();

    // The document as the project file writes it, and the same with the editing state (drag
    // copies and selection flags) cleared, which is what undo and redo restore.
    QByteArray projectBytes() const;
    QByteArray drawingBytes() const;
    std::string paint();

    RunOptions m_options;
    TDrawElement *m_cursor = nullptr;
    TElementList m_elements { &m_cursor };
    Dib m_picture;
    std::uint32_t m_penColor = 0x0000FF; // red, as the colour swatch starts
    double m_lineWidth = 3;
    double m_widthField = 3;
    TViewNavigation m_nav;
    ToolController m_tools { *this };
    UndoHistory m_history;
    LeftCtrlTracker m_leftCtrl;
    bool m_leftKey = false;
    bool m_rightKey = false;
    ToolButton m_tool = ToolButton::None;
    bool m_held[4] = {};
    QPoint m_pointer { 100, 100 };

    QImage m_backBuffer;
    TPictureLayer m_layer;
    bool m_paintDue = true;
    int m_paintRequests = 0;

    // What each state of the history held when it was the current one, by its state id.
    std::map<std::uint64_t, QByteArray> m_states;
    QByteArray m_first;
    std::uint64_t m_firstId = 0;

    std::string m_problem; // found while an event was played

    std::unique_ptr<RecoveryWriter> m_recovery;
    QByteArray m_recoverySnapshot; // the project as saved when the last recovery write began
    bool m_recoveryStarted = false;
};

} // namespace linovex::editing
