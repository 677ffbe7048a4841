// The main window's editing aids: undo and redo of completed changes, the recovery file
// written in the background, the resolution from two picked points, lightening the picture
// on screen, recent files, dropped files and keyboard shortcuts.

#include "app/ColorSwatch.h"
#include "app/EditPrompts.h"
#include "app/RecentFiles.h"
#include "app/ScaleFromTwoPoints.h"
#include "app/TMainForm.h"
#include "document/RecoveryWriter.h"
#include "document/UndoHistory.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/Translator.h"
#include "tools/PointSnapping.h"
#include "view/ui/TPaintBox.h"

#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int DefaultRecoveryIntervalMs = 30 * 1000;
const char *const RecoveryFile = "recovery.lvx";
const char *const LastSaveKey = "Recovery/LastSave";

// Texts shown only in dialogs; they are looked up once at the first showing, so that one run
// in another language puts them in the translation table like every caption.
const char *const ScaleCaption = "Maßstab aus zwei Punkten";
const char *const ScaleLabel = "Abstand der beiden Punkte in mm:";
const char *const ScaleSamePoint = "Die beiden Punkte liegen aufeinander.";
const char *const RecoveryCaption = "Wiederherstellung";
const char *const RecoveryText =
    "Eine Zeichnung wurde nicht gespeichert, als das Programm zuletzt endete. Soll sie "
    "wiederhergestellt werden?";
const char *const RestoreButton = "Wiederherstellen";
const char *const DiscardButton = "Verwerfen";

QString tr8(const char *text)
{
    return translateText(QString::fromUtf8(text));
}

QColor fromColorRef(std::uint32_t ref)
{
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
        static_cast<int>((ref >> 16) & 0xFF));
}

bool isProjectFile(const QString &fileName)
{
    return QFileInfo(fileName).suffix().compare(QLatin1String("lvx"), Qt::CaseInsensitive) == 0;
}

} // namespace

