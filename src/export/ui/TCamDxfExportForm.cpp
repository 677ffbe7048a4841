#include "export/ui/TCamDxfExportForm.h"

#include "i18n/Translator.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

const QString Group = QStringLiteral("TCamDxfExportForm");
const QString ToleranceKey = QStringLiteral("ToleranceEd.Value");
const QString SplinesKey = QStringLiteral("SplinesCheck.Checked");

} // namespace

TCamDxfExportForm::TCamDxfExportForm(QWidget *parent)
    : QDialog(parent)
    , ToleranceEd(new QDoubleSpinBox(this))
    , SplinesCheck(new QCheckBox(translateText(QStringLiteral("Kurven als Splines")), this))
{
    setObjectName(QStringLiteral("TCamDxfExportForm"));
    setWindowTitle(translateText(QStringLiteral("DXF für CAD/CAM")));
    ToleranceEd->setObjectName(QStringLiteral("ToleranceEd"));
    SplinesCheck->setObjectName(QStringLiteral("SplinesCheck"));

    // Numbers show and read with a point whatever the user's locale, as in the DXF settings.
    ToleranceEd->setLocale(QLocale::c());
    ToleranceEd->setDecimals(4);
    ToleranceEd->setSingleStep(0.01);
    ToleranceEd->setRange(CamDxfSettings::MinToleranceMm, CamDxfSettings::MaxToleranceMm);
    QSettings settings;
    settings.beginGroup(Group);
    ToleranceEd->setValue(
        settings.value(ToleranceKey, CamDxfSettings::DefaultToleranceMm).toDouble());
    SplinesCheck->setChecked(settings.value(SplinesKey, false).toBool());
    // Splines follow the curves exactly; the tolerance only applies to arcs.
    ToleranceEd->setEnabled(!SplinesCheck->isChecked());
    connect(SplinesCheck, &QCheckBox::toggled, ToleranceEd,
        [this](bool checked) { ToleranceEd->setEnabled(!checked); });

    auto *grid = new QGridLayout;
    grid->addWidget(
        new QLabel(translateText(QStringLiteral("Toleranz der Kreisbögen:"))), 0, 0, 1, 2);
    grid->addWidget(ToleranceEd, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("mm")), 1, 1);
    grid->addWidget(SplinesCheck, 2, 0, 1, 2);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));
    buttons->button(QDialogButtonBox::Cancel)->setText(translateText(QStringLiteral("Abbrechen")));
    connect(buttons, &QDialogButtonBox::accepted, this, &TCamDxfExportForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

double TCamDxfExportForm::toleranceMm() const
{
    return ToleranceEd->value();
}

bool TCamDxfExportForm::splines() const
{
    return SplinesCheck->isChecked();
}

void TCamDxfExportForm::accept()
{
    QSettings settings;
    settings.beginGroup(Group);
    settings.setValue(ToleranceKey, ToleranceEd->value());
    settings.setValue(SplinesKey, SplinesCheck->isChecked());
    QDialog::accept();
}
