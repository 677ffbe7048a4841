// The main window's automatic tracing: the trace tool and "Bild nachzeichnen...", the trace
// dialog, the trace itself on a worker thread with its progress, the preview over the picture
// and taking the preview over into the document as one undo step.

#include "app/TMainFormEditState.h"
#include "app/TTraceForm.h"
#include "picture/PictureOps.h"
#include "trace/TracePreview.h"
#include "trace/TraceTarget.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

using namespace editaids;

namespace {

inline constexpr const char *Tracing = "Das Bild wird nachgezeichnet...";
inline constexpr const char *CancelText = "Abbrechen";
inline constexpr const char *FoundText = "%1 Elemente gefunden.";
inline constexpr const char *NothingText =
    "Hier gibt es nichts nachzuzeichnen: keine Form, nur eine Fläche oder nur Rauschen.";
inline constexpr const char *CancelledText = "Das Nachzeichnen wurde abgebrochen.";
inline constexpr const char *FailedText = "Das Bild konnte nicht nachgezeichnet werden.";
inline constexpr const char *ChangedText =
    "Das Bild hat sich geändert; die Nachzeichnung gilt nicht mehr.";
inline constexpr const char *AcceptedText = "Die Nachzeichnung wurde übernommen.";
inline constexpr const char *ManyText =
    "Die Nachzeichnung ergibt %1 Elemente. Sollen sie trotzdem übernommen werden?";
inline constexpr const char *TraceCaption = "Nachzeichnen";

// Changes of the settings come in bursts while a field is being stepped; the preview follows
// once they stop.
constexpr int RetraceDelayMs = 300;
constexpr int ProgressPollMs = 100;
const QColor PreviewColour(0, 160, 255);

} // namespace

// What the worker hands back: the result and its preview outline.
struct TraceOutcome
{
    TraceResult result;
    QPainterPath path;
};

struct TMainForm::TraceState
{
    TTraceForm *form = nullptr;
    std::thread worker;
    std::atomic<bool> cancel { false };
    std::atomic<int> percent { 0 };
    bool running = false;
    std::uint64_t runSerial = 0; // the picture the running worker reads
    // A trace asked for while another was running; it starts when that one has stopped.
    std::optional<TraceTarget> pending;
    // What the preview shows, traced again when a setting changes.
    std::optional<TraceTarget> target;
    std::vector<TDrawElement> preview;
    QPainterPath previewPath;
    std::uint64_t previewSerial = 0;
    QProgressDialog *progress = nullptr;
    QTimer progressPoll;
    QTimer retrace;
    // Pictures the document let go of while the worker still reads them.
    std::vector<Dib> parked;
    // A trace larger than this is not appended without asking: the drawing becomes slow to
    // edit.
    std::size_t manyElements = 500000;
};

void TMainForm::createTraceCommands()
{
    m_trace = new TraceState;
    TraceBtn->setShortcut(QKeySequence(Qt::Key_T));
    if (QMenu *bild = menuBar()->findChild<QMenu *>(QStringLiteral("Bild1"))) {
        bild->addSeparator()->setObjectName(QStringLiteral("N9"));
        QAction *whole = action("Bildnachzeichnen1", QStringLiteral("Bild nachzeichnen..."));
        bild->addAction(whole);
        connect(whole, &QAction::triggered, this, [this] { startTrace(TraceTarget {}); });
    }
    m_trace->progressPoll.setInterval(ProgressPollMs);
    connect(&m_trace->progressPoll, &QTimer::timeout, this, [this] {
        // The bar stays short of its end until the result is in.
        if (m_trace->progress)
            m_trace->progress->setValue(std::min(m_trace->percent.load(), 99));
    });
    m_trace->retrace.setSingleShot(true);
    m_trace->retrace.setInterval(RetraceDelayMs);
    connect(&m_trace->retrace, &QTimer::timeout, this, [this] {
        if (m_trace->target)
            startTrace(*m_trace->target);
    });
}

