// The main window's vector and picture exports besides DXF: the metafile, SVG, and the drawing
// saved as a picture with or without its background.

#include "app/ColorSwatch.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "export/EmfExport.h"
#include "export/PictureExport.h"
#include "export/SplineDxfExport.h"
#include "export/SvgExport.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/Translator.h"

#include <QGuiApplication>

namespace {

// Runs one of the window's save dialogs; the chosen name, remembered by the dialog, or an empty
// text when the user cancels.
QString chooseExportFile(TMainForm &form, const char *dialogName)
{
    auto *dialog = form.findChild<FileDialogComponent *>(QLatin1String(dialogName));
    const QString name = form.prompts().chooseFile(&form, *dialog);
    if (!name.isEmpty())
        dialog->setFileName(name);
    return name;
}

} // namespace

void TMainForm::saveasemf(const QString &fileName)
{
    EmfExportSettings settings;
    settings.penColor = penColor();
    settings.lineWidth = m_lineWidth;
    settings.zoom = zoom();
    settings.device = screenReferenceDevice(QGuiApplication::primaryScreen());
    const ExportResult result = ::saveasemf(*m_elements, settings, fileName);
    // The metafile reports a file it cannot create with the same words as the spline export.
    if (!result.ok) {
        m_prompts.showError(this,
            translateText(QString::fromUtf8(SplineDxfResult::CannotCreateText))
                .replace(QLatin1String("%s"), fileName));
    }
}

void TMainForm::saveSvg(const QString &fileName)
{
    SvgExportSettings settings;
    settings.pictureWidth = m_picture.width();
    settings.pictureHeight = m_picture.height();
    settings.penColor = penColor();
    settings.lineWidth = m_lineWidth;
    settings.params = dxfParams();
    const ExportResult result = ::saveSvg(*m_elements, settings, fileName);
    if (!result.ok)
        m_prompts.showMessage(this, result.message());
}

void TMainForm::savePicture(const QString &fileName, bool withPicture)
{
    PictureExportSettings settings;
    settings.picture = &m_picture.rec();
    settings.withPicture = withPicture;
    settings.penColor = penColor();
    settings.lineWidth = m_lineWidth;
    const ExportResult result = ::savePicture(*m_elements, settings, fileName);
    if (!result.ok)
        m_prompts.showMessage(this, result.message());
}

void TMainForm::LinienalsDXFexportieren1Click()
{
    const QString name = chooseExportFile(*this, "SaveDialog4");
    if (!name.isEmpty())
        saveasemf(name);
}

void TMainForm::LinienalsSVGspeichern1Click()
{
    const QString name = chooseExportFile(*this, "SaveDialog2");
    if (!name.isEmpty())
        saveSvg(name);
}

void TMainForm::AlsBildspeichern1Click()
{
    const QString name = chooseExportFile(*this, "SaveDialog1");
    if (!name.isEmpty())
        savePicture(name, true);
}

void TMainForm::AlsBildspeichernnurLinien1Click()
{
    const QString name = chooseExportFile(*this, "SaveDialog1");
    if (!name.isEmpty())
        savePicture(name, false);
}