EditPrompts EditPrompts::standard()
{
    EditPrompts p;
    p.askDistance = [](QWidget *parent, const QString &caption,
                        const QString &label) -> std::optional<double> {
        bool ok = false;
        const double mm =
            QInputDialog::getDouble(parent, caption, label, 100.0, 0.001, 1.0e6, 3, &ok);
        if (!ok)
            return std::nullopt;
        return mm;
    };
    p.askRestore = [](QWidget *parent, const QString &caption, const QString &text,
                       const QString &restore, const QString &discard) {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
        QPushButton *yes = box.addButton(restore, QMessageBox::AcceptRole);
        box.addButton(discard, QMessageBox::RejectRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes;
    };
    return p;
}

struct TMainForm::EditState
{
    UndoHistory history;
    std::uint64_t savedId = 0;
    RecoveryWriter recovery;
    QTimer recoveryTimer;
    QElapsedTimer sinceRecoveryWrite;
    int recoveryIntervalMs = DefaultRecoveryIntervalMs;
    // Set while a recovery file is being opened, which is no opening of a saved project.
    bool restoring = false;
    // Whether the recovery file is this run's: one left by an earlier run stays until it has
    // been offered.
    bool ownsRecoveryFile = false;
    RecentFiles recentProjects { QStringLiteral("RecentFiles/Projects") };
    RecentFiles recentPictures { QStringLiteral("RecentFiles/Pictures") };
    EditPrompts prompts = EditPrompts::standard();
    ScaleFromTwoPoints scale;
    QString baseTitle;
    QAction *undo = nullptr;
    QAction *redo = nullptr;
    QSpinBox *fade = nullptr;
};

QAction *TMainForm::namedAction(const char *name)
{
    return findChild<QAction *>(QLatin1String(name));
}

void TMainForm::connectEdit()
{
    m_edit = new EditState;
    m_edit->recovery.setFileName(ExeDir + QLatin1String(RecoveryFile));
    m_edit->history.setPictureReleaser(
        [this](Dib &&picture) { m_edit->recovery.retire(std::move(picture)); });
    m_edit->history.reset(*m_elements, penColorRef(), m_lineWidth);
    m_edit->savedId = m_edit->history.stateId();
    m_edit->recoveryTimer.setSingleShot(true);
    connect(&m_edit->recoveryTimer, &QTimer::timeout, this, &TMainForm::writeRecovery);
    m_edit->sinceRecoveryWrite.start();
    createEditMenu();
    createEditToolBar();
    createShortcuts();
    setAcceptDrops(true);
    updateEditState();
}

void TMainForm::destroyEdit()
{
    if (!m_edit)
        return;
    // A normal end of the program leaves no recovery file behind.
    m_edit->recoveryTimer.stop();
    m_edit->recovery.wait();
    // The history gives its pictures back while it is destroyed, after the recovery writer
    // it would hand them to; with no write running they can simply be released.
    m_edit->history.setPictureReleaser({});
    if (m_edit->ownsRecoveryFile)
        m_edit->recovery.discard();
    delete m_edit;
    m_edit = nullptr;
}

void TMainForm::createEditMenu()
{
    QMenuBar *bar = menuBar();
    auto *bearbeiten = new QMenu(QStringLiteral("Bearbeiten"), bar);
    bearbeiten->setObjectName(QStringLiteral("Bearbeiten1"));
    QMenu *ansicht = bar->findChild<QMenu *>(QStringLiteral("Ansicht1"));
    bar->insertMenu(ansicht ? ansicht->menuAction() : nullptr, bearbeiten);

    m_edit->undo = action("Rckgngig1", QStringLiteral("Rückgängig"));
    m_edit->undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_edit->undo->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_edit->redo = action("Wiederherstellen1", QStringLiteral("Wiederherstellen"));
    m_edit->redo->setShortcuts(
        { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y) });
    m_edit->redo->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    bearbeiten->addAction(m_edit->undo);
    bearbeiten->addAction(m_edit->redo);
    connect(m_edit->undo, &QAction::triggered, this, &TMainForm::Rckgngig1Click);
    connect(m_edit->redo, &QAction::triggered, this, &TMainForm::Wiederherstellen1Click);

    // The scale is one more way to set the DXF resolution, so it follows the DXF settings.
    QMenu *datei = bar->findChild<QMenu *>(QStringLiteral("Datei1"));
    QAction *scale = action("Mastabauszweipunkten1", QStringLiteral("Maßstab aus zwei Punkten..."));
    const QList<QAction *> items = datei->actions();
    const qsizetype at = items.indexOf(namedAction("DXFExportEinstellungen1"));
    datei->insertAction(at >= 0 && at + 1 < items.size() ? items.at(at + 1) : nullptr, scale);
    connect(scale, &QAction::triggered, this, &TMainForm::Mastabauszweipunkten1Click);

    // The recent files follow the project items. Their entries are made when the menu opens,
    // so file names never pass through the translation.
    const qsizetype after = datei->actions().indexOf(namedAction("Projektspeichern1"));
    QAction *before = after >= 0 && after + 1 < datei->actions().size()
        ? datei->actions().at(after + 1)
        : nullptr;
    auto recent = [&](const char *name, const char *caption, bool projects) {
        auto *menu = new QMenu(QString::fromUtf8(caption), datei);
        menu->setObjectName(QLatin1String(name));
        datei->insertMenu(before, menu)->setObjectName(QLatin1String(name) + QLatin1String("Item"));
        connect(menu, &QMenu::aboutToShow, this,
            [this, menu, projects] { fillRecentMenu(menu, projects); });
    };
    recent("ZuletztgeffneteProjekte1", "Zuletzt geöffnete Projekte", true);
    recent("ZuletztgeffneteBilder1", "Zuletzt geöffnete Bilder", false);
}

void TMainForm::createEditToolBar()
{
    ToolBar1->addSeparator();
    ToolBar1->addAction(m_edit->undo);
    ToolBar1->addAction(m_edit->redo);
    ToolBar1->addSeparator();
    auto *label = new QLabel(QStringLiteral("Bild aufhellen:"), ToolBar1);
    label->setObjectName(QStringLiteral("Label3"));
    ToolBar1->addWidget(label);
    m_edit->fade = new QSpinBox(ToolBar1);
    m_edit->fade->setObjectName(QStringLiteral("FadeEd"));
    m_edit->fade->setRange(0, 90);
    m_edit->fade->setSingleStep(10);
    m_edit->fade->setSuffix(QStringLiteral(" %"));
    m_edit->fade->setValue(0);
    m_edit->fade->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar1->addWidget(m_edit->fade);
    connect(m_edit->fade, &QSpinBox::valueChanged, this, &TMainForm::FadeEdChange);
}

