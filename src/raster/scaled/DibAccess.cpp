#include "raster/scaled/DibAccess.h"

#include <QGuiApplication>
#include <QScreen>

int DibWidth(const TDibRec &dib)
{
    return dib.BitmapInfo ? dib.BitmapInfo->bmiHeader.biWidth : 0;
}

int DibHeight(const TDibRec &dib)
{
    return dib.BitmapInfo ? dib.BitmapInfo->bmiHeader.biHeight : 0;
}

int DibBitCount(const TDibRec &dib)
{
    return dib.BitmapInfo ? dib.BitmapInfo->bmiHeader.biBitCount : 0;
}

std::uint32_t DibColorCount(const TDibRec &dib)
{
    const int bits = DibBitCount(dib);
    return bits >= 32 ? 0u : (std::uint32_t { 1 } << bits);
}

int ScreenColorDepth()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 32;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}

bool dibIsReadable(const TDibRec &dib)
{
    if (!dib.Bits || !dib.BitmapInfo)
        return false;
    const TBitmapInfoHeader &h = dib.BitmapInfo->bmiHeader;
    if (h.biWidth <= 0 || h.biHeight <= 0 || h.biCompression != 0)
        return false;
    switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return false;
    }
    const long long rowBytes = (static_cast<long long>(h.biWidth) * h.biBitCount + 7) / 8;
    return dib.BytesPerLine >= rowBytes;
}

static std::uint32_t tableRgb(const TDibRec &dib, unsigned index)
{
    const TRGBQuad &q = dib.BitmapInfo->bmiColors[index & 0xFF];
    return 0xFF000000u | (std::uint32_t { q.rgbRed } << 16) | (std::uint32_t { q.rgbGreen } << 8)
        | q.rgbBlue;
}

std::uint32_t dibPixelRgb(const TDibRec &dib, const std::uint8_t *row, int column)
{
    switch (dib.BitmapInfo->bmiHeader.biBitCount) {
    case 1:
        return tableRgb(dib, (row[column >> 3] >> (7 - (column & 7))) & 1u);
    case 4:
        return tableRgb(dib, (column & 1) ? row[column >> 1] & 0x0Fu : row[column >> 1] >> 4);
    case 8:
        return tableRgb(dib, row[column]);
    case 16: {
        const unsigned v = row[column * 2] | (unsigned { row[column * 2 + 1] } << 8);
        // Five bits per channel, widened the way displays do: the top bits repeat below.
        const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8)
            | ((b << 3) | (b >> 2));
    }
    case 24: {
        const std::uint8_t *p = row + column * 3;
        return 0xFF000000u | (std::uint32_t { p[2] } << 16) | (std::uint32_t { p[1] } << 8) | p[0];
    }
    case 32: {
        const std::uint8_t *p = row + column * 4;
        return 0xFF000000u | (std::uint32_t { p[2] } << 16) | (std::uint32_t { p[1] } << 8) | p[0];
    }
    default:
        return 0xFF000000u;
    }
}

std::uint32_t dibZeroRgb(const TDibRec &dib)
{
    const int bits = DibBitCount(dib);
    return (bits >= 1 && bits <= 8) ? tableRgb(dib, 0) : 0xFF000000u;
}
