#include "raster/ui/ScanLibrary.h"

#include "i18n/Translator.h"
#include "raster/scan/SaneScanner.h"
#include "raster/scan/ScanDelivery.h"
#include "raster/ui/ScannerSelectDialog.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QSettings>
#include <QWidget>

namespace {
const char *const kGroup = "Scanner";
const char *const kDeviceKey = "Device";
} // namespace

QString chosenScanner()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    return settings.value(QLatin1String(kDeviceKey)).toString();
}

void setChosenScanner(const QString &deviceName)
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QLatin1String(kDeviceKey), deviceName);
}

bool TWAIN_SelectScanner(QWidget *owner)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ScannerList list = listScanners();
    QGuiApplication::restoreOverrideCursor();

    ScannerSelectDialog dialog(list, chosenScanner(), owner);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedDevice().isEmpty())
        return false;
    setChosenScanner(dialog.selectedDevice());
    return true;
}

void TWAIN_ScanImage(QWidget *receiver)
{
    QProgressDialog progress(translateText(QStringLiteral("Scannen...")),
        translateText(QStringLiteral("Abbrechen")), 0, 100, receiver);
    progress.setObjectName(QStringLiteral("ScanProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);

    ScanOutcome outcome = scanPicture(chosenScanner(), [&progress](int percent) {
        if (percent < 0)
            progress.setRange(0, 0); // length unknown: a busy indicator
        else
            progress.setValue(std::min(percent, 99));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.reset();

    if (outcome.picture.isNull())
        return;
    const std::uintptr_t key = depositScannedPicture(std::move(outcome.picture));
    QCoreApplication::postEvent(receiver, new ScanEvent(key));
}
