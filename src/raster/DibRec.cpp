#include "raster/DibRec.h"

#include "raster/DibLimits.h"

#include <QFile>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <unordered_map>

namespace {

bool supportedBitCount(int bitCount)
{
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

} // namespace

std::int64_t dibStride(int width, int bitCount)
{
    return ((static_cast<std::int64_t>(width) * bitCount + 31) / 32) * 4;
}

bool dibSizeAcceptable(int width, int height, int bitCount)
{
    if (width <= 0 || height <= 0 || !supportedBitCount(bitCount))
        return false;
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    if (pixels > kMaxDibPixels)
        return false;
    return dibStride(width, bitCount) * height <= kMaxDibBytes;
}

namespace {

// Pixel rows allocated by a decoder and adopted as they are, with the way to give them back.
// Copying a scanned page costs as much as decoding it, so such rows are not copied.
struct Adopted
{
    PixelRelease release;
    void *owner;
};

std::mutex g_adoptedMutex;
std::unordered_map<const std::uint8_t *, Adopted> g_adopted;

// Pixel blocks of this size and more are mapped from the kernel in 2 MB pages of their own. A
// page of a scanned sheet is over 100 MB, and filling it page fault by page fault in 4 KB
// pages costs more than reading the file does; large pages cut the faults five hundredfold.
// The mapping starts zeroed, so it also spares the clearing that calloc would do.
constexpr std::size_t kLargePage = std::size_t(2) << 20;
constexpr std::size_t kMappedFrom = 4 * kLargePage;

// Mapped pixel blocks and their mapped lengths, guarded by g_adoptedMutex.
std::unordered_map<const std::uint8_t *, std::size_t> g_mapped;

std::uint8_t *mapPixels(std::size_t bytes)
{
    const std::size_t length = (bytes + kLargePage - 1) / kLargePage * kLargePage;
    // Mapped one large page longer so that a block aligned to a large page can be cut from it.
    // The kernel's memory accounting stays in force, so a block larger than the machine can
    // hold is refused here, as calloc would refuse it, instead of failing when it is filled.
    void *raw = ::mmap(
        nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    if (aligned > start)
        ::munmap(raw, aligned - start);
    const std::size_t tail = start + length + kLargePage - (aligned + length);
    if (tail > 0)
        ::munmap(reinterpret_cast<void *>(aligned + length), tail);
    auto *bits = reinterpret_cast<std::uint8_t *>(aligned);
    // Only a hint: without large pages the block still works, in small ones.
    ::madvise(bits, length, MADV_HUGEPAGE);
    const std::lock_guard<std::mutex> lock(g_adoptedMutex);
    g_mapped.emplace(bits, length);
    return bits;
}

// Zero-filled pixel rows, released by releasePixels.
std::uint8_t *allocatePixels(std::size_t bytes)
{
    if (bytes >= kMappedFrom) {
        if (std::uint8_t *bits = mapPixels(bytes))
            return bits;
    }
    return static_cast<std::uint8_t *>(std::calloc(bytes, 1));
}

void releasePixels(std::uint8_t *bits)
{
    std::size_t mapped = 0;
    {
        const std::lock_guard<std::mutex> lock(g_adoptedMutex);
        const auto it = g_mapped.find(bits);
        if (it != g_mapped.end()) {
            mapped = it->second;
            g_mapped.erase(it);
        }
    }
    if (mapped)
        ::munmap(bits, mapped);
    else
        std::free(bits);
}

TBitmapInfo *newHeader(int width, int height, int bitCount, std::int64_t stride)
{
    // The header block always has room for a full colour table, so callers may copy up to 256
    // entries from any record without looking at its bit count first.
    auto *info = static_cast<TBitmapInfo *>(std::calloc(1, sizeof(TBitmapInfo)));
    if (!info)
        return nullptr;
    TBitmapInfoHeader &h = info->bmiHeader;
    h.biSize = sizeof(TBitmapInfoHeader);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<std::uint16_t>(bitCount);
    h.biCompression = 0;
    h.biSizeImage = static_cast<std::uint32_t>(stride * height);
    // 96 dots per inch until a file says otherwise.
    h.biXPelsPerMeter = 3780;
    h.biYPelsPerMeter = 3780;
    return info;
}

} // namespace

void newdib(
    TDibRec &out, int width, int height, int bitCount, const TBitmapInfo *colors, int colorCount)
{
    out = {};
    if (!dibSizeAcceptable(width, height, bitCount))
        return;

    const std::int64_t stride = dibStride(width, bitCount);
    TBitmapInfo *info = newHeader(width, height, bitCount, stride);
    std::uint8_t *bits = info ? allocatePixels(static_cast<std::size_t>(stride * height)) : nullptr;
    if (!bits) {
        std::free(info);
        return;
    }

    const bool indexed = bitCount <= 8;
    if (indexed && colors && colorCount > 0) {
        const int tableSize = 1 << bitCount;
        const int n = colorCount < tableSize ? colorCount : tableSize;
        std::memcpy(
            info->bmiColors, colors->bmiColors, static_cast<std::size_t>(n) * sizeof(TRGBQuad));
    }

    out.BitmapInfo = info;
    out.Bits = bits;
    out.BytesPerLine = static_cast<std::int32_t>(stride);
    out.HasPalette = indexed ? 1 : 0;
}

bool adoptPixels(TDibRec &out, int width, int height, int bitCount, std::uint8_t *bits,
    PixelRelease release, void *owner)
{
    out = {};
    if (!bits || !dibSizeAcceptable(width, height, bitCount))
        return false;
    const std::int64_t stride = dibStride(width, bitCount);
    TBitmapInfo *info = newHeader(width, height, bitCount, stride);
    if (!info)
        return false;
    {
        const std::lock_guard<std::mutex> lock(g_adoptedMutex);
        g_adopted.emplace(bits, Adopted { release, owner });
    }
    out.BitmapInfo = info;
    out.Bits = bits;
    out.BytesPerLine = static_cast<std::int32_t>(stride);
    out.HasPalette = bitCount <= 8 ? 1 : 0;
    return true;
}

void deldib(TDibRec rec)
{
    std::free(rec.BitmapInfo);
    if (!rec.Bits)
        return;
    Adopted adopted { nullptr, nullptr };
    {
        const std::lock_guard<std::mutex> lock(g_adoptedMutex);
        const auto it = g_adopted.find(rec.Bits);
        if (it != g_adopted.end()) {
            adopted = it->second;
            g_adopted.erase(it);
        }
    }
    if (adopted.release)
        adopted.release(adopted.owner);
    else
        releasePixels(rec.Bits);
}

std::uint32_t getpixel(TDibRec rec, int x, int y)
{
    const std::uint8_t *row = rec.Bits + static_cast<std::ptrdiff_t>(y) * rec.BytesPerLine;
    switch (rec.BitmapInfo->bmiHeader.biBitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case 8:
        return row[x];
    case 16: {
        const std::uint8_t *p = row + 2 * static_cast<std::ptrdiff_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8);
    }
    case 24: {
        const std::uint8_t *p = row + 3 * static_cast<std::ptrdiff_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8)
            | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    case 32: {
        const std::uint8_t *p = row + 4 * static_cast<std::ptrdiff_t>(x);
        return p[0] | (static_cast<std::uint32_t>(p[1]) << 8)
            | (static_cast<std::uint32_t>(p[2]) << 16);
    }
    default:
        return 0;
    }
}

void setpixel(TDibRec rec, int x, int y, std::uint32_t value)
{
    std::uint8_t *row = rec.Bits + static_cast<std::ptrdiff_t>(y) * rec.BytesPerLine;
    switch (rec.BitmapInfo->bmiHeader.biBitCount) {
    case 1: {
        const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
        if (value & 1u)
            row[x >> 3] |= mask;
        else
            row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        break;
    }
    case 4: {
        std::uint8_t &b = row[x >> 1];
        if (x & 1)
            b = static_cast<std::uint8_t>((b & 0xF0u) | (value & 0x0Fu));
        else
            b = static_cast<std::uint8_t>((b & 0x0Fu) | ((value & 0x0Fu) << 4));
        break;
    }
    case 8:
        row[x] = static_cast<std::uint8_t>(value);
        break;
    case 16: {
        std::uint8_t *p = row + 2 * static_cast<std::ptrdiff_t>(x);
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        break;
    }
    case 24:
    case 32: {
        const int bytes = rec.BitmapInfo->bmiHeader.biBitCount / 8;
        std::uint8_t *p = row + bytes * static_cast<std::ptrdiff_t>(x);
        p[0] = static_cast<std::uint8_t>(value);
        p[1] = static_cast<std::uint8_t>(value >> 8);
        p[2] = static_cast<std::uint8_t>(value >> 16);
        break;
    }
    default:
        break;
    }
}

Dib Dib::create(int width, int height, int bitCount, const TBitmapInfo *colors, int colorCount)
{
    TDibRec rec;
    newdib(rec, width, height, bitCount, colors, colorCount);
    return Dib(rec);
}

Dib Dib::open(const QString &fileName)
{
    TDibRec rec;
    OpenDib(rec, QFile::encodeName(fileName).constData());
    return Dib(rec);
}

void Dib::reset(TDibRec rec)
{
    const TDibRec old = m_rec;
    m_rec = rec;
    m_serial = serialFor(rec);
    deldib(old);
}

std::uint64_t Dib::serialFor(const TDibRec &rec)
{
    static std::atomic<std::uint64_t> last { 0 };
    return rec.Bits ? ++last : 0;
}
