// The main window's "Bild" menu: turning, mirroring, cropping, straightening and rectifying
// the picture, each as one undo step that moves the drawing with it, and the black-and-white
// view of the picture.

#include "app/TMainFormEditState.h"
#include "export/ui/TDXFExportForm.h"
#include "picture/PictureOps.h"
#include "view/ui/TPaintBox.h"

#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QRubberBand>
#include <QStatusBar>
#include <QToolBar>
#include <cstdlib>
#include <thread>

using namespace editaids;

namespace {

inline constexpr const char *StraightenHint =
    "Zwei Punkte auf einer Kante anklicken, die waagerecht oder senkrecht sein soll.";
inline constexpr const char *CropHint = "Den Ausschnitt mit gedrückter Maustaste aufziehen.";
inline constexpr const char *PerspectiveHint =
    "Die vier Ecken des Rechtecks der Reihe nach anklicken.";
inline constexpr const char *PerspectiveCaption = "Perspektive entzerren";
inline constexpr const char *WidthLabel = "Breite des Rechtecks in mm:";
inline constexpr const char *HeightLabel = "Höhe des Rechtecks in mm:";
inline constexpr const char *Working = "Das Bild wird bearbeitet...";

} // namespace

void TMainForm::createPictureMenu()
{
    QMenuBar *bar = menuBar();
    auto *bild = new QMenu(QStringLiteral("Bild"), bar);
    bild->setObjectName(QStringLiteral("Bild1"));
    // After "Ansicht": before the menu that follows it.
    const QList<QAction *> menus = bar->actions();
    QMenu *ansicht = bar->findChild<QMenu *>(QStringLiteral("Ansicht1"));
    const qsizetype at = ansicht ? menus.indexOf(ansicht->menuAction()) : -1;
    bar->insertMenu(at >= 0 && at + 1 < menus.size() ? menus.at(at + 1) : nullptr, bild);

    auto item = [&](const char *name, const char *caption, auto handler) {
        QAction *a = action(name, QString::fromUtf8(caption));
        bild->addAction(a);
        connect(a, &QAction::triggered, this, handler);
    };
    item("Um90drehen1", "Um 90° im Uhrzeigersinn drehen",
        [this] { runPictureOperation([](const Dib &p) { return rotateQuarter(p, 1); }); });
    item("Um180drehen1", "Um 180° drehen",
        [this] { runPictureOperation([](const Dib &p) { return rotateQuarter(p, 2); }); });
    item("Um270drehen1", "Um 90° gegen den Uhrzeigersinn drehen",
        [this] { runPictureOperation([](const Dib &p) { return rotateQuarter(p, 3); }); });
    item("Waagerechtspiegeln1", "Waagerecht spiegeln",
        [this] { runPictureOperation([](const Dib &p) { return mirrorPicture(p, true); }); });
    item("Senkrechtspiegeln1", "Senkrecht spiegeln",
        [this] { runPictureOperation([](const Dib &p) { return mirrorPicture(p, false); }); });
    bild->addSeparator()->setObjectName(QStringLiteral("N8"));
    item("Ausrichten1", "Ausrichten", [this] { startPicturePicking(PicturePick::Straighten); });
    item("Zuschneiden1", "Zuschneiden", [this] { startPicturePicking(PicturePick::Crop); });
    item("Perspektiveentzerren1", "Perspektive entzerren...",
        [this] { startPicturePicking(PicturePick::Perspective); });

    // Escape ends the picking as it ends a chain.
    connect(BreakBtn, &QAction::triggered, this, [this] { cancelPicturePicking(); });

    m_edit->blackWhite = action("SchwarzweiVorschau1", QStringLiteral("Schwarzweiß-Vorschau"));
    m_edit->blackWhite->setCheckable(true);
    ToolBar1->addSeparator();
    ToolBar1->addAction(m_edit->blackWhite);
    connect(m_edit->blackWhite, &QAction::toggled, this, [this](bool on) {
        // The view is made again for every picture; while it is off it holds no memory.
        if (!on) {
            m_edit->threshold.reset();
            m_edit->thresholdOf = 0;
        }
        Repaint();
    });
}

const Dib &TMainForm::shownPicture()
{
    if (!m_edit || !m_edit->blackWhite || !m_edit->blackWhite->isChecked() || m_picture.isNull())
        return m_picture;
    // The threshold the trace dialog sets, so the view shows what a trace would see.
    const int level = traceThreshold();
    if (m_edit->thresholdOf != m_picture.serial() || m_edit->thresholdLevel != level) {
        m_edit->threshold = thresholdView(m_picture, level);
        m_edit->thresholdOf = m_picture.serial();
        m_edit->thresholdLevel = level;
    }
    return m_edit->threshold.isNull() ? m_picture : m_edit->threshold;
}

