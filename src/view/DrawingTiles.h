#pragma once

#include "view/CanvasPainter.h"

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

// The painted drawing area kept in square tiles, so that a scroll, wheel or pan step copies
// what it already has and paints only the tiles that come into view.
//
// A tile holds the white ground, the picture and the elements of one square of the zoomed
// picture plane, whose pixel (X, Y) shows the picture at RoundEven(zoom * p / 100) = (X, Y).
// The view transform rounds before it takes the scroll position away, so a tile painted at
// one scroll position is the same wherever it lands, and a paint assembled from tiles is the
// paint the whole area would get, pixel for pixel. Tiles are kept per zoom, so that zooming
// back finds its tiles too, and the least recently shown go first when there are too many.
//
// Whatever changes how the tiles look besides the elements (the picture, the pen, the tools
// that show handles or hide markers, the pixel ratio) is compared on every paint and drops
// them all. A change of the elements is reported with invalidate().
class TDrawingTiles
{
public:
    // Logical pixels along a tile's side: small enough that a scroll step paints little,
    // large enough that the per-tile cost stays small against the pixels.
    static constexpr int TileSize = 256;

    // Paints as PaintBox1Paint does, into the same back buffer of the same size, with the same
    // pixels. A scene whose pixels could depend on where a tile's edge lies goes to the painter
    // whole, with its pictureLayer: a pixel ratio that is not a whole number (tile edges inside
    // device pixels), and lines the platform painter draws (thin, translucent or handles).
    TPaintResult paint(QImage &backBuffer, QSize areaSize, const TPaintScene &scene);

    // The drawing changed between the picture points a and b (any two opposite corners of a
    // box holding the old and the new places of what changed). The tiles within the reach of
    // an element's strokes, markers and handles around the box are painted afresh.
    void invalidate(TPointD a, TPointD b);
    // The drawing changed in a way whose extent is not known: every tile goes.
    void invalidateAll();
    // Invalidates what the elements from `first` up to `end` paint as they stand, closing lines
    // that end at them included. Called before and after a change of those elements, it
    // covers their old and their new place.
    void invalidateElements(const TElementList &list, std::int32_t first, std::int32_t end);

    // Tiles painted since the cache was made, and tiles held now; for tests and benchmarks.
    std::int64_t tilesPainted() const { return m_tilesPainted; }
    std::size_t tileCount() const;

private:
    struct Key
    {
        const TElementList *elements = nullptr;
        const TDibRec *picture = nullptr;
        std::uint64_t pictureSerial = 0;
        QRgb penColor = 0;
        double lineWidth = 0;
        double ratio = 0;
        bool showPicture = false;
        bool handles = false;
        bool noMarkers = false;
        int fadePercent = 0;
        bool isPrinter = false;
        bool canDibToDevice = false;
        bool acceptsStretch = false;
        int screenColorDepth = 0;
        bool operator==(const Key &) const = default;
    };
    struct Tile
    {
        QImage image;
        std::uint64_t lastUse = 0;
    };
    // The tiles of one zoom, by column and row packed into one number.
    using Zoom = std::unordered_map<std::uint64_t, Tile>;

    static Key keyOf(const TPaintScene &scene, double ratio);
    void paintMissing(const std::vector<QPoint> &missing, Zoom &tiles, const TPaintScene &scene);
    void evict(std::size_t keep);

    Key m_key;
    std::map<double, Zoom> m_zooms;
    std::uint64_t m_clock = 0;
    std::int64_t m_tilesPainted = 0;
    TScaledDrawResult m_picture; // how the picture last went into a tile
};
