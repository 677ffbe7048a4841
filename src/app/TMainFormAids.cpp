// The main window's editing aids, second part: the recovery file written in the background,
// the resolution from two picked points, lightening the picture on screen, recent files and
// dropped files.

#include "app/TMainFormEditState.h"
#include "export/ui/TDXFExportForm.h"
#include "raster/ui/PdfPageDialog.h"
#include "tools/PointSnapping.h"
#include "view/ui/TPaintBox.h"

#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QUrl>
#include <algorithm>
#include <cstring>

using namespace editaids;

namespace {

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
    p.askPdfPage = ::askPdfPage;
    p.askPoint = askPointDialog;
    return p;
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
    // These dialog texts join the window texts of a run in another language; in German the
    // windows are not walked, and neither are they, so a German start adds no records for them.
    if (m_languageIndex != 0) {
        for (const char *text : { ScaleCaption, ScaleLabel, ScaleSamePoint, RecoveryCaption,
                 RecoveryText, RestoreButton, DiscardButton })
            tr8(text);
    }
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
        snapPoint(*m_elements, event.canvas, zoom(), p, &m_elementIndex);
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
