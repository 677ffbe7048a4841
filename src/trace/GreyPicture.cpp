#include "trace/GreyPicture.h"

#include <array>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

// Rows converted between two looks at the cancel flag.
constexpr int BandRows = 2048;

using Lut = std::array<std::uint8_t, 256>;

Lut paletteLuminance(const TBitmapInfo &info, int bitCount)
{
    Lut lut {};
    const int colours = 1 << bitCount;
    for (int i = 0; i < colours; ++i) {
        const TRGBQuad &q = info.bmiColors[i];
        lut[i] = static_cast<std::uint8_t>(luminance(q.rgbRed, q.rgbGreen, q.rgbBlue));
    }
    return lut;
}

bool isGreyRamp(const TBitmapInfo &info)
{
    for (int i = 0; i < 256; ++i) {
        const TRGBQuad &q = info.bmiColors[i];
        if (q.rgbRed != i || q.rgbGreen != i || q.rgbBlue != i)
            return false;
    }
    return true;
}

// One stored row of `bitCount` bits per pixel (1, 4 or 16) to luminance.
void unpackRow(
    const std::uint8_t *in, std::uint8_t *out, int left, int width, int bitCount, const Lut &lut)
{
    for (int x = 0; x < width; ++x) {
        const int px = left + x;
        if (bitCount == 1) {
            out[x] = lut[(in[px >> 3] >> (7 - (px & 7))) & 1];
        } else if (bitCount == 4) {
            out[x] = lut[(in[px >> 1] >> ((px & 1) ? 0 : 4)) & 15];
        } else {
            const int w = in[2 * px] | (in[2 * px + 1] << 8);
            const auto five = [](int v) { return (v << 3) | (v >> 2); };
            out[x] = static_cast<std::uint8_t>(
                luminance(five((w >> 10) & 31), five((w >> 5) & 31), five(w & 31)));
        }
    }
}

} // namespace

GreyResult makeGreyPicture(
    const TDibRec &picture, QRect region, const TraceControl &control, bool convert)
{
    GreyResult r;
    if (!picture.Bits || !picture.BitmapInfo) {
        r.status = TraceResult::Status::Failed;
        r.reason = QStringLiteral("there is no picture");
        return r;
    }
    const TBitmapInfoHeader &h = picture.BitmapInfo->bmiHeader;
    const int width = h.biWidth, height = h.biHeight, bits = h.biBitCount;
    const QRect whole(0, 0, width, height);
    region = region.isEmpty() ? whole : region.intersected(whole);
    if (region.isEmpty()) {
        r.status = TraceResult::Status::Failed;
        r.reason = QStringLiteral("the region lies outside the picture");
        return r;
    }
    r.picture.region = region;
    const int w = region.width(), rows = region.height();
    const int firstStored = height - region.top() - rows;
    const auto storedRow = [&](int y) {
        return picture.Bits + std::size_t(firstStored + y) * picture.BytesPerLine;
    };

    int type = -1;
    if (bits == 24)
        type = CV_8UC3;
    else if (bits == 32)
        type = CV_8UC4;
    else if (bits == 8)
        type = CV_8UC1;
    if (bits == 8 && isGreyRamp(*picture.BitmapInfo) && convert) {
        // The picture's own rows already are luminance: no copy at all.
        r.picture.grey = cv::Mat(rows, w, CV_8UC1, storedRow(0) + region.left(),
            static_cast<std::size_t>(picture.BytesPerLine));
        return r;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        r.status = TraceResult::Status::Failed;
        r.reason = QStringLiteral("pictures of %1 bits per pixel cannot be traced").arg(bits);
        return r;
    }
    if (!convert)
        return r;
    r.picture.grey.create(rows, w, CV_8UC1);
    const Lut lut = bits <= 8 ? paletteLuminance(*picture.BitmapInfo, bits) : Lut {};
    const cv::Mat lutMat(1, 256, CV_8UC1, const_cast<std::uint8_t *>(lut.data()));
    for (int y0 = 0; y0 < rows; y0 += BandRows) {
        if (control.cancelled()) {
            r.status = TraceResult::Status::Cancelled;
            return r;
        }
        const int n = std::min(BandRows, rows - y0);
        cv::Mat out = r.picture.grey.rowRange(y0, y0 + n);
        if (type >= 0) {
            // The stored rows wrapped as they lie; OpenCV's blue-green-red order is the
            // picture's byte order.
            const cv::Mat in(n, w, type, storedRow(y0) + std::size_t(region.left()) * (bits / 8),
                static_cast<std::size_t>(picture.BytesPerLine));
            if (bits == 8)
                cv::LUT(in, lutMat, out);
            else
                cv::cvtColor(in, out, bits == 24 ? cv::COLOR_BGR2GRAY : cv::COLOR_BGRA2GRAY);
        } else {
            for (int y = 0; y < n; ++y)
                unpackRow(storedRow(y0 + y), out.ptr<std::uint8_t>(y), region.left(), w, bits, lut);
        }
    }
    return r;
}
