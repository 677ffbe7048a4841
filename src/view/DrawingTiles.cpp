#include "view/DrawingTiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int T = TDrawingTiles::TileSize;

// What the tiles may hold at most besides those in view: a few screens' worth, so that
// scrolling back and forth or zooming back finds them, without growing with the drawing.
constexpr std::size_t KeptBytes = std::size_t { 40 } * 1024 * 1024;

// The tile that holds zoomed-plane pixel v, also for negative v.
long long tileOf(long long v)
{
    return v >= 0 ? v / T : -((-v + T - 1) / T);
}

std::uint64_t tileId(long long column, long long row)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(column)) << 32)
        | static_cast<std::uint32_t>(row);
}

// Copies `rows` rows of `width` pixels from one 32-bit image to another.
void copyBlock(QImage &to, QPoint toAt, const QImage &from, QPoint fromAt, int width, int rows)
{
    const auto bytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < rows; ++y) {
        std::memcpy(to.scanLine(toAt.y() + y) + toAt.x() * 4,
            from.constScanLine(fromAt.y() + y) + fromAt.x() * 4, bytes);
    }
}

// A run of missing tiles, columns `left` to `right` and rows `top` to `bottom`, painted in one
// go so that the drawing is walked once for all of them.
struct Block
{
    long long left, right, top, bottom;
};

// Rows of missing tiles become runs; runs of the same columns in successive rows become one
// block. A scroll step thus paints one strip, a diagonal pan step two.
std::vector<Block> blocksOf(const std::vector<QPoint> &missing)
{
    std::vector<Block> blocks;
    for (const QPoint &tile : missing) {
        if (!blocks.empty() && blocks.back().top == tile.y() && blocks.back().right + 1 == tile.x())
            blocks.back().right = tile.x();
        else
            blocks.push_back({ tile.x(), tile.x(), tile.y(), tile.y() });
    }
    std::vector<Block> merged;
    for (const Block &run : blocks) {
        const auto above = std::find_if(merged.begin(), merged.end(), [&run](const Block &b) {
            return b.left == run.left && b.right == run.right && b.bottom + 1 == run.top;
        });
        if (above != merged.end())
            above->bottom = run.bottom;
        else
            merged.push_back(run);
    }
    return merged;
}

} // namespace

TDrawingTiles::Key TDrawingTiles::keyOf(const TPaintScene &scene, double ratio)
{
    Key key;
    key.elements = scene.elements;
    key.picture = scene.ShowPicCheck ? scene.picture : nullptr;
    key.pictureSerial = scene.ShowPicCheck ? scene.pictureSerial : 0;
    key.penColor = scene.penColor.rgba();
    key.lineWidth = scene.lineWidth;
    key.ratio = ratio;
    key.showPicture = scene.ShowPicCheck;
    key.handles = scene.Zeiger1Down;
    key.noMarkers = scene.HandBtnDown;
    key.fadePercent = std::clamp(scene.fadePercent, 0, 90);
    key.isPrinter = scene.device.isPrinter;
    key.canDibToDevice = scene.device.canDibToDevice;
    key.acceptsStretch = scene.device.acceptsStretch;
    key.screenColorDepth = scene.device.screenColorDepth;
    return key;
}

std::size_t TDrawingTiles::tileCount() const
{
    std::size_t n = 0;
    for (const auto &zoom : m_zooms)
        n += zoom.second.size();
    return n;
}

void TDrawingTiles::invalidateAll()
{
    m_zooms.clear();
}

void TDrawingTiles::invalidate(TPointD a, TPointD b)
{
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) {
        invalidateAll();
        return;
    }
    for (auto &[zoom, tiles] : m_zooms) {
        const TViewTransform view { zoom, 0, 0 };
        // The reach of an element beyond its defining points, as the painter reckons it: half
        // the pen and a pixel's rounding, the 13 x 13 marker, the handles.
        const long long margin = std::max(view.penWidth(m_key.lineWidth) / 2 + 2, 7);
        const long long left = tileOf(view.imageToScreenX(std::min(a.x, b.x)) - margin);
        const long long right = tileOf(view.imageToScreenX(std::max(a.x, b.x)) + margin);
        const long long top = tileOf(view.imageToScreenY(std::min(a.y, b.y)) - margin);
        const long long bottom = tileOf(view.imageToScreenY(std::max(a.y, b.y)) + margin);
        std::erase_if(tiles, [=](const auto &entry) {
            const long long column = static_cast<std::int32_t>(entry.first >> 32);
            const long long row = static_cast<std::int32_t>(entry.first & 0xFFFFFFFFu);
            return column >= left && column <= right && row >= top && row <= bottom;
        });
    }
}

