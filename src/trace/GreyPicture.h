#pragma once

#include "raster/DibRec.h"
#include "trace/TraceSettings.h"

#include <QRect>
#include <algorithm>
#include <opencv2/core/mat.hpp>

// The traced region of a picture as 8-bit luminance (0 black .. 255 white), one cv::Mat row per
// stored picture row: row 0 is the region's lowest row. An 8-bit picture whose colour table is
// the plain grey ramp is wrapped without copying; every other depth is converted.
struct GreyPicture
{
    cv::Mat grey;
    // The region in picture pixels (y downward), clipped to the picture.
    QRect region;

    // Picture coordinates (y downward) of a point in the tracer's coordinates.
    TPointD toPicture(TPointD p) const
    {
        return { region.left() + p.x, region.top() + region.height() - p.y };
    }
};

struct GreyResult
{
    GreyPicture picture;
    TraceResult::Status status = TraceResult::Status::Ok;
    QString reason;
};

// Converts `region` of `picture` (all of it when empty) to luminance; checks `control` between
// bands of rows. Without `convert` it only checks the picture and clips the region.
GreyResult makeGreyPicture(
    const TDibRec &picture, QRect region, const TraceControl &control, bool convert = true);

// The grey picture of `region` (clipped already, as makeGreyPicture gives it back) a band of
// rows at a time, lowest rows first: `use` gets each band and the region row, counted from the
// lowest, it starts with. A picture that is not 8-bit grey is converted, and on a large scan
// that grey copy is as large as the tracer's other work pictures; band by band it never exists
// next to them.
template <typename Use>
TraceResult::Status forEachGreyBand(
    const TDibRec &picture, QRect region, const TraceControl &control, Use use)
{
    constexpr int BandRows = 1024;
    for (int y0 = 0; y0 < region.height(); y0 += BandRows) {
        const int n = std::min(BandRows, region.height() - y0);
        const QRect band(region.left(), region.top() + region.height() - y0 - n, region.width(), n);
        const GreyResult g = makeGreyPicture(picture, band, control);
        if (g.status != TraceResult::Status::Ok)
            return g.status;
        use(g.picture.grey, y0);
    }
    return TraceResult::Status::Ok;
}

// Luminance by the usual weights (0.299 R + 0.587 G + 0.114 B), rounded.
inline int luminance(int r, int g, int b)
{
    return (r * 4899 + g * 9617 + b * 1868 + 8192) >> 14;
}