void TMainForm::destroyTrace()
{
    if (!m_trace)
        return;
    m_trace->cancel = true;
    if (m_trace->worker.joinable())
        m_trace->worker.join();
    delete m_trace;
    m_trace = nullptr;
}

TTraceForm *TMainForm::traceForm()
{
    if (!m_trace->form) {
        m_trace->form = new TTraceForm(this);
        connect(
            m_trace->form, &TTraceForm::settingsChanged, this, &TMainForm::traceSettingsChanged);
        connect(m_trace->form, &TTraceForm::acceptRequested, this, &TMainForm::acceptTrace);
        connect(m_trace->form, &TTraceForm::discardRequested, this, &TMainForm::discardTrace);
        // Closed, the dialog can no longer take the preview over, so it goes too.
        connect(m_trace->form, &QDialog::finished, this, [this] {
            cancelTrace();
            discardTrace();
        });
    }
    return m_trace->form;
}

bool TMainForm::traceRunning() const
{
    return m_trace && m_trace->running;
}

const std::vector<TDrawElement> &TMainForm::tracePreview() const
{
    return m_trace->preview;
}

void TMainForm::setTraceQuestionLimit(std::size_t elements)
{
    m_trace->manyElements = elements;
}

int TMainForm::traceThreshold()
{
    return m_trace ? traceForm()->threshold() : -1;
}

void TMainForm::startTrace(const TraceTarget &target)
{
    TTraceForm *form = traceForm();
    // The dialog shows what the trace finds and takes it over.
    if (!form->isVisible())
        form->show();
    if (m_picture.isNull()) {
        m_prompts.showMessage(this, tr8(kNoPicture));
        return;
    }
    m_trace->target = target;
    if (m_trace->running) {
        m_trace->pending = target;
        m_trace->cancel = true;
        return;
    }
    launchTrace(target);
}

void TMainForm::launchTrace(const TraceTarget &target)
{
    TraceState &t = *m_trace;
    t.cancel = false;
    t.percent = 0;
    t.running = true;
    t.runSerial = m_picture.serial();
    const TraceSettings settings = traceForm()->settings();
    const TDibRec picture = m_picture.rec();
    t.worker = std::thread([this, &t, picture, settings, target] {
        TraceControl control;
        control.cancel = &t.cancel;
        control.progress = [&t](int p) { t.percent = p; };
        auto outcome = std::make_shared<TraceOutcome>();
        outcome->result = traceTarget(picture, settings, target, control);
        if (outcome->result.ok())
            outcome->path = tracePreviewPath(outcome->result.elements);
        QMetaObject::invokeMethod(
            this, [this, outcome] { traceFinished(std::move(*outcome)); }, Qt::QueuedConnection);
    });

    // The editor stays usable while the trace runs; the dialog only offers to stop it.
    t.progress = new QProgressDialog(tr8(Tracing), tr8(CancelText), 0, 100, this);
    t.progress->setObjectName(QStringLiteral("TraceProgress"));
    t.progress->setWindowModality(Qt::NonModal);
    t.progress->setAutoReset(false);
    t.progress->setAutoClose(false);
    t.progress->setMinimumDuration(500);
    // At its minimum the value starts the clock after which the dialog shows itself.
    t.progress->setValue(0);
    connect(t.progress, &QProgressDialog::canceled, this, &TMainForm::cancelTrace);
    t.progressPoll.start();
    // A preview made before no longer matches what is being traced.
    if (!t.preview.empty()) {
        clearTracePreview();
        Repaint();
    }
    traceForm()->showResult(tr8(Tracing), false);
}

void TMainForm::cancelTrace()
{
    if (!m_trace || !m_trace->running)
        return;
    m_trace->cancel = true;
    m_trace->pending.reset();
    m_trace->target.reset();
}