void TDrawingTiles::invalidateElements(
    const TElementList &list, std::int32_t first, std::int32_t end)
{
    const auto count = static_cast<std::int32_t>(list.Count());
    first = std::clamp(first, 0, count);
    end = std::clamp(end, first, count);
    if (first == end || m_zooms.empty())
        return;
    TPointD low = list.at(first).Start;
    TPointD high = low;
    const auto take = [&low, &high](TPointD p) {
        low = { std::min(low.x, p.x), std::min(low.y, p.y) };
        high = { std::max(high.x, p.x), std::max(high.y, p.y) };
    };
    for (std::int32_t i = first; i < end; ++i) {
        const TDrawElement &e = list.at(i);
        take(e.Start);
        take(e.End);
        if (usesCtrl1(e.Kind))
            take(e.Ctrl1);
        if (usesCtrl2(e.Kind))
            take(e.Ctrl2);
        if (e.ClosesChain) {
            if (const std::int32_t start = chainStartIndex(list, i); start >= 0)
                take(list.at(start).Start);
        }
    }
    // A chain start also ends the closing lines of its chain, which may lie behind the range.
    if (const std::int32_t start = chainStartIndex(list, end - 1); start >= 0) {
        for (std::int32_t j = end; j < count && list.at(j).ChainPos != 0; ++j) {
            if (list.at(j).ClosesChain)
                take(list.at(j).End);
        }
        if (start < first)
            take(list.at(start).Start);
    }
    invalidate(low, high);
}

TPaintResult TDrawingTiles::paint(QImage &backBuffer, QSize areaSize, const TPaintScene &scene)
{
    const double ratio = scene.devicePixelRatio > 0 && std::isfinite(scene.devicePixelRatio)
        ? std::clamp(scene.devicePixelRatio, 1.0, 8.0)
        : 1.0;
    const bool unknownPicture = scene.ShowPicCheck && scene.picture && scene.pictureSerial == 0;
    // The platform painter cuts a line at the edge of the image it draws into and steps it
    // from there, so a thin, translucent or handle line can land a pixel apart depending on
    // where the edge was. Only strokes of our own stroker come out the same in any tile.
    const bool ownStrokesOnly = scene.view.penWidth(scene.lineWidth) * ratio >= 2
        && scene.penColor.alpha() == 255 && !scene.Zeiger1Down;
    if (ratio != std::floor(ratio) || unknownPicture || !ownStrokesOnly
        || !std::isfinite(scene.view.zoom)) {
        // Without a whole number of device pixels to a logical one, or without a way to tell
        // one picture from the next, tiles could not be reused safely either.
        invalidateAll();
        return PaintBox1Paint(backBuffer, areaSize, scene);
    }
    const Key key = keyOf(scene, ratio);
    if (!(key == m_key)) {
        invalidateAll();
        m_key = key;
        m_picture = {};
    }

    TPaintResult result;
    result.copyDue = !scene.BufferOnly;
    areaSize = areaSize.expandedTo(QSize(0, 0));
    const QSize deviceSize = backBufferSize(areaSize, ratio);
    if (backBuffer.size() != deviceSize || backBuffer.format() != QImage::Format_RGB32)
        backBuffer = QImage(deviceSize, QImage::Format_RGB32);
    if (backBuffer.isNull())
        return result;
    backBuffer.setDevicePixelRatio(1);

    const int r = static_cast<int>(ratio);
    const TViewTransform &v = scene.view;
    const long long left = tileOf(v.scrollX);
    const long long right = tileOf(static_cast<long long>(v.scrollX) + areaSize.width() - 1);
    const long long top = tileOf(v.scrollY);
    const long long bottom = tileOf(static_cast<long long>(v.scrollY) + areaSize.height() - 1);

    Zoom &tiles = m_zooms[v.zoom];
    ++m_clock;
    std::vector<QPoint> missing;
    for (long long row = top; row <= bottom; ++row) {
        for (long long column = left; column <= right; ++column) {
            if (!tiles.contains(tileId(column, row)))
                missing.emplace_back(static_cast<int>(column), static_cast<int>(row));
        }
    }
    if (!missing.empty()) {
        paintMissing(missing, tiles, scene);
        const auto held = [&tiles](
                              const QPoint &t) { return tiles.contains(tileId(t.x(), t.y())); };
        if (!std::all_of(missing.begin(), missing.end(), held)) {
            // Memory for a tile ran out: the painter makes do with the one buffer.
            invalidateAll();
            return PaintBox1Paint(backBuffer, areaSize, scene);
        }
    }
    result.picture = m_picture;

    // Each tile's part of the area, in device pixels of the tile and of the buffer.
    for (long long row = top; row <= bottom; ++row) {
        for (long long column = left; column <= right; ++column) {
            Tile &tile = tiles.at(tileId(column, row));
            tile.lastUse = m_clock;
            const long long x0 = std::max<long long>(column * T, v.scrollX);
            const long long x1 =
                std::min<long long>((column + 1) * T, v.scrollX + areaSize.width());
            const long long y0 = std::max<long long>(row * T, v.scrollY);
            const long long y1 = std::min<long long>((row + 1) * T, v.scrollY + areaSize.height());
            copyBlock(backBuffer,
                QPoint(
                    static_cast<int>((x0 - v.scrollX) * r), static_cast<int>((y0 - v.scrollY) * r)),
                tile.image,
                QPoint(
                    static_cast<int>((x0 - column * T) * r), static_cast<int>((y0 - row * T) * r)),
                static_cast<int>((x1 - x0) * r), static_cast<int>((y1 - y0) * r));
        }
    }
    const auto shown = static_cast<std::size_t>((right - left + 1) * (bottom - top + 1));
    evict(std::max(shown, KeptBytes / (static_cast<std::size_t>(T * T) * 4 * r * r)));
    backBuffer.setDevicePixelRatio(ratio);
    return result;
}

