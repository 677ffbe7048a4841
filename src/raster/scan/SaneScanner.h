#pragma once

#include "raster/DibRec.h"

#include <QString>
#include <functional>
#include <vector>

// Scanning through SANE. Each scan opens its device and closes it again, so no scanner stays
// claimed between scans; SANE itself stays initialised until the program ends.

struct ScannerDevice
{
    QString name; // what sane_open takes
    QString vendor;
    QString model;
    QString type;
};

struct ScannerList
{
    std::vector<ScannerDevice> devices;
    QString error; // set when SANE itself could not be started
};

// The scanners SANE can reach from this machine.
ScannerList listScanners();

// Called with the progress in percent (-1 while the length is unknown); returns false to cancel.
using ScanProgress = std::function<bool(int percent)>;

struct ScanOutcome
{
    Dib picture; // null when nothing was scanned
    bool cancelled = false;
    QString error; // the reason when the scan failed; empty for success and cancel
};

// Scans one page with `deviceName` (the first scanner when empty) in colour where the device
// offers it, at the device's default resolution. Colour arrives as 24 bits, grey as 8 bits
// with a grey colour table, line art as 1 bit.
ScanOutcome scanPicture(const QString &deviceName, const ScanProgress &progress = {});
