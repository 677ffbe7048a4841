#include "print/ui/PrinterSetup.h"

#include "i18n/Translator.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

bool runPrinterSetup(QWidget *parent, QPrinter &printer)
{
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        QPageSetupDialog dialog(&printer, parent);
        dialog.setWindowTitle(translateText(QStringLiteral("Drucker einrichten")));
        return dialog.exec() == QDialog::Accepted;
    }
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(translateText(QStringLiteral("Drucker einrichten")));
    // Only the printer and its settings are chosen here: the page range and copies belong to
    // no print yet.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    return dialog.exec() == QDialog::Accepted;
}