void TMainForm::createShortcuts()
{
    auto shortcut = [this](const char *name, QKeySequence key) {
        if (QAction *a = namedAction(name))
            a->setShortcut(key);
    };
    shortcut("Bildffnen1", QKeySequence(Qt::CTRL | Qt::Key_O));
    shortcut("Projektffnen1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    shortcut("Projektspeichern1", QKeySequence(Qt::CTRL | Qt::Key_S));
    // Escape ends the chain; while two points are being picked it ends the picking too.
    BreakBtn->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(BreakBtn, &QAction::triggered, this, [this] { cancelScalePicking(); });

    // The tools on the number keys, in the order of the tool bar.
    const QList<QAction *> tools = ToolGroup->actions();
    for (int i = 0; i < tools.size() && i < 9; ++i)
        tools.at(i)->setShortcut(QKeySequence(Qt::Key_1 + i));

    QMenu *ansicht = menuBar()->findChild<QMenu *>(QStringLiteral("Ansicht1"));
    ansicht->addSeparator()->setObjectName(QStringLiteral("N7"));
    QAction *in = action("Vergrern1", QStringLiteral("Vergrößern"));
    in->setShortcuts(
        { QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal) });
    QAction *out = action("Verkleinern1", QStringLiteral("Verkleinern"));
    out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    ansicht->addAction(in);
    ansicht->addAction(out);
    connect(in, &QAction::triggered, this, [this] { zoomStep(true); });
    connect(out, &QAction::triggered, this, [this] { zoomStep(false); });
}

void TMainForm::zoomStep(bool in)
{
    // A quarter more or less, on the field's steps of 10, and always at least one step.
    const int now = zoomed->value();
    int next = static_cast<int>(std::lround((in ? now * 1.25 : now / 1.25) / 10.0)) * 10;
    if (in)
        next = std::max(next, now + 10);
    else
        next = std::min(next, now - 10);
    zoomed->setValue(std::clamp(next, zoomed->minimum(), zoomed->maximum()));
}

// --- Undo and redo ---

EditPrompts &TMainForm::editPrompts()
{
    return m_edit->prompts;
}

const UndoHistory &TMainForm::undoHistory() const
{
    return m_edit->history;
}

bool TMainForm::isModified() const
{
    return m_edit && m_edit->history.stateId() != m_edit->savedId;
}

void TMainForm::replacePicture(Dib fresh)
{
    if (m_edit)
        m_edit->history.pictureReplaced(std::move(m_picture));
    m_picture = std::move(fresh);
}

void TMainForm::changeCompleted()
{
    if (!m_edit)
        return;
    if (m_edit->history.checkpoint(*m_elements, penColorRef(), m_lineWidth))
        updateEditState();
}

void TMainForm::toolEventDone()
{
    // A node drag runs from its press to its release and an area move from the pick-up to the
    // put-down; only when neither is running has a change of the tools completed.
    const NodeEditTool &e = m_tools.editing();
    if (!e.NodeDragging && !e.AreaDeleting && !e.AreaMoving)
        changeCompleted();
}

void TMainForm::finishToolWork()
{
    // A chain in progress ends as with BreakBtn, and chains being carried are put down, so
    // that the document stands as a completed change.
    if (m_tools.drawing().Drawing)
        BreakBtnClick();
    if (m_tools.editing().NodeDragging)
        documentReplaced();
    changeCompleted();
}

void TMainForm::Rckgngig1Click()
{
    finishToolWork();
    stepHistory(true);
}

void TMainForm::Wiederherstellen1Click()
{
    finishToolWork();
    stepHistory(false);
}

