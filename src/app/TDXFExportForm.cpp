#include "app/TDXFExportForm.h"

TDXFExportForm::TDXFExportForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DXFExportForm"));
    setWindowTitle(QStringLiteral("DXF Export"));
}
