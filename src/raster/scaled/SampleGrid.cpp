#include "raster/scaled/SampleGrid.h"

#include "raster/scaled/DestinationRows.h"
#include "raster/scaled/DibAccess.h"

#include <QPaintDevice>
#include <QTransform>
#include <algorithm>
#include <bit>
#include <cstring>

QRect visibleDestination(QPainter &painter, const QRect &destination)
{
    const QPaintDevice *device = painter.device();
    if (!device || destination.isEmpty())
        return {};
    const QTransform t = painter.combinedTransform();
    if (!t.isInvertible())
        return {};
    const QRectF deviceArea(0, 0, device->width(), device->height());
    QRectF area = t.inverted().mapRect(deviceArea);
    if (painter.hasClipping())
        area = area.intersected(painter.clipBoundingRect());
    return area.toAlignedRect().intersected(destination);
}

SampleGrid stretchGrid(const QRect &visible, int X, int Y, int DestWidth, int DestHeight, int SrcX,
    int SrcTop, int SrcWidth, int SrcHeight, int pictureWidth, int pictureHeight)
{
    SampleGrid grid;
    grid.visible = visible;
    if (visible.isEmpty() || DestWidth <= 0 || DestHeight <= 0)
        return grid;
    grid.columns.reserve(visible.width());
    for (int x = visible.left(); x <= visible.right(); ++x) {
        const long long i = static_cast<long long>(x) - X;
        const long long c = SrcX + (static_cast<long long>(SrcWidth) * i) / DestWidth;
        grid.columns.push_back(c >= 0 && c < pictureWidth ? static_cast<std::int32_t>(c) : -1);
    }
    grid.storedRows.reserve(visible.height());
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const long long k = static_cast<long long>(y) - Y;
        const long long s = SrcTop + (static_cast<long long>(SrcHeight) * k) / DestHeight;
        grid.storedRows.push_back(
            s >= 0 && s < pictureHeight ? static_cast<std::int32_t>(pictureHeight - 1 - s) : -1);
    }
    return grid;
}

SampleGrid handResampleGrid(const QRect &visible, int X, int Y, int DestWidth, int DestHeight,
    int SrcX, int SrcY, int SrcWidth, int SrcHeight, int pictureWidth, int pictureHeight)
{
    SampleGrid grid;
    grid.visible = visible;
    if (visible.isEmpty() || DestWidth <= 0 || DestHeight <= 0)
        return grid;
    for (int x = visible.left(); x <= visible.right(); ++x) {
        const long long i = static_cast<long long>(x) - X;
        const long long c = DestWidth > 1
            ? (static_cast<long long>(SrcWidth) - 1) * i / (DestWidth - 1) + SrcX
            : SrcX;
        grid.columns.push_back(c >= 0 && c < pictureWidth ? static_cast<std::int32_t>(c) : -1);
    }
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        // The resampled copy is stored bottom-up like every picture: destination row 0 is
        // its highest stored row.
        const long long k = DestHeight - 1 - (static_cast<long long>(y) - Y);
        const long long r = DestHeight > 1
            ? (static_cast<long long>(SrcHeight) - 1) * k / (DestHeight - 1) + SrcY
            : SrcY;
        grid.storedRows.push_back(r >= 0 && r < pictureHeight ? static_cast<std::int32_t>(r) : -1);
    }
    return grid;
}

namespace {

// True when the visible columns are consecutive source columns inside the picture, as at
// 100 %: the row is then converted in one straight pass.
bool consecutive(const std::vector<std::int32_t> &cols)
{
    if (cols.empty() || cols.front() < 0)
        return false;
    for (std::size_t i = 1; i < cols.size(); ++i) {
        if (cols[i] != cols[0] + static_cast<std::int32_t>(i))
            return false;
    }
    return true;
}

// Converts n consecutive 24-bit pixels. Four pixels are twelve bytes, read as three words
// and split with shifts, which lets the compiler keep everything in registers instead of
// assembling each pixel from three byte loads.
void convertStraight24(const std::uint8_t *p, std::size_t n, std::uint32_t *out)
{
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 4 <= n; i += 4, p += 12) {
            std::uint32_t w[3];
            std::memcpy(w, p, sizeof w);
            out[i] = 0xFF000000u | w[0];
            out[i + 1] = 0xFF000000u | (w[0] >> 24) | (w[1] << 8);
            out[i + 2] = 0xFF000000u | (w[1] >> 16) | (w[2] << 16);
            out[i + 3] = 0xFF000000u | (w[2] >> 8);
        }
    }
    for (; i < n; ++i, p += 3)
        out[i] =
            0xFF000000u | (std::uint32_t { p[2] } << 16) | (std::uint32_t { p[1] } << 8) | p[0];
}

