#include "raster/DibImage.h"

#include "raster/DibLimits.h"

#include <QPainter>
#include <cstring>

namespace {

QRgb tableColor(const TDibRec &rec, std::uint32_t index)
{
    const TRGBQuad &q = rec.BitmapInfo->bmiColors[index & 0xFFu];
    return qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

} // namespace

QImage dibToImage(const TDibRec &rec)
{
    if (!rec.Bits || !rec.BitmapInfo)
        return {};
    const TBitmapInfoHeader &h = rec.BitmapInfo->bmiHeader;
    const int width = h.biWidth;
    const int height = h.biHeight;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {};

    for (int y = 0; y < height; ++y) {
        const int stored = height - 1 - y;
        const std::uint8_t *src = rec.Bits + static_cast<std::ptrdiff_t>(stored) * rec.BytesPerLine;
        auto *dst = reinterpret_cast<QRgb *>(image.scanLine(y));
        switch (h.biBitCount) {
        case 1:
        case 4:
            for (int x = 0; x < width; ++x)
                dst[x] = tableColor(rec, getpixel(rec, x, stored));
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                dst[x] = tableColor(rec, src[x]);
            break;
        case 16:
            // BI_RGB 16-bit pixels are 5-5-5; each channel is widened to 8 bits.
            for (int x = 0; x < width; ++x) {
                const unsigned v = src[2 * x] | (src[2 * x + 1] << 8);
                const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                dst[x] = qRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x)
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (int x = 0; x < width; ++x)
                dst[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
            break;
        default:
            return {};
        }
    }
    const int xPpm = h.biXPelsPerMeter, yPpm = h.biYPelsPerMeter;
    if (xPpm > 0 && yPpm > 0) {
        image.setDotsPerMeterX(xPpm);
        image.setDotsPerMeterY(yPpm);
    }
    return image;
}

TDibRec imageToDib(const QImage &source)
{
    TDibRec rec;
    if (source.isNull() || !dibSizeAcceptable(source.width(), source.height(), 24))
        return rec;

    const int width = source.width();
    const int height = source.height();
    const bool indexed = source.format() == QImage::Format_Mono
        || source.format() == QImage::Format_MonoLSB || source.format() == QImage::Format_Indexed8;
    QList<QRgb> table = indexed ? source.colorTable() : QList<QRgb>();
    // A transparent colour shows the white page beneath; the picture stays indexed.
    for (QRgb &c : table) {
        const int a = qAlpha(c);
        const auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
        c = qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c)));
    }

    if (indexed && !table.isEmpty() && table.size() <= 256) {
        const int bitCount = table.size() <= 2 ? 1 : table.size() <= 16 ? 4 : 8;
        const QImage img = source.convertToFormat(QImage::Format_Indexed8);
        newdib(rec, width, height, bitCount, nullptr, 0);
        if (!rec.Bits)
            return rec;
        for (int i = 0; i < table.size(); ++i) {
            TRGBQuad &q = rec.BitmapInfo->bmiColors[i];
            q.rgbRed = static_cast<std::uint8_t>(qRed(table[i]));
            q.rgbGreen = static_cast<std::uint8_t>(qGreen(table[i]));
            q.rgbBlue = static_cast<std::uint8_t>(qBlue(table[i]));
        }
        for (int y = 0; y < height; ++y) {
            const uchar *src = img.constScanLine(y);
            const int stored = height - 1 - y;
            if (bitCount == 8) {
                std::memcpy(rec.Bits + static_cast<std::ptrdiff_t>(stored) * rec.BytesPerLine, src,
                    static_cast<std::size_t>(width));
            } else {
                for (int x = 0; x < width; ++x)
                    setpixel(rec, x, stored, src[x]);
            }
        }
    } else {
        // Transparent pixels show the white page beneath, as they would on paper.
        QImage img;
        if (source.hasAlphaChannel()) {
            img = QImage(width, height, QImage::Format_RGB32);
            if (img.isNull())
                return rec;
            img.fill(Qt::white);
            QPainter painter(&img);
            painter.drawImage(0, 0, source);
        } else {
            img = source.convertToFormat(QImage::Format_RGB32);
            if (img.isNull())
                return rec;
        }
        newdib(rec, width, height, 24, nullptr, 0);
        if (!rec.Bits)
            return rec;
        for (int y = 0; y < height; ++y) {
            const auto *src = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            std::uint8_t *dst =
                rec.Bits + static_cast<std::ptrdiff_t>(height - 1 - y) * rec.BytesPerLine;
            for (int x = 0; x < width; ++x) {
                dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
                dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
                dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
            }
        }
    }
    if (source.dotsPerMeterX() > 0 && source.dotsPerMeterY() > 0) {
        rec.BitmapInfo->bmiHeader.biXPelsPerMeter = source.dotsPerMeterX();
        rec.BitmapInfo->bmiHeader.biYPelsPerMeter = source.dotsPerMeterY();
    }
    return rec;
}
