#include "export/ui/TDXFExportForm.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace {

const QString Group = QStringLiteral("TDXFExportForm");

// A field under its caption with its unit to the right.
void addField(
    QGridLayout *grid, int &row, const QString &caption, QWidget *field, const QString &unit)
{
    grid->addWidget(new QLabel(caption), row++, 0, 1, 2);
    grid->addWidget(field, row, 0);
    grid->addWidget(new QLabel(unit), row++, 1);
}

} // namespace

TDXFExportForm::TDXFExportForm(QWidget *parent)
    : QDialog(parent)
    , DivideEd(new QSpinBox(this))
    , BreitEdValue(new QDoubleSpinBox(this))
    , DXFismmCheck(new QRadioButton(QStringLiteral("DXF Ausgabe in mm"), this))
    , DXFisZollCheck(new QRadioButton(QStringLiteral("DXF Ausgabe in Zoll"), this))
    , DPIED(new QDoubleSpinBox(this))
    , BildDPICheck(new QCheckBox(QStringLiteral("Auflösung aus dem Bild übernehmen"), this))
{
    setObjectName(QStringLiteral("TDXFExportForm"));
    setWindowTitle(QStringLiteral("DXF Export"));
    DivideEd->setObjectName(QStringLiteral("DivideEd"));
    BreitEdValue->setObjectName(QStringLiteral("BreitEdValue"));
    DXFismmCheck->setObjectName(QStringLiteral("DXFismmCheck"));
    DXFisZollCheck->setObjectName(QStringLiteral("DXFisZollCheck"));
    DPIED->setObjectName(QStringLiteral("DPIED"));
    BildDPICheck->setObjectName(QStringLiteral("BildDPICheck"));
    BildDPICheck->setChecked(true);

    // Numbers show and read with a point whatever the user's locale, as everywhere in the files.
    for (QAbstractSpinBox *box :
        { static_cast<QAbstractSpinBox *>(DivideEd), static_cast<QAbstractSpinBox *>(BreitEdValue),
            static_cast<QAbstractSpinBox *>(DPIED) })
        box->setLocale(QLocale::c());

    DivideEd->setRange(DxfExportParams::MinPieces, DxfExportParams::MaxPieces);
    DivideEd->setValue(4);
    BreitEdValue->setDecimals(2);
    BreitEdValue->setRange(-1e12, 1e12);
    BreitEdValue->setValue(4);
    DPIED->setDecimals(8);
    DPIED->setRange(DxfExportParams::MinDpi, DxfExportParams::MaxDpi);
    DPIED->setValue(72);
    DXFismmCheck->setChecked(true);

    auto *grid = new QGridLayout;
    int row = 0;
    addField(grid, row, QStringLiteral("Splines teilen in:"), DivideEd,
        QStringLiteral("Kreisbögen/Linien"));
    addField(grid, row, QStringLiteral("Breite der Vorlage:"), BreitEdValue, QStringLiteral("mm"));
    grid->addWidget(DXFismmCheck, row++, 0, 1, 2);
    grid->addWidget(DXFisZollCheck, row++, 0, 1, 2);
    addField(grid, row, QStringLiteral("Auflösung der Vorlage:"), DPIED, QStringLiteral("DPI"));
    grid->addWidget(BildDPICheck, row++, 0, 1, 2);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKBtn"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(line);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    loadSettings();
    connect(DPIED, &QDoubleSpinBox::valueChanged, this, &TDXFExportForm::DPIEDChange);
    connect(BreitEdValue, &QDoubleSpinBox::valueChanged, this, &TDXFExportForm::BreitEdValueChange);
}

TDXFExportForm::~TDXFExportForm()
{
    saveSettings();
}

DxfExportParams TDXFExportForm::params() const
{
    DxfExportParams p;
    p.dpi = DPIED->value();
    p.millimetres = DXFismmCheck->isChecked();
    p.pieces = DivideEd->value();
    return p;
}

void TDXFExportForm::refreshWidth(int pictureWidth)
{
    m_pictureWidth = pictureWidth;
    DPIEDChange();
}

void TDXFExportForm::setResolution(double dpi, int pictureWidth)
{
    m_pictureWidth = pictureWidth;
    DPIED->setValue(dpi);
    // An unchanged value sends no change, but the width may belong to another picture.
    DPIEDChange();
    saveSettings();
}

void TDXFExportForm::DPIEDChange()
{
    if (Updating)
        return;
    Updating = true;
    const double r = DPIED->value();
    if (r != 0) {
        const double width = m_pictureWidth * DxfExportParams::MillimetresPerInch / r;
        // A result that is not a number leaves the field as it was.
        if (std::isfinite(width))
            BreitEdValue->setValue(width);
    }
    Updating = false;
}

void TDXFExportForm::BreitEdValueChange()
{
    if (Updating)
        return;
    Updating = true;
    const double b = BreitEdValue->value();
    if (b != 0) {
        const double dpi = m_pictureWidth * DxfExportParams::MillimetresPerInch / b;
        if (std::isfinite(dpi))
            DPIED->setValue(dpi); // the field holds it to 1..10000
    }
    Updating = false;
}

void TDXFExportForm::showEvent(QShowEvent *event)
{
    m_shown = true;
    QDialog::showEvent(event);
}

void TDXFExportForm::hideEvent(QHideEvent *event)
{
    saveSettings();
    QDialog::hideEvent(event);
}

void TDXFExportForm::loadSettings()
{
    QSettings settings;
    settings.beginGroup(Group);
    bool ok = false;
    const double dpi = settings.value(QStringLiteral("DPIED.Value")).toDouble(&ok);
    if (ok)
        DPIED->setValue(dpi);
    const int pieces = settings.value(QStringLiteral("DivideEd.Value")).toInt(&ok);
    if (ok)
        DivideEd->setValue(pieces);
    if (settings.contains(QStringLiteral("DXFisZollCheck.Checked"))
        && settings.value(QStringLiteral("DXFisZollCheck.Checked")).toBool())
        DXFisZollCheck->setChecked(true);
    else if (settings.contains(QStringLiteral("DXFismmCheck.Checked")))
        DXFismmCheck->setChecked(true);
    BildDPICheck->setChecked(settings.value(QStringLiteral("BildDPICheck.Checked"), true).toBool());
    const QByteArray geometry = settings.value(QStringLiteral("Geometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void TDXFExportForm::saveSettings() const
{
    QSettings settings;
    settings.beginGroup(Group);
    settings.setValue(QStringLiteral("DPIED.Value"), DPIED->value());
    settings.setValue(QStringLiteral("DivideEd.Value"), DivideEd->value());
    settings.setValue(QStringLiteral("DXFismmCheck.Checked"), DXFismmCheck->isChecked());
    settings.setValue(QStringLiteral("DXFisZollCheck.Checked"), DXFisZollCheck->isChecked());
    settings.setValue(QStringLiteral("BildDPICheck.Checked"), BildDPICheck->isChecked());
    // A dialog that was never shown has no placement of its own yet (it would be the screen's
    // corner), so the one kept from an earlier run stays.
    if (m_shown)
        settings.setValue(QStringLiteral("Geometry"), saveGeometry());
}
