#pragma once

#include "trace/TraceSettings.h"

#include <QDialog>

class FormStorage;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// The settings of the automatic tracing and what the last trace found. The dialog stays open
// beside the drawing: the main window shows each trace as a preview over the picture and
// appends it to the document when the user presses "Übernehmen". Its values are remembered
// between runs in the settings group "TTraceForm".
class TTraceForm : public QDialog
{
    Q_OBJECT

public:
    explicit TTraceForm(QWidget *parent = nullptr);
    ~TTraceForm() override;

    // The settings as the fields stand.
    TraceSettings settings() const;
    // The grey level typed in, or -1 while the threshold is automatic.
    int threshold() const;
    // Shows what the last trace found, and whether there is a preview to take over.
    void showResult(const QString &text, bool canAccept);

    QRadioButton *KonturBtn;
    QRadioButton *MittellinieBtn;
    QCheckBox *AutoSchwelleCheck;
    QSpinBox *SchwelleEd;
    QSpinBox *FleckEd;
    QDoubleSpinBox *GlaetteEd;
    QDoubleSpinBox *ToleranzEd;
    QCheckBox *KreiseCheck;
    QLabel *ErgebnisLabel;
    QPushButton *UebernehmenBtn;
    QPushButton *VerwerfenBtn;

signals:
    // A field changed: a preview made with the old values is out of date.
    void settingsChanged();
    void acceptRequested();
    void discardRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    FormStorage *FormStorage1 = nullptr;
    bool m_shown = false;
};
