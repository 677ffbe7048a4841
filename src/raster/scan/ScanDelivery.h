#pragma once

#include "raster/DibRec.h"

#include <QEvent>
#include <cstdint>

// Scanned pictures travel to the main window as an event carrying a key; the window's handler
// takes the picture with GetScanedDib. Pictures not yet taken stay owned here.

inline constexpr QEvent::Type kScanEventType = static_cast<QEvent::Type>(QEvent::User + 1);

class ScanEvent : public QEvent
{
public:
    explicit ScanEvent(std::uintptr_t key)
        : QEvent(kScanEventType)
        , m_key(key)
    {
    }
    std::uintptr_t wParam() const { return m_key; }

private:
    std::uintptr_t m_key;
};

// Keeps `picture` until it is taken and returns its key (never 0).
std::uintptr_t depositScannedPicture(Dib picture);

// Moves the picture for `key` into `out`; leaves out.Bits null when there is none (an unknown
// key, or one already taken). The caller releases `out` with deldib.
void GetScanedDib(TDibRec &out, std::uintptr_t key);
