#include "app/TPrintForm.h"

TPrintForm::TPrintForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("PrintForm"));
    setWindowTitle(QStringLiteral("Bild drucken..."));
}
