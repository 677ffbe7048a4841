#include "raster/ui/PdfPageDialog.h"

#include "i18n/Translator.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

namespace {

const QString DpiKey = QStringLiteral("PdfPageDialog/Dpi");
const QString ColourKey = QStringLiteral("PdfPageDialog/Colour");

} // namespace

std::optional<PdfPageChoice> askPdfPage(QWidget *parent, const PdfFile &file)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PdfPageDialog"));
    dialog.setWindowTitle(translateText(QStringLiteral("PDF-Seite laden")));

    auto *page = new QSpinBox(&dialog);
    page->setObjectName(QStringLiteral("PageEd"));
    page->setRange(1, std::max(1, file.pageCount()));
    page->setEnabled(file.pageCount() > 1);
    auto *dpi = new QSpinBox(&dialog);
    dpi->setObjectName(QStringLiteral("DpiEd"));
    dpi->setRange(static_cast<int>(PdfFile::MinDpi), static_cast<int>(PdfFile::MaxDpi));
    QSettings settings;
    dpi->setValue(settings.value(DpiKey, 300).toInt());
    auto *colour = new QCheckBox(translateText(QStringLiteral("Farbig")), &dialog);
    colour->setObjectName(QStringLiteral("ColourCheck"));
    colour->setChecked(settings.value(ColourKey, false).toBool());

    // The size of the chosen page tells the user how large the picture will be.
    auto *size = new QLabel(&dialog);
    const auto showSize = [&] {
        const QSizeF mm = file.pageSizeMm(page->value() - 1);
        const double perMm = dpi->value() / 25.4;
        size->setText(QStringLiteral("%1 × %2 mm, %3 × %4 %5")
                          .arg(qRound(mm.width()))
                          .arg(qRound(mm.height()))
                          .arg(qRound(mm.width() * perMm))
                          .arg(qRound(mm.height() * perMm))
                          .arg(translateText(QStringLiteral("Pixel"))));
    };
    showSize();
    QObject::connect(page, &QSpinBox::valueChanged, &dialog, showSize);
    QObject::connect(dpi, &QSpinBox::valueChanged, &dialog, showSize);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(translateText(QStringLiteral("OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(translateText(QStringLiteral("Abbrechen")));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    auto *form = new QFormLayout(&dialog);
    form->addRow(translateText(QStringLiteral("Seite:")), page);
    form->addRow(translateText(QStringLiteral("Auflösung (DPI):")), dpi);
    form->addRow(colour);
    form->addRow(size);
    form->addRow(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    settings.setValue(DpiKey, dpi->value());
    settings.setValue(ColourKey, colour->isChecked());
    return PdfPageChoice { page->value() - 1, static_cast<double>(dpi->value()),
        colour->isChecked() };
}
