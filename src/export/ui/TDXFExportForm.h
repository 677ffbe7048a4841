#pragma once

#include "export/DxfExportParams.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QRadioButton;
class QSpinBox;

// The DXF export settings: pieces per curve for the CNC export, the picture's size as a width in
// millimetres or as a resolution, and the unit of the DXF coordinates. Both exports read these
// values through params(); the dialog never starts an export. Edits take effect at once and
// closing never reverts them. The remembered values live in the settings group "TDXFExportForm".
class TDXFExportForm : public QDialog
{
    Q_OBJECT

public:
    explicit TDXFExportForm(QWidget *parent = nullptr);
    ~TDXFExportForm() override;

    // The values as the fields show them (2 decimals for the width, 8 for the resolution).
    DxfExportParams params() const;

    // Recomputes the width field from the resolution for a picture of this many pixels; the main
    // window calls it with the current picture's width whenever it shows the dialog.
    void refreshWidth(int pictureWidth);
    int pictureWidth() const { return m_pictureWidth; }
    // Sets the resolution as if typed into DPIED (the field clamps it and the width follows,
    // for a picture of this many pixels) and remembers it at once, so that a crash cannot lose
    // a resolution the user has measured.
    void setResolution(double dpi, int pictureWidth);

    QSpinBox *DivideEd;
    QDoubleSpinBox *BreitEdValue;
    QRadioButton *DXFismmCheck;
    QRadioButton *DXFisZollCheck;
    QDoubleSpinBox *DPIED;
    // Whether a loaded picture that declares its resolution sets DPIED; users who calibrate
    // by hand turn it off.
    QCheckBox *BildDPICheck;

public slots:
    void DPIEDChange();
    void BreitEdValueChange();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void loadSettings();
    void saveSettings() const;

    int m_pictureWidth = 320;
    // Keeps the two coupled fields from updating each other in a loop.
    bool Updating = false;
    // Whether the dialog has been on screen in this run; only then is its placement worth
    // keeping.
    bool m_shown = false;
};
