#include "raster/scaled/DirectTransfer.h"

#include "raster/scaled/DibAccess.h"
#include "raster/scaled/SampleGrid.h"

#include <QImage>
#include <QPaintEngine>

namespace {

// The rectangle of the picture whose top line is `top` (counted from the top) as a 32-bit
// image; a null image when it cannot be allocated.
QImage decodeRect(const TDibRec &dib, int srcX, int top, int srcWidth, int srcHeight)
{
    QImage image(srcWidth, srcHeight, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const int height = DibHeight(dib);
    for (int y = 0; y < srcHeight; ++y) {
        const std::uint8_t *row =
            dib.Bits + static_cast<std::ptrdiff_t>(height - 1 - (top + y)) * dib.BytesPerLine;
        auto *out = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        for (int x = 0; x < srcWidth; ++x)
            out[x] = dibPixelRgb(dib, row, srcX + x);
    }
    return image;
}

void drawStretched(QPainter &painter, const QRect &dest, const QImage &image, const QRect &source,
    QPainter::CompositionMode mode)
{
    painter.save();
    painter.setCompositionMode(mode);
    painter.drawImage(QRectF(dest), image, QRectF(source));
    painter.restore();
}

} // namespace

TScaledDrawResult directTransfer(QPainter &DC, int X, int Y, int DestWidth, int DestHeight,
    const TDibRec &Dib, int SrcX, int SrcY, int SrcWidth, int SrcHeight, std::uint32_t RasterOp,
    const TScaledDevice &device)
{
    TScaledDrawResult result;
    const int width = DibWidth(Dib);
    const int height = DibHeight(Dib);
    const int bits = DibBitCount(Dib);
    const int top = height - SrcY - SrcHeight;
    const bool raster = DC.paintEngine() && DC.paintEngine()->type() == QPaintEngine::Raster;
    const QPainter::CompositionMode mode = compositionForRasterOp(RasterOp, raster);
    const QRect dest(X, Y, DestWidth, DestHeight);

    // The stretching transfer. A printer gets the source rectangle at its own resolution and
    // scales it itself; on other devices only the visible destination pixels are sampled.
    if (device.acceptsStretch) {
        if (device.isPrinter) {
            const QImage source = decodeRect(Dib, SrcX, top, SrcWidth, SrcHeight);
            if (!source.isNull()) {
                drawStretched(DC, dest, source, source.rect(), mode);
                result.path = TScaledPath::Direct;
                return result;
            }
        } else {
            const QRect visible = visibleDestination(DC, dest);
            const SampleGrid grid = stretchGrid(visible, X, Y, DestWidth, DestHeight, SrcX, top,
                SrcWidth, SrcHeight, width, height);
            const SampleStats stats = drawGrid(DC, Dib, grid, mode);
            result.path = TScaledPath::Direct;
            result.rowsProduced = stats.rowsProduced;
            result.rowCopies = stats.rowCopies;
            return result;
        }
    }

    // Resampled by hand and sent unscaled. Only the visible part of the copy is made; its
    // pixels are those the whole copy would have there.
    if (device.canDibToDevice) {
        const QRect visible = visibleDestination(DC, dest);
        const SampleGrid grid = handResampleGrid(
            visible, X, Y, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight, width, height);
        const bool copies = bits == 1 || bits == 4 || bits == 8 || bits == 24;
        const SampleStats stats = drawGrid(DC, Dib, grid, QPainter::CompositionMode_Source,
            copies ? SampleFill::Pixels : SampleFill::Zero);
        result.path = TScaledPath::HandResampled;
        result.rowsProduced = stats.rowsProduced;
        result.rowCopies = stats.rowCopies;
        return result;
    }

    // The last resort: a bitmap of the whole picture, stretched onto the device.
    result.path = TScaledPath::DeviceBitmap;
    const QImage bitmap = decodeRect(Dib, 0, 0, width, height);
    if (bitmap.isNull()) {
        result.message = QString::fromLatin1(MsgCouldNotCreateBitmap);
        return result;
    }
    drawStretched(DC, dest, bitmap, QRect(SrcX, top, SrcWidth, SrcHeight), mode);
    return result;
}
