#include "app/TTranslateForm.h"

TTranslateForm::TTranslateForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TranslateForm"));
    setWindowTitle(QStringLiteral("Übersetzen"));
}
