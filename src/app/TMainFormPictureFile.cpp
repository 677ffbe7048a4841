// Reading a picture file for the main window: PDF pages, and the resolution a picture brings.
#include "app/TMainForm.h"
#include "app/TMainFormEditState.h"
#include "export/ui/TDXFExportForm.h"
#include "raster/PictureResolution.h"

#include <QCheckBox>
#include <QStatusBar>

namespace {

constexpr int NoteMs = 10000;

} // namespace

Dib TMainForm::readPictureFile(const QString &fileName, bool &cancelled, double &chosenDpi)
{
    cancelled = false;
    chosenDpi = 0;
    if (!PdfFile::looksLikePdf(fileName))
        return Dib::open(fileName);
    const PdfFile pdf(fileName);
    if (!pdf.readable())
        return {};
    const std::optional<PdfPageChoice> choice = m_edit && m_edit->prompts.askPdfPage
        ? m_edit->prompts.askPdfPage(this, pdf)
        : EditPrompts::standard().askPdfPage(this, pdf);
    if (!choice) {
        cancelled = true;
        return {};
    }
    Dib page = pdf.render(*choice);
    if (!page.isNull())
        chosenDpi = choice->dpi;
    return page;
}

void TMainForm::takePictureResolution(double chosenDpi)
{
    if (!m_dxfExportForm)
        return;
    // A PDF page was drawn at the resolution the user chose just now, so it is always taken;
    // what a file declares only while the DXF settings allow it.
    std::optional<double> dpi;
    if (chosenDpi > 0)
        dpi = chosenDpi;
    else if (m_dxfExportForm->BildDPICheck->isChecked())
        dpi = declaredResolution(m_picture.rec());
    if (!dpi)
        return;
    m_dxfExportForm->setResolution(*dpi, m_picture.width());
    StatusBar1->showMessage(
        editaids::tr8("Auflösung aus dem Bild übernommen: %1 DPI").arg(*dpi, 0, 'g', 10), NoteMs);
}
