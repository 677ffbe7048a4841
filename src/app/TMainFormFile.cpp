// The main window's file operations: the project file, the two DXF exports with their
// settings, and scanning.

#include "app/ColorSwatch.h"
#include "app/FileDialogComponent.h"
#include "app/ProgressEvent.h"
#include "app/TMainForm.h"
#include "document/ProjectFile.h"
#include "export/CamDxfExport.h"
#include "export/CncDxfExport.h"
#include "export/SplineDxfExport.h"
#include "export/ui/TCamDxfExportForm.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/MessageTable.h"
#include "i18n/Translator.h"
#include "raster/scan/ScanDelivery.h"
#include "raster/ui/ScanLibrary.h"

#include <QAction>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>

namespace {

QColor fromColorRef(std::uint32_t ref)
{
    return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
        static_cast<int>((ref >> 16) & 0xFF));
}

} // namespace

void TMainForm::connectFileMenu()
{
    auto connectItem = [this](const char *name, void (TMainForm::*handler)()) {
        QAction *a = findChild<QAction *>(QLatin1String(name));
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    connectItem("Projektffnen1", &TMainForm::Projektffnen1Click);
    connectItem("Projektspeichern1", &TMainForm::Projektspeichern1Click);
    connectItem("LinienalsDXFexportieren2", &TMainForm::LinienalsDXFexportieren2Click);
    QAction *cnc = connectItem("LinienDXFfrCNCexportierenKreisbgenkeineSplines1",
        &TMainForm::LinienDXFfrCNCexportierenKreisbgenkeineSplines1Click);
    connectItem("Scannen1", &TMainForm::Scannen1Click);
    connectItem("Scannerwhlen1", &TMainForm::Scannerwhlen1Click);

    // The DXF for CAD and CAM programs follows the two DXF exports, and the DXF settings, which
    // would otherwise be out of reach, follow all three.
    QMenu *datei = menuBar()->findChild<QMenu *>(QStringLiteral("Datei1"));
    auto insertAfter = [datei](QAction *before, QAction *a) {
        const QList<QAction *> items = datei->actions();
        const qsizetype at = items.indexOf(before);
        datei->insertAction(at + 1 < items.size() ? items.at(at + 1) : nullptr, a);
    };
    QAction *cam =
        action("DXFfrCADCAMexportieren1", QStringLiteral("DXF für CAD/CAM exportieren..."));
    insertAfter(cnc, cam);
    connect(cam, &QAction::triggered, this, &TMainForm::DXFfrCADCAMexportieren1Click);
    QAction *settings =
        action("DXFExportEinstellungen1", QStringLiteral("DXF Export Einstellungen..."));
    insertAfter(cam, settings);
    connect(settings, &QAction::triggered, this, &TMainForm::DXFExportEinstellungen1Click);
}

std::uint32_t TMainForm::penColorRef() const
{
    const QColor c = penColor();
    return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8
        | static_cast<std::uint32_t>(c.blue()) << 16;
}

std::function<void(int)> TMainForm::startProgress(const QString &label)
{
    endProgress();
    m_progress = new QProgressDialog(label, QString(), 0, 100, this);
    m_progress->setObjectName(QStringLiteral("ProjectProgress"));
    m_progress->setCancelButton(nullptr);
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(500);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    return [this](int percent) {
        ProgressEvent event(percent);
        QCoreApplication::sendEvent(this, &event);
    };
}

void TMainForm::endProgress()
{
    delete m_progress;
    m_progress = nullptr;
}

void TMainForm::ProjectProgressEvent(int percent)
{
    // The closing 0 would only make the bar jump back before the dialog goes.
    if (m_progress && percent > 0)
        m_progress->setValue(percent);
}

void TMainForm::saveprojekt(const QString &fileName)
{
    const auto progress =
        startProgress(translateText(QStringLiteral("Projekt wird gespeichert...")));
    // The file is written beside the target and replaces it only when complete, so a failed
    // save leaves the previous project as it was.
    const bool saved = saveProjectFile(
        fileName, *m_elements, m_picture.rec(), penColorRef(), m_lineWidth, progress);
    endProgress();
    if (!saved)
        m_prompts.showMessage(this, messageText(10));
    else
        projectSaved(fileName);
}

void TMainForm::openprojekt(const QString &fileName)
{
    const auto progress = startProgress(translateText(QStringLiteral("Projekt wird geöffnet...")));
    ProjectLoad load = loadProjectFile(fileName, progress);
    endProgress();
    // The whole file is read and checked before anything of the open document changes.
    if (!load.result.ok) {
        // When memory ran out the store has said so already; the open document stays.
        if (!load.result.outOfMemory)
            m_prompts.showMessage(this, messageText(11));
        return;
    }
    ProjectContents &c = load.result.contents;

    // The records were read straight into a store of their own, which becomes the document's.
    c.elements->BindCursor(&CurElement);
    m_elements = std::move(c.elements);
    // A chain being drawn goes on as it was; chains carried by an area move are put down.
    documentReplaced();
    replacePicture(std::move(c.picture));
    Shape1->setBrushColor(fromColorRef(c.penColor));
    // The document keeps the width exactly as read, even outside the field's range, so that
    // the editor draws and saves it as linovex-export does. WidthEd shows the nearest value it
    // can; only a change the user makes in the field becomes the document's width.
    m_lineWidth = c.lineWidth;
    {
        const QSignalBlocker block(WidthEd);
        WidthEd->setValue(m_lineWidth);
    }
    projectOpened(fileName);
    Repaint();
}

void TMainForm::Projektffnen1Click()
{
    auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("OpenDialog2"));
    const QString name = m_prompts.chooseFile(this, *dialog);
    if (name.isEmpty())
        return;
    dialog->setFileName(name);
    openprojekt(name);
}

