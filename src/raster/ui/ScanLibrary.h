#pragma once

#include <QString>

class QWidget;

// The scanning commands of the main window. The chosen scanner is remembered between runs.

// Lets the user choose the scanner for later scans. Returns false when the user cancelled or
// no scanner was found (the dialog says so).
bool TWAIN_SelectScanner(QWidget *owner);

// Scans one page with the chosen scanner behind a cancellable progress dialog and posts the
// picture to `receiver` as a ScanEvent (QEvent::User + 1), whose handler takes it with
// GetScanedDib. A scan that delivers nothing posts nothing.
void TWAIN_ScanImage(QWidget *receiver);

// The remembered scanner's SANE device name, empty when none was chosen yet.
QString chosenScanner();
void setChosenScanner(const QString &deviceName);