void TDrawingTiles::paintMissing(
    const std::vector<QPoint> &missing, Zoom &tiles, const TPaintScene &scene)
{
    const int r = static_cast<int>(m_key.ratio);
    for (const Block &block : blocksOf(missing)) {
        // The painter draws the block as the drawing area it would be at this scroll position.
        TPaintScene part = scene;
        part.view.scrollX = static_cast<int>(block.left * T);
        part.view.scrollY = static_cast<int>(block.top * T);
        part.pictureLayer = nullptr;
        part.BufferOnly = true;
        const QSize size(static_cast<int>((block.right - block.left + 1) * T),
            static_cast<int>((block.bottom - block.top + 1) * T));
        QImage painted;
        m_picture = PaintBox1Paint(painted, size, part).picture;
        if (painted.isNull())
            continue;
        for (long long row = block.top; row <= block.bottom; ++row) {
            for (long long column = block.left; column <= block.right; ++column) {
                Tile tile;
                tile.image = QImage(T * r, T * r, QImage::Format_RGB32);
                if (tile.image.isNull())
                    continue;
                copyBlock(tile.image, QPoint(0, 0), painted,
                    QPoint(static_cast<int>((column - block.left) * T * r),
                        static_cast<int>((row - block.top) * T * r)),
                    T * r, T * r);
                tiles[tileId(column, row)] = std::move(tile);
                ++m_tilesPainted;
            }
        }
    }
}

void TDrawingTiles::evict(std::size_t keep)
{
    std::vector<std::uint64_t> uses;
    for (const auto &zoom : m_zooms)
        for (const auto &entry : zoom.second)
            uses.push_back(entry.second.lastUse);
    if (uses.size() <= keep)
        return;
    // Everything used less recently than the keep-th newest goes.
    std::nth_element(uses.begin(), uses.begin() + static_cast<std::ptrdiff_t>(keep) - 1, uses.end(),
        std::greater<>());
    const std::uint64_t oldestKept = uses[keep - 1];
    for (auto zoom = m_zooms.begin(); zoom != m_zooms.end();) {
        std::erase_if(
            zoom->second, [oldestKept](const auto &e) { return e.second.lastUse < oldestKept; });
        zoom = zoom->second.empty() ? m_zooms.erase(zoom) : std::next(zoom);
    }
}
