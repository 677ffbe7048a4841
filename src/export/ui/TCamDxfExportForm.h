#pragma once

#include "export/CamDxfExport.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;

// The few choices of the DXF for CAD and CAM programs, asked before each export: how far the
// arcs may leave the curves, and whether curves stay splines for CAD users who edit them. The
// scale comes from the DXF export settings. The values are remembered in the settings group
// "TCamDxfExportForm" when the user confirms them.
class TCamDxfExportForm : public QDialog
{
    Q_OBJECT

public:
    explicit TCamDxfExportForm(QWidget *parent = nullptr);

    // The tolerance in millimetres as the field shows it, and the spline choice.
    double toleranceMm() const;
    bool splines() const;

    QDoubleSpinBox *ToleranceEd;
    QCheckBox *SplinesCheck;

    void accept() override;
};