void TMainForm::Projektspeichern1Click()
{
    auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("SaveDialog3"));
    const QString name = m_prompts.chooseFile(this, *dialog);
    if (name.isEmpty())
        return;
    dialog->setFileName(name);
    saveprojekt(name);
}

DxfExportParams TMainForm::dxfParams() const
{
    return m_dxfExportForm ? m_dxfExportForm->params() : DxfExportParams {};
}

void TMainForm::savedxf(const QString &fileName)
{
    const SplineDxfResult result = SplineDxfExport::savedxf(*m_elements, dxfParams(), fileName);
    if (!result.ok) {
        m_prompts.showError(this,
            result.message(translateText(QString::fromUtf8(SplineDxfResult::CannotCreateText))));
    }
}

void TMainForm::savedxfArc(const QString &fileName)
{
    const ExportResult result = ::savedxfArc(*m_elements, dxfParams(), fileName);
    if (!result.ok)
        m_prompts.showMessage(this, result.message());
}

void TMainForm::savedxfCam(const QString &fileName, double toleranceMm, bool splines)
{
    CamDxfSettings settings;
    settings.params = dxfParams();
    settings.toleranceMm = toleranceMm;
    settings.splines = splines;
    settings.pictureHeight = m_picture.height();
    const ExportResult result = ::savedxfCam(*m_elements, settings, fileName);
    if (!result.ok)
        m_prompts.showMessage(this, result.message());
}

void TMainForm::LinienalsDXFexportieren2Click()
{
    auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("SaveDialog5"));
    const QString name = m_prompts.chooseFile(this, *dialog);
    if (name.isEmpty())
        return;
    dialog->setFileName(name);
    savedxf(name);
}

void TMainForm::LinienDXFfrCNCexportierenKreisbgenkeineSplines1Click()
{
    auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("SaveDialog5"));
    const QString name = m_prompts.chooseFile(this, *dialog);
    if (name.isEmpty())
        return;
    dialog->setFileName(name);
    savedxfArc(name);
}

void TMainForm::DXFfrCADCAMexportieren1Click()
{
    TCamDxfExportForm options(this);
    m_prompts.runModal(&options);
    if (options.result() != QDialog::Accepted)
        return;
    auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("SaveDialog5"));
    const QString name = m_prompts.chooseFile(this, *dialog);
    if (name.isEmpty())
        return;
    dialog->setFileName(name);
    savedxfCam(name, options.toleranceMm(), options.splines());
}

void TMainForm::DXFExportEinstellungen1Click()
{
    if (!m_dxfExportForm)
        return;
    // The width follows the picture that is open now, which may have changed since the
    // resolution was last set.
    m_dxfExportForm->refreshWidth(m_picture.width());
    m_prompts.runModal(m_dxfExportForm);
    // Rulers in the exports' unit follow a new resolution or unit.
    updateRulers();
}

void TMainForm::Scannerwhlen1Click()
{
    TWAIN_SelectScanner(this);
}

void TMainForm::Scannen1Click()
{
    TWAIN_ScanImage(this);
}

void TMainForm::WMUser2(std::uintptr_t wParam)
{
    TDibRec rec;
    GetScanedDib(rec, wParam);
    Dib fresh(rec);
    // A scan that delivered nothing changes nothing and says nothing.
    if (fresh.isNull())
        return;
    replacePicture(std::move(fresh));
    changeCompleted();
    Repaint();
}