void TMainForm::traceFinished(TraceOutcome &&outcome)
{
    TraceState &t = *m_trace;
    t.worker.join();
    t.running = false;
    t.parked.clear();
    t.progressPoll.stop();
    if (t.progress) {
        t.progress->hide();
        t.progress->deleteLater();
        t.progress = nullptr;
    }
    if (t.pending) {
        const TraceTarget next = *t.pending;
        t.pending.reset();
        launchTrace(next);
        return;
    }
    clearTracePreview();
    TTraceForm *form = traceForm();
    const TraceResult &r = outcome.result;
    if (t.runSerial != m_picture.serial()) {
        form->showResult(tr8(ChangedText), false);
    } else if (t.cancel || r.status == TraceResult::Status::Cancelled) {
        // A trace told to stop may have finished before it looked; its result is not wanted.
        form->showResult(tr8(CancelledText), false);
    } else if (r.status == TraceResult::Status::Ok) {
        t.preview = std::move(outcome.result.elements);
        t.previewPath = std::move(outcome.path);
        t.previewSerial = t.runSerial;
        form->showResult(tr8(FoundText).arg(t.preview.size()), true);
    } else if (r.status == TraceResult::Status::Empty) {
        form->showResult(tr8(NothingText), false);
    } else {
        form->showResult(tr8(FailedText), false);
        m_prompts.showMessage(this, tr8(FailedText));
    }
    Repaint();
}

void TMainForm::clearTracePreview()
{
    m_trace->preview = {};
    m_trace->previewPath = QPainterPath();
    m_trace->previewSerial = 0;
}

void TMainForm::acceptTrace()
{
    TraceState &t = *m_trace;
    if (t.preview.empty() || t.running)
        return;
    if (t.previewSerial != m_picture.serial()) {
        clearTracePreview();
        traceForm()->showResult(tr8(ChangedText), false);
        Repaint();
        return;
    }
    if (t.preview.size() > t.manyElements
        && !m_prompts.askYesNo(this, tr8(ManyText).arg(t.preview.size()), tr8(TraceCaption)))
        return;
    // A chain in progress ends first, so that the trace is a step of its own.
    finishToolWork();
    TElementList &list = *m_elements;
    const auto before = std::int32_t(list.Count());
    if (t.preview.size() > std::size_t(INT32_MAX) - list.Count()
        || !replaceElementRange(
            list, before, 0, t.preview.data(), std::int32_t(t.preview.size()))) {
        // The element store has said why in its own box.
        return;
    }
    m_drawingTiles.invalidateElements(list, before, std::int32_t(list.Count()));
    changeCompleted();
    clearTracePreview();
    t.target.reset();
    traceForm()->showResult(tr8(AcceptedText), false);
    Repaint();
}

void TMainForm::discardTrace()
{
    clearTracePreview();
    m_trace->target.reset();
    traceForm()->showResult(QString(), false);
    Repaint();
}

void TMainForm::traceSettingsChanged()
{
    // The black-and-white view shows the threshold the dialog sets.
    if (m_edit && m_edit->blackWhite && m_edit->blackWhite->isChecked())
        Repaint();
    if (m_trace->target)
        m_trace->retrace.start();
}

void TMainForm::pictureReplacedDuringTrace()
{
    if (!m_trace)
        return;
    // What is being traced and what the preview shows belong to the old picture.
    m_trace->cancel = true;
    m_trace->pending.reset();
    m_trace->target.reset();
    if (m_trace->preview.empty())
        return;
    clearTracePreview();
    if (m_trace->form)
        m_trace->form->showResult(tr8(ChangedText), false);
}

void TMainForm::retirePicture(Dib &&picture)
{
    if (m_trace && m_trace->running && picture.serial() == m_trace->runSerial) {
        m_trace->parked.push_back(std::move(picture));
        return;
    }
    m_edit->recovery.retire(std::move(picture));
}

void TMainForm::paintTracePreview(QImage &buffer) const
{
    if (!m_trace || m_trace->preview.empty() || m_trace->previewSerial != m_picture.serial())
        return;
    const TViewTransform view = m_nav.transform();
    QPainter painter(&buffer);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-view.scrollX, -view.scrollY);
    painter.scale(view.zoom / 100, view.zoom / 100);
    QPen pen(PreviewColour, 2);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(m_trace->previewPath);
}
