#pragma once

class QPrinter;
class QWidget;

// The platform's printer set-up for `printer`: with installed printers the print dialog, in
// which the user picks the printer, its paper and orientation; without any, the page set-up of
// the PDF output. Nothing is printed here. True when the user confirmed.
bool runPrinterSetup(QWidget *parent, QPrinter &printer);
