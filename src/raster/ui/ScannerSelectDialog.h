#pragma once

#include "raster/scan/SaneScanner.h"

#include <QDialog>

class QListWidget;

// Lists the scanners SANE found; with none, says so instead.
class ScannerSelectDialog : public QDialog
{
    Q_OBJECT

public:
    ScannerSelectDialog(const ScannerList &scanners, const QString &current, QWidget *parent);

    QString selectedDevice() const;

private:
    QListWidget *m_list = nullptr;
};
