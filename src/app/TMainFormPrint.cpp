// The main window's print items: printer set-up, and printing the picture with the drawing or
// the drawing alone through the print preview dialog.

#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "export/DxfExportParams.h"
#include "i18n/MessageTable.h"
#include "i18n/Translator.h"
#include "print/PrintJob.h"
#include "print/TrueSizePrint.h"
#include "print/ui/TPrintForm.h"

#include <QAction>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

void TMainForm::connectPrintMenu()
{
    auto connectItem = [this](const char *name, void (TMainForm::*handler)()) {
        connect(findChild<QAction *>(QLatin1String(name)), &QAction::triggered, this, handler);
    };
    connectItem("Druckereinrichten1", &TMainForm::Druckereinrichten1Click);
    connectItem("Drucken1", &TMainForm::Drucken1Click);
    connectItem("DruckenohneBild1", &TMainForm::DruckenohneBild1Click);

    // Without an installed printer a print becomes a PDF file, whose name this dialog asks for.
    auto *pdf = new FileDialogComponent(QStringLiteral("PrintToFileDialog"),
        FileDialogComponent::Mode::Save, QStringLiteral(".pdf"),
        FileDialogComponent::OverwritePrompt | FileDialogComponent::HideReadOnly
            | FileDialogComponent::PathMustExist | FileDialogComponent::EnableSizing,
        this);
    pdf->setFilterPairs(QStringLiteral("PDF-Dateien (*.pdf)|*.pdf"));
}

void TMainForm::Druckereinrichten1Click()
{
    // The result is not looked at: the settings the user confirmed are in the printer.
    if (m_printForm && m_printForm->printerSetup)
        m_printForm->printerSetup(this, m_printForm->printer());
}

void TMainForm::Drucken1Click()
{
    printDrawing(true);
}

void TMainForm::DruckenohneBild1Click()
{
    printDrawing(false);
}

void TMainForm::printDrawing(bool withPicture)
{
    if (!m_printForm)
        return;
    // What is printed is what the picture export would save: the drawing at 100 % over the
    // picture or over white, at the picture's size.
    const Dib page =
        composePrintPicture(m_picture.rec(), *m_elements, penColor(), m_lineWidth, withPicture);
    if (page.isNull()) {
        m_prompts.showError(
            this, translateText(QStringLiteral("Das Druckbild konnte nicht erstellt werden.")));
        return;
    }

    m_printForm->PreviewDib = page.rec();
    // A print at true size has the drawing as large as the DXF exports make it.
    m_printForm->TrueSizePixelsPerMm =
        dxfParams().effectiveDpi() / DxfExportParams::MillimetresPerInch;
    m_printForm->setResult(QDialog::Rejected);
    m_prompts.runModal(m_printForm);
    // The record goes with `page` when this handler returns; the dialog must not keep it.
    m_printForm->PreviewDib = {};
    if (m_printForm->result() != QDialog::Accepted)
        return;
    const TPrintChoices choices = m_printForm->choices();
    if (!choices.TrueSize) {
        printPage(page.rec(), choices);
        return;
    }
    const TTrueSizeDrawing drawing { &m_picture.rec(), withPicture, m_elements.get(), penColor(),
        m_lineWidth, m_printForm->TrueSizePixelsPerMm };
    printTrueSize(drawing, choices.ZentrCheck);
}

void TMainForm::printTrueSize(const TTrueSizeDrawing &drawing, bool centre)
{
    if (trueSizePagesFor(m_printForm->printer(), drawing, centre).count() > MaxTrueSizePages) {
        m_prompts.showError(this,
            translateText(QStringLiteral("Die Zeichnung braucht im Maßstab 1:1 zu viele Seiten.")));
        return;
    }
    sendPrint([&](QPainter &painter, QPagedPaintDevice &device) {
        return paintTrueSizePages(
            painter, device, drawing, trueSizePagesFor(device, drawing, centre));
    });
}

void TMainForm::printPage(const TDibRec &page, const TPrintChoices &choices)
{
    sendPrint([&](QPainter &painter, QPagedPaintDevice &device) {
        paintPrintedPage(painter, QSize(device.width(), device.height()), page, choices);
        return true;
    });
}

void TMainForm::sendPrint(const std::function<bool(QPainter &, QPagedPaintDevice &)> &paint)
{
    QPrinter &printer = m_printForm->printer();
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        auto *dialog = findChild<FileDialogComponent *>(QStringLiteral("PrintToFileDialog"));
        if (dialog->fileName().isEmpty())
            dialog->setFileName(printer.outputFileName());
        const QString name = m_prompts.chooseFile(this, *dialog);
        if (name.isEmpty())
            return;
        dialog->setFileName(name);
        const TPrintResult result = printPdfFile(name, printer.pageLayout(), printer.resolution(),
            [&](QPainter &painter, QPdfWriter &writer) { return paint(painter, writer); });
        if (!result.ok) {
            m_prompts.showError(
                this, messageText(result.messageNumber) + QLatin1Char(' ') + result.fileName);
        }
        return;
    }

    QPainter painter;
    if (!painter.begin(&printer)) {
        m_prompts.showError(
            this, translateText(QStringLiteral("Der Drucker konnte nicht gestartet werden.")));
        return;
    }
    paint(painter, printer);
    painter.end();
}