void decodeRow(const TDibRec &dib, const std::uint8_t *row, const std::vector<std::int32_t> &cols,
    const std::vector<std::int32_t> &byteOffsets, bool straight, std::uint32_t zero,
    std::uint32_t *out)
{
    const std::size_t n = cols.size();
    const int bits = dib.BitmapInfo->bmiHeader.biBitCount;
    if (bits == 24 && straight) {
        convertStraight24(row + static_cast<std::ptrdiff_t>(cols[0]) * 3, n, out);
        return;
    }
    if (bits == 24) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::int32_t o = byteOffsets[i];
            if (o < 0) {
                out[i] = zero;
                continue;
            }
            const std::uint8_t *p = row + o;
            out[i] =
                0xFF000000u | (std::uint32_t { p[2] } << 16) | (std::uint32_t { p[1] } << 8) | p[0];
        }
        return;
    }
    if (bits == 8) {
        std::uint32_t table[256];
        for (int t = 0; t < 256; ++t) {
            const TRGBQuad &q = dib.BitmapInfo->bmiColors[t];
            table[t] = 0xFF000000u | (std::uint32_t { q.rgbRed } << 16)
                | (std::uint32_t { q.rgbGreen } << 8) | q.rgbBlue;
        }
        for (std::size_t i = 0; i < n; ++i)
            out[i] = cols[i] < 0 ? zero : table[row[cols[i]]];
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        out[i] = cols[i] < 0 ? zero : dibPixelRgb(dib, row, cols[i]);
}

// The byte offsets within a stored row at which the sampled pixels of the visible columns start
// a new cache line, with the last byte of the last pixel, so that prefetching them brings in
// every byte a decode of that row reads.
std::vector<std::int32_t> prefetchOffsets(const std::vector<std::int32_t> &cols, int bits)
{
    std::vector<std::int32_t> offsets;
    constexpr std::int32_t Line = 64;
    const int bytes = std::max(bits / 8, 1);
    std::int32_t last = -Line;
    std::int32_t end = -1;
    for (std::int32_t c : cols) {
        if (c < 0)
            continue;
        const std::int32_t o = static_cast<std::int32_t>(static_cast<long long>(c) * bits / 8);
        if (o - last >= Line || o < last) {
            offsets.push_back(o);
            last = o;
        }
        end = std::max(end, o + bytes - 1);
    }
    if (end >= 0)
        offsets.push_back(end);
    return offsets;
}

// The first stored row after destination row k that differs from row k's, or -1.
std::int32_t nextStored(const std::vector<std::int32_t> &storedRows, int k)
{
    for (std::size_t j = static_cast<std::size_t>(k) + 1; j < storedRows.size(); ++j) {
        if (storedRows[j] != storedRows[k])
            return storedRows[j];
    }
    return -1;
}

void prefetch(const std::uint8_t *row, const std::vector<std::int32_t> &offsets)
{
    for (std::int32_t o : offsets)
        __builtin_prefetch(row + o);
}

} // namespace

SampleStats drawGrid(QPainter &painter, const TDibRec &dib, const SampleGrid &grid,
    QPainter::CompositionMode mode, SampleFill fill)
{
    SampleStats stats;
    if (grid.visible.isEmpty() || !dibIsReadable(dib))
        return stats;
    const int width = grid.visible.width();
    const std::uint32_t zero = dibZeroRgb(dib);

    std::vector<std::int32_t> byteOffsets;
    if (dib.BitmapInfo->bmiHeader.biBitCount == 24) {
        byteOffsets.reserve(grid.columns.size());
        for (std::int32_t c : grid.columns)
            byteOffsets.push_back(c < 0 ? -1 : c * 3);
    }

    const bool straight = consecutive(grid.columns);
    const std::vector<std::int32_t> ahead =
        prefetchOffsets(grid.columns, dib.BitmapInfo->bmiHeader.biBitCount);

    // The row buffer is the destination row just produced: destination rows that sample the
    // same source row follow each other, so a repeated row is copied from the one before it.
    const std::uint32_t *previous = nullptr;
    long long previousStored = -2;
    DestinationRows rows(painter, grid.visible, mode);
    for (int k = 0; k < grid.visible.height(); ++k) {
        const std::int32_t stored = fill == SampleFill::Zero ? -1 : grid.storedRows[k];
        std::uint32_t *out = rows.row(grid.visible.top() + k);
        if (!out)
            break;
        if (previous && stored == previousStored) {
            if (out != previous)
                std::memcpy(out, previous, sizeof(std::uint32_t) * width);
        } else if (stored < 0) {
            std::fill(out, out + width, zero);
        } else {
            const std::uint8_t *src =
                dib.Bits + static_cast<std::ptrdiff_t>(stored) * dib.BytesPerLine;
            // The source rows of a picture lie far apart in memory and each starts on new
            // pages, which the processor does not fetch ahead on its own: ask for the next
            // row's bytes now, so they arrive while this row is decoded.
            const std::int32_t next = nextStored(grid.storedRows, k);
            if (fill == SampleFill::Pixels && next >= 0)
                prefetch(dib.Bits + static_cast<std::ptrdiff_t>(next) * dib.BytesPerLine, ahead);
            decodeRow(dib, src, grid.columns, byteOffsets, straight, zero, out);
            ++stats.rowCopies;
        }
        previous = out;
        previousStored = stored;
        ++stats.rowsProduced;
    }
    rows.finish();
    return stats;
}
