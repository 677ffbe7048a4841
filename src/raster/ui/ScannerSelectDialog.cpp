#include "raster/ui/ScannerSelectDialog.h"

#include "i18n/Translator.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

ScannerSelectDialog::ScannerSelectDialog(
    const ScannerList &scanners, const QString &current, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ScannerSelectDialog"));
    setWindowTitle(translateText(QStringLiteral("Scanner wählen")));
    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Qt's own button captions are English; these go through the table like every other text.
    buttons->button(QDialogButtonBox::Ok)->setText(translateText(QStringLiteral("OK")));
    buttons->button(QDialogButtonBox::Cancel)->setText(translateText(QStringLiteral("Abbrechen")));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    if (scanners.devices.empty()) {
        QString text = translateText(QStringLiteral("Es wurde kein Scanner gefunden. Bitte "
                                                    "schließen Sie einen Scanner an und schalten "
                                                    "Sie ihn ein."));
        if (!scanners.error.isEmpty())
            text += QLatin1Char('\n') + scanners.error;
        auto *label = new QLabel(text, this);
        label->setObjectName(QStringLiteral("NoScannerLabel"));
        label->setWordWrap(true);
        layout->addWidget(label);
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    } else {
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("ScannerList"));
        for (const ScannerDevice &d : scanners.devices) {
            auto *item = new QListWidgetItem(
                QStringLiteral("%1 %2 (%3)").arg(d.vendor, d.model, d.name), m_list);
            item->setData(Qt::UserRole, d.name);
            if (d.name == current)
                m_list->setCurrentItem(item);
        }
        if (!m_list->currentItem())
            m_list->setCurrentRow(0);
        connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
        layout->addWidget(m_list);
    }
    layout->addWidget(buttons);
}

QString ScannerSelectDialog::selectedDevice() const
{
    if (!m_list || !m_list->currentItem())
        return {};
    return m_list->currentItem()->data(Qt::UserRole).toString();
}