void TMainForm::stepHistory(bool back)
{
    std::uint32_t pen = penColorRef();
    double width = m_lineWidth;
    UndoDocument doc { *m_elements, m_picture, pen, width };
    if (!(back ? m_edit->history.undo(doc) : m_edit->history.redo(doc)))
        return;
    // The restored records may carry selection flags; nothing is being carried afterwards.
    documentReplaced();
    Shape1->setBrushColor(fromColorRef(pen));
    m_lineWidth = width;
    {
        const QSignalBlocker block(WidthEd);
        WidthEd->setValue(width);
    }
    updateEditState();
    Repaint();
}

void TMainForm::updateEditState()
{
    m_edit->undo->setEnabled(m_edit->history.canUndo());
    m_edit->redo->setEnabled(m_edit->history.canRedo());
    // The title is translated at the first showing, so the mark is added to what it shows.
    QString title = windowTitle();
    if (title.endsWith(QLatin1Char('*')))
        title.chop(1);
    setWindowTitle(isModified() ? title + QLatin1Char('*') : title);
    scheduleRecovery();
}

void TMainForm::projectOpened(const QString &fileName)
{
    if (!m_edit)
        return;
    changeCompleted();
    if (m_edit->restoring)
        return;
    m_edit->savedId = m_edit->history.stateId();
    m_edit->recentProjects.add(fileName);
    updateEditState();
}

void TMainForm::projectSaved(const QString &fileName)
{
    if (!m_edit)
        return;
    changeCompleted();
    m_edit->savedId = m_edit->history.stateId();
    m_edit->recentProjects.add(fileName);
    QSettings().setValue(
        QLatin1String(LastSaveKey), QDateTime::currentDateTimeUtc().toMSecsSinceEpoch());
    updateEditState();
}

void TMainForm::pictureOpened(const QString &fileName)
{
    if (!m_edit)
        return;
    m_edit->recentPictures.add(fileName);
    changeCompleted();
}

// --- Recovery ---

QString TMainForm::recoveryFileName() const
{
    return m_edit ? m_edit->recovery.fileName() : QString();
}

void TMainForm::setRecoveryInterval(int ms)
{
    m_edit->recoveryIntervalMs = std::max(ms, 0);
}

void TMainForm::waitForRecovery()
{
    m_edit->recovery.wait();
}

void TMainForm::scheduleRecovery()
{
    if (!isModified()) {
        // Saved, or back at the saved drawing: there is nothing to recover.
        m_edit->recoveryTimer.stop();
        if (m_edit->ownsRecoveryFile)
            m_edit->recovery.discard();
        return;
    }
    if (m_edit->recoveryTimer.isActive())
        return;
    // Writes are at least one interval apart, and a change waits at most one interval.
    const qint64 wait = m_edit->recoveryIntervalMs - m_edit->sinceRecoveryWrite.elapsed();
    m_edit->recoveryTimer.start(
        static_cast<int>(std::clamp<qint64>(wait, 0, m_edit->recoveryIntervalMs)));
}

void TMainForm::writeRecovery()
{
    if (!isModified())
        return;
    if (m_edit->recovery.busy()) {
        m_edit->recoveryTimer.start(std::min(m_edit->recoveryIntervalMs, 1000));
        return;
    }
    // Only the records are copied here; the picture is shared with the writer, which the
    // history's releaser keeps alive until the write is done.
    std::vector<TDrawElement> records(m_elements->Count());
    if (!records.empty())
        std::memcpy(records.data(), &m_elements->at(0), records.size() * sizeof(TDrawElement));
    m_edit->ownsRecoveryFile = true;
    m_edit->recovery.start(std::move(records), m_picture.rec(), penColorRef(), m_lineWidth);
    m_edit->sinceRecoveryWrite.restart();
}

void TMainForm::editShown()
{
    for (const char *text : { ScaleCaption, ScaleLabel, ScaleSamePoint, RecoveryCaption,
             RecoveryText, RestoreButton, DiscardButton })
        tr8(text);
    const QString file = recoveryFileName();
    const QFileInfo info(file);
    if (!info.exists())
        return;
    const qint64 lastSave = QSettings().value(QLatin1String(LastSaveKey), 0).toLongLong();
    if (info.lastModified().toMSecsSinceEpoch() <= lastSave) {
        QFile::remove(file);
        return;
    }
    // The question waits until the window is on screen, as a picture from the command line does.
    QMetaObject::invokeMethod(
        this, [this] { offerRecovery(); }, Qt::QueuedConnection);
}