double TMainForm::currentResolution() const
{
    return m_dxfExportForm ? m_dxfExportForm->params().dpi : 0;
}

void TMainForm::runPictureOperation(const std::function<PictureChange(const Dib &)> &operation)
{
    finishToolWork();
    cancelPicturePicking();
    // The work runs beside the event loop, so that a dialog can say after half a second that
    // it is under way; the window takes no input meanwhile.
    PictureChange change;
    {
        QEventLoop loop;
        QProgressDialog progress(tr8(Working), QString(), 0, 0, this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        // At its minimum the value starts the clock after which the dialog shows itself.
        progress.setValue(0);
        std::thread worker([&] {
            change = operation(m_picture);
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        worker.join();
    }
    if (!change.ok()) {
        m_prompts.showMessage(this, translateText(change.error));
        return;
    }
    replacePicture(std::move(change.picture));
    change.mapping.apply(*m_elements);
    documentReplaced();
    if (m_dxfExportForm && change.dpi > 0)
        m_dxfExportForm->setResolution(change.dpi, m_picture.width());
    changeCompleted();
    Repaint();
}

// --- Picking points and rectangles in the drawing area ---

bool TMainForm::picturePicking() const
{
    return m_edit && m_edit->pick.mode != PicturePick::None;
}

void TMainForm::startPicturePicking(int mode)
{
    finishToolWork();
    cancelScalePicking();
    cancelPicturePicking();
    if (m_picture.isNull()) {
        m_prompts.showMessage(this, tr8(kNoPicture));
        return;
    }
    m_edit->pick.mode = static_cast<PicturePick::Mode>(mode);
    PaintBox1->setCursor(Qt::CrossCursor);
    const char *hint = mode == PicturePick::Straighten ? StraightenHint
        : mode == PicturePick::Crop                    ? CropHint
                                                       : PerspectiveHint;
    StatusBar1->showMessage(tr8(hint));
}

void TMainForm::cancelPicturePicking()
{
    if (!picturePicking())
        return;
    m_edit->pick.mode = PicturePick::None;
    m_edit->pick.points.clear();
    if (m_edit->pick.band)
        m_edit->pick.band->hide();
    PaintBox1->unsetCursor();
    StatusBar1->clearMessage();
}

void TMainForm::pictureMouseDown(const ToolEvent &event)
{
    PicturePick &pick = m_edit->pick;
    if (event.button == MouseButton::Right) {
        cancelPicturePicking();
        return;
    }
    pick.points.push_back(event.picture);
    if (pick.mode == PicturePick::Crop) {
        pick.anchor = event.screen;
        if (!pick.band)
            pick.band = new QRubberBand(QRubberBand::Rectangle, PaintBox1);
        pick.band->setGeometry(QRect(event.screen, QSize()));
        pick.band->show();
        return;
    }
    const std::vector<TPointD> points = pick.points;
    if (pick.mode == PicturePick::Straighten && points.size() == 2) {
        cancelPicturePicking();
        runPictureOperation(
            [a = points[0], b = points[1]](const Dib &p) { return straightenPicture(p, a, b); });
    } else if (pick.mode == PicturePick::Perspective && points.size() == 4) {
        cancelPicturePicking();
        const std::optional<double> width =
            m_edit->prompts.askDistance(this, tr8(PerspectiveCaption), tr8(WidthLabel));
        if (!width)
            return;
        const std::optional<double> height =
            m_edit->prompts.askDistance(this, tr8(PerspectiveCaption), tr8(HeightLabel));
        if (!height)
            return;
        const std::array<TPointD, 4> corners { points[0], points[1], points[2], points[3] };
        runPictureOperation([corners, w = *width, h = *height](
                                const Dib &p) { return rectifyPicture(p, corners, w, h); });
    }
}

void TMainForm::pictureMouseMove(const ToolEvent &event)
{
    const PicturePick &pick = m_edit->pick;
    if (pick.mode == PicturePick::Crop && pick.band && pick.band->isVisible())
        pick.band->setGeometry(QRect(pick.anchor, event.screen).normalized());
}

void TMainForm::pictureMouseUp(const ToolEvent &event)
{
    const PicturePick &pick = m_edit->pick;
    if (pick.mode != PicturePick::Crop || pick.points.empty())
        return;
    const TPointD a = pick.points.front();
    const TPointD b = event.picture;
    const QPoint dragged = event.screen - pick.anchor;
    cancelPicturePicking();
    // A press without a drag is taken as a change of mind, not as a rectangle of nothing.
    if (std::abs(dragged.x()) < 2 || std::abs(dragged.y()) < 2)
        return;
    runPictureOperation([a, b](const Dib &p) { return cropPicture(p, a, b); });
}
