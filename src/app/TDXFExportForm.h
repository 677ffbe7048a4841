#pragma once

#include <QDialog>

// The DXF export settings dialog, which holds the scale of both DXF exports. It is created at start-up and
// lives until the program ends; for now it is an empty window with its caption.
class TDXFExportForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDXFExportForm(QWidget *parent = nullptr);
};