void TMainForm::offerRecovery()
{
    const QString file = recoveryFileName();
    if (!QFileInfo::exists(file))
        return;
    if (!m_edit->prompts.askRestore(this, tr8(RecoveryCaption), tr8(RecoveryText),
            tr8(RestoreButton), tr8(DiscardButton))) {
        QFile::remove(file);
        return;
    }
    m_edit->restoring = true;
    m_edit->ownsRecoveryFile = true;
    openprojekt(file);
    m_edit->restoring = false;
    updateEditState();
}

// --- The resolution from two points ---

void TMainForm::Mastabauszweipunkten1Click()
{
    finishToolWork();
    m_edit->scale.start();
    PaintBox1->setCursor(Qt::CrossCursor);
}

bool TMainForm::scalePicking() const
{
    return m_edit && m_edit->scale.active();
}

void TMainForm::cancelScalePicking()
{
    if (!m_edit || !m_edit->scale.active())
        return;
    m_edit->scale.cancel();
    PaintBox1->unsetCursor();
}

void TMainForm::scaleMouseDown(const ToolEvent &event)
{
    if (event.button == MouseButton::Right) {
        cancelScalePicking();
        return;
    }
    // The points snap to the drawing as new points of a chain do, unless Ctrl is held.
    TPointD p = event.picture;
    if (!event.ctrlHeld)
        snapPoint(*m_elements, event.canvas, zoom(), p);
    if (!m_edit->scale.press(p))
        return;
    PaintBox1->unsetCursor();
    const std::optional<double> dpi0 =
        ScaleFromTwoPoints::resolution(m_edit->scale.first(), m_edit->scale.second(), 1.0);
    if (!dpi0) {
        m_prompts.showMessage(this, tr8(ScaleSamePoint));
        return;
    }
    const std::optional<double> mm =
        m_edit->prompts.askDistance(this, tr8(ScaleCaption), tr8(ScaleLabel));
    if (!mm)
        return;
    const std::optional<double> dpi =
        ScaleFromTwoPoints::resolution(m_edit->scale.first(), m_edit->scale.second(), *mm);
    if (dpi && m_dxfExportForm)
        m_dxfExportForm->setResolution(*dpi, m_picture.width());
}

// --- Fading, recent files, dropped files ---

int TMainForm::fadePercent() const
{
    return m_edit ? m_edit->fade->value() : 0;
}

void TMainForm::FadeEdChange()
{
    Repaint();
}

void TMainForm::fillRecentMenu(QMenu *menu, bool projects)
{
    menu->clear();
    RecentFiles &recent = projects ? m_edit->recentProjects : m_edit->recentPictures;
    const QStringList files = recent.entries();
    int number = 1;
    for (const QString &file : files) {
        QAction *a = menu->addAction(
            QStringLiteral("&%1 %2").arg(number++).arg(QDir::toNativeSeparators(file)));
        connect(
            a, &QAction::triggered, this, [this, file, projects] { openRecent(file, projects); });
    }
    menu->setEnabled(true);
}

void TMainForm::openRecent(const QString &fileName, bool project)
{
    // Like the menu items, opening leaves a chain in progress as it is.
    if (project) {
        openprojekt(fileName);
    } else {
        LadeBild(fileName);
    }
    // An entry that no longer opens goes from the list; the failure has been reported.
    if (!QFileInfo::exists(fileName))
        (project ? m_edit->recentProjects : m_edit->recentPictures).remove(fileName);
}

void TMainForm::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.constFirst().isLocalFile())
        return;
    event->acceptProposedAction();
    const QString file = urls.constFirst().toLocalFile();
    // The drop ends after this handler, so the file opens once the drag has let go.
    QMetaObject::invokeMethod(
        this, [this, file] { openDropped(file); }, Qt::QueuedConnection);
}

void TMainForm::openDropped(const QString &fileName)
{
    if (isProjectFile(fileName))
        openprojekt(fileName);
    else
        LadeBild(fileName);
}
