// The main window's editing aids, first part: the "Bearbeiten" menu and tool bar, keyboard
// shortcuts, and undo and redo of completed changes. The recovery file, the resolution from
// two points, lightening the picture, recent and dropped files follow in TMainFormAids.cpp.

#include "app/ColorSwatch.h"
#include "app/TMainFormEditState.h"
#include "export/ui/TDXFExportForm.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QActionGroup>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <algorithm>

using namespace editaids;

namespace {

// A number field answers Ctrl+Z and Ctrl+Y with the undo of its own text, which would swallow
// the document's undo and redo whenever the field has the focus. Installed on the fields, this
// lets every enabled Ctrl shortcut of the window come first; other keys stay with the field.
class WindowShortcutsFirst final : public QObject
{
public:
    explicit WindowShortcutsFirst(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->modifiers().testFlag(Qt::ControlModifier))
            return false;
        const QKeySequence pressed(key->keyCombination());
        const QList<QAction *> actions = m_window->findChildren<QAction *>();
        const bool ours = std::any_of(actions.begin(), actions.end(),
            [&](const QAction *a) { return a->isEnabled() && a->shortcuts().contains(pressed); });
        if (!ours)
            return false;
        // Left unaccepted, the override lets the shortcut map take the key.
        event->ignore();
        return true;
    }

private:
    QWidget *m_window;
};

QColor fromColorRef(std::uint32_t ref)
{
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
        static_cast<int>((ref >> 16) & 0xFF));
}

} // namespace

QAction *TMainForm::namedAction(const char *name)
{
    return findChild<QAction *>(QLatin1String(name));
}

void TMainForm::connectEdit()
{
    m_edit = new EditState;
    m_edit->recovery.setFileName(ExeDir + QLatin1String(RecoveryFile));
    m_edit->history.setPictureReleaser(
        [this](Dib &&picture) { retirePicture(std::move(picture)); });
    m_edit->history.reset(*m_elements, penColorRef(), m_lineWidth);
    m_edit->savedId = m_edit->history.stateId();
    m_edit->recoveryTimer.setSingleShot(true);
    connect(&m_edit->recoveryTimer, &QTimer::timeout, this, &TMainForm::writeRecovery);
    m_edit->sinceRecoveryWrite.start();
    createEditMenu();
    createEditToolBar();
    createShortcuts();
    createPictureMenu();
    createTraceCommands();
    connectReadout();
    createViewItems();
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

    auto *shortcutsFirst = new WindowShortcutsFirst(this);
    for (QAbstractSpinBox *field : findChildren<QAbstractSpinBox *>())
        field->installEventFilter(shortcutsFirst);
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
    zoomTo(std::clamp(next, zoomed->minimum(), zoomed->maximum()), true);
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
    pictureReplacedDuringTrace();
    if (m_edit)
        m_edit->history.pictureReplaced(std::move(m_picture), currentResolution());
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
    const double resolution = currentResolution();
    double restored = resolution;
    UndoDocument doc { *m_elements, m_picture, pen, width, m_dxfExportForm ? &restored : nullptr,
        &m_elementIndex };
    if (!(back ? m_edit->history.undo(doc) : m_edit->history.redo(doc)))
        return;
    // The dialog's width field follows the picture whenever the dialog is shown.
    if (m_dxfExportForm && restored != resolution)
        m_dxfExportForm->setResolution(restored, m_picture.width());
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
