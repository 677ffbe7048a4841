#include "app/TTraceForm.h"

#include "i18n/Translator.h"
#include "view/ui/FormStorage.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QString tr8(const char *text)
{
    return translateText(QString::fromUtf8(text));
}

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

TTraceForm::TTraceForm(QWidget *parent)
    : QDialog(parent)
    , KonturBtn(named(new QRadioButton(tr8("Kontur"), this), "KonturBtn"))
    , MittellinieBtn(named(new QRadioButton(tr8("Mittellinie"), this), "MittellinieBtn"))
    , AutoSchwelleCheck(named(new QCheckBox(tr8("automatisch"), this), "AutoSchwelleCheck"))
    , SchwelleEd(named(new QSpinBox(this), "SchwelleEd"))
    , FleckEd(named(new QSpinBox(this), "FleckEd"))
    , GlaetteEd(named(new QDoubleSpinBox(this), "GlaetteEd"))
    , ToleranzEd(named(new QDoubleSpinBox(this), "ToleranzEd"))
    , KreiseCheck(named(new QCheckBox(tr8("Kreise erkennen"), this), "KreiseCheck"))
    , ErgebnisLabel(named(new QLabel(this), "ErgebnisLabel"))
    , UebernehmenBtn(named(new QPushButton(tr8("Übernehmen"), this), "UebernehmenBtn"))
    , VerwerfenBtn(named(new QPushButton(tr8("Verwerfen"), this), "VerwerfenBtn"))
{
    setObjectName(QStringLiteral("TTraceForm"));
    setWindowTitle(tr8("Nachzeichnen"));
    setModal(false);

    const TraceSettings defaults;
    KonturBtn->setChecked(true);
    AutoSchwelleCheck->setChecked(true);
    SchwelleEd->setRange(0, 255);
    SchwelleEd->setValue(128);
    SchwelleEd->setEnabled(false);
    FleckEd->setRange(0, 100000);
    FleckEd->setValue(defaults.speckSize);
    // Numbers show and read with a point whatever the user's locale, as in the DXF settings.
    for (QDoubleSpinBox *field : { GlaetteEd, ToleranzEd }) {
        field->setLocale(QLocale::c());
        field->setDecimals(2);
    }
    GlaetteEd->setRange(0, 1.33);
    GlaetteEd->setSingleStep(0.1);
    GlaetteEd->setValue(defaults.alphaMax);
    ToleranzEd->setRange(0.05, 2);
    ToleranzEd->setSingleStep(0.05);
    ToleranzEd->setValue(defaults.ellipseRms);
    KreiseCheck->setChecked(defaults.recognizeCircles);
    UebernehmenBtn->setEnabled(false);
    VerwerfenBtn->setEnabled(false);
    ErgebnisLabel->setWordWrap(true);

    auto *modes = new QHBoxLayout;
    modes->addWidget(KonturBtn);
    modes->addWidget(MittellinieBtn);
    auto *threshold = new QHBoxLayout;
    threshold->addWidget(AutoSchwelleCheck);
    threshold->addWidget(SchwelleEd);
    auto *form = new QFormLayout;
    form->addRow(tr8("Art:"), modes);
    form->addRow(tr8("Schwelle:"), threshold);
    form->addRow(tr8("Flecken bis (Pixel):"), FleckEd);
    form->addRow(tr8("Glätte:"), GlaetteEd);
    form->addRow(tr8("Toleranz (Pixel):"), ToleranzEd);
    form->addRow(QString(), KreiseCheck);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(VerwerfenBtn);
    buttons->addWidget(UebernehmenBtn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ErgebnisLabel);
    layout->addLayout(buttons);

    connect(AutoSchwelleCheck, &QCheckBox::toggled, SchwelleEd,
        [this](bool automatic) { SchwelleEd->setEnabled(!automatic); });
    for (QRadioButton *b : { KonturBtn, MittellinieBtn })
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                emit settingsChanged();
        });
    for (QCheckBox *b : { AutoSchwelleCheck, KreiseCheck })
        connect(b, &QCheckBox::toggled, this, &TTraceForm::settingsChanged);
    for (QSpinBox *f : { SchwelleEd, FleckEd })
        connect(f, &QSpinBox::valueChanged, this, &TTraceForm::settingsChanged);
    for (QDoubleSpinBox *f : { GlaetteEd, ToleranzEd })
        connect(f, &QDoubleSpinBox::valueChanged, this, &TTraceForm::settingsChanged);
    connect(UebernehmenBtn, &QPushButton::clicked, this, &TTraceForm::acceptRequested);
    connect(VerwerfenBtn, &QPushButton::clicked, this, &TTraceForm::discardRequested);

    FormStorage1 = new FormStorage(this, QStringLiteral("TTraceForm"),
        { QStringLiteral("MittellinieBtn.Checked"), QStringLiteral("AutoSchwelleCheck.Checked"),
            QStringLiteral("SchwelleEd.Value"), QStringLiteral("FleckEd.Value"),
            QStringLiteral("GlaetteEd.Value"), QStringLiteral("ToleranzEd.Value"),
            QStringLiteral("KreiseCheck.Checked") },
        FormStorage::Placement::StateAndPosition);
    // The black-and-white view follows the remembered threshold before the dialog is shown.
    FormStorage1->restore();
}

TTraceForm::~TTraceForm()
{
    // The dialog goes with the main window without being closed. Never shown, it has no
    // placement of its own that would be worth keeping.
    if (m_shown)
        FormStorage1->save();
}

void TTraceForm::showEvent(QShowEvent *event)
{
    m_shown = true;
    QDialog::showEvent(event);
}

TraceSettings TTraceForm::settings() const
{
    TraceSettings s;
    s.mode = MittellinieBtn->isChecked() ? TraceSettings::Mode::Centerline
                                         : TraceSettings::Mode::Outline;
    s.threshold = threshold();
    s.speckSize = FleckEd->value();
    s.alphaMax = GlaetteEd->value();
    s.recognizeCircles = KreiseCheck->isChecked();
    // An ellipse may miss the outline anywhere by twice what it may miss it on average.
    s.ellipseRms = ToleranzEd->value();
    s.ellipseMax = 2 * ToleranzEd->value();
    return s;
}

int TTraceForm::threshold() const
{
    return AutoSchwelleCheck->isChecked() ? -1 : SchwelleEd->value();
}

void TTraceForm::showResult(const QString &text, bool canAccept)
{
    ErgebnisLabel->setText(text);
    UebernehmenBtn->setEnabled(canAccept);
    VerwerfenBtn->setEnabled(canAccept);
}
