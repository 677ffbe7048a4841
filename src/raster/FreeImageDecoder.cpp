// FreeImage's header declares Windows-style names that clash with other headers, so it is used
// from this file only.
#include "raster/FreeImageDecoder.h"

#include "raster/DeclaredSize.h"
#include "raster/DibLimits.h"
#include "raster/JpegEnd.h"
#include "raster/JpegResolution.h"
#include "raster/StructureCheck.h"
#include "raster/TargaRows.h"

#include <FreeImage.h>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <optional>

namespace {

// A read-only FreeImage stream over bytes in memory that notices a decoder running out of
// data. FreeImage returns partly filled pictures from truncated files without saying so; a
// read that comes back short is how a truncated file shows itself.
struct MemoryStream
{
    const unsigned char *data = nullptr;
    long size = 0;
    long pos = 0;
    bool shortRead = false; // a read got fewer bytes than asked for
    bool emptyRead = false; // a read found no bytes at all
    void rewind()
    {
        pos = 0;
        shortRead = false;
        emptyRead = false;
    }
};

unsigned DLL_CALLCONV streamRead(void *buffer, unsigned size, unsigned count, fi_handle handle)
{
    auto *s = static_cast<MemoryStream *>(handle);
    if (size == 0 || count == 0)
        return 0;
    const long left = s->size - s->pos;
    const long wantedItems = static_cast<long>(count);
    const long items =
        left / static_cast<long>(size) < wantedItems ? left / static_cast<long>(size) : wantedItems;
    if (items < wantedItems)
        s->shortRead = true;
    if (items == 0)
        s->emptyRead = true;
    std::memcpy(buffer, s->data + s->pos, static_cast<std::size_t>(items) * size);
    s->pos += items * static_cast<long>(size);
    return static_cast<unsigned>(items);
}

unsigned DLL_CALLCONV streamWrite(void *, unsigned, unsigned, fi_handle)
{
    return 0;
}

int DLL_CALLCONV streamSeek(fi_handle handle, long offset, int origin)
{
    auto *s = static_cast<MemoryStream *>(handle);
    long base = 0;
    if (origin == SEEK_CUR)
        base = s->pos;
    else if (origin == SEEK_END)
        base = s->size;
    // Some decoders compute offsets from header fields they never filled, so any value comes;
    // the sum is formed only where it cannot overflow.
    if (offset < -base)
        return -1;
    // Seeking past the end is allowed as for a file; the next read finds nothing.
    s->pos = offset > s->size - base ? s->size : base + offset;
    return 0;
}

long DLL_CALLCONV streamTell(fi_handle handle)
{
    return static_cast<MemoryStream *>(handle)->pos;
}

FreeImageIO streamIO()
{
    FreeImageIO io;
    io.read_proc = streamRead;
    io.write_proc = streamWrite;
    io.seek_proc = streamSeek;
    io.tell_proc = streamTell;
    return io;
}

// Decoders report through this hook. Most reports are harmless (unknown tags and the like),
// but a JPEG decoder that meets the end of the data early says so only here and then fills the
// rest of the picture with grey. The program has one thread, so a plain flag will do.
bool g_dataEndedEarly = false;

void DLL_CALLCONV onDecoderMessage(FREE_IMAGE_FORMAT, const char *message)
{
    if (message && QByteArray(message).toLower().contains("premature end"))
        g_dataEndedEarly = true;
}

// libtiff, which FreeImage loads, prints its complaints about unknown tags of sound files on
// stderr. Its handlers are looked up at run time so that we need no libtiff headers.
void DLL_CALLCONV quietTiffHandler(const char *, const char *, va_list) { }

void silenceTiff()
{
    using Handler = void (*)(const char *, const char *, va_list);
    using SetHandler = Handler (*)(Handler);
    for (const char *name : { "TIFFSetErrorHandler", "TIFFSetWarningHandler" }) {
        if (void *symbol = dlsym(RTLD_DEFAULT, name))
            reinterpret_cast<SetHandler>(symbol)(quietTiffHandler);
    }
}

void ensureInitialised()
{
    static const bool done = [] {
        FreeImage_SetOutputMessage(onDecoderMessage);
        silenceTiff();
        return true;
    }();
    (void)done;
}

struct BitmapDeleter
{
    void operator()(FIBITMAP *dib) const { FreeImage_Unload(dib); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// The formats we trust FreeImage with: each reports its size before decoding, or has its size
// checked from the header by us first.
bool acceptedFormat(FREE_IMAGE_FORMAT fif)
{
    switch (fif) {
    case FIF_BMP:
    case FIF_ICO:
    case FIF_JPEG:
    case FIF_IFF:
    case FIF_PBM:
    case FIF_PBMRAW:
    case FIF_PGM:
    case FIF_PGMRAW:
    case FIF_PPM:
    case FIF_PPMRAW:
    case FIF_PCX:
    case FIF_PNG:
    case FIF_RAS:
    case FIF_TARGA:
    case FIF_TIFF:
    case FIF_PSD:
    case FIF_GIF:
    case FIF_J2K:
    case FIF_JP2:
        return true;
    default:
        return false;
    }
}

int loadFlags(FREE_IMAGE_FORMAT fif)
{
    switch (fif) {
    case FIF_PNG:
        // Pixel values as stored; a gamma chunk must not shift the colours being traced.
        return PNG_IGNOREGAMMA;
    case FIF_JPEG:
        return JPEG_ACCURATE;
    default:
        return 0;
    }
}

// How a truncated file shows in the reads of each decoder. Most ask for exactly what they
// need, so any short read means the data ran out. Some read ahead in fixed-size blocks, so the
// last read of a sound file comes back short; only a read that finds nothing left counts for
// them. The JPEG 2000 decoder reads the whole stream twice and refuses truncated data itself.
enum class TruncationSign {
    ShortRead,
    EmptyRead,
    DecoderReports,
};

TruncationSign truncationSign(FREE_IMAGE_FORMAT fif, const QByteArray &data)
{
    switch (fif) {
    case FIF_JPEG:
    case FIF_PCX:
    case FIF_GIF:
        return TruncationSign::EmptyRead;
    case FIF_J2K:
    case FIF_JP2:
        return TruncationSign::DecoderReports;
    case FIF_TARGA:
        // Run-length encoded Targa pictures (image types 9, 10 and 11) go through a read cache.
        return data.size() > 2 && (static_cast<unsigned char>(data[2]) & 8) != 0
            ? TruncationSign::EmptyRead
            : TruncationSign::ShortRead;
    default:
        return TruncationSign::ShortRead;
    }
}

bool streamRanOut(const MemoryStream &stream, TruncationSign sign)
{
    switch (sign) {
    case TruncationSign::ShortRead:
        return stream.shortRead;
    case TruncationSign::EmptyRead:
        return stream.emptyRead;
    case TruncationSign::DecoderReports:
        return false;
    }
    return true;
}

// The check of its structure that a format gets before it is decoded; none for the others,
// which get the plausibility of their size for the file's length instead.
std::optional<CheckedFormat> checkedFormatFor(FREE_IMAGE_FORMAT fif)
{
    switch (fif) {
    case FIF_TARGA:
        return CheckedFormat::Targa;
    case FIF_IFF:
        return CheckedFormat::Iff;
    case FIF_PCX:
        return CheckedFormat::Pcx;
    case FIF_BMP:
        return CheckedFormat::Bmp;
    case FIF_GIF:
        return CheckedFormat::Gif;
    case FIF_JPEG:
        return CheckedFormat::Jpeg;
    case FIF_PNG:
        return CheckedFormat::Png;
    default:
        return std::nullopt;
    }
}

bool sizeAcceptable(std::int64_t width, std::int64_t height)
{
    return width > 0 && height > 0 && width <= 0x7FFFFFFF && height <= 0x7FFFFFFF
        && dibSizeAcceptable(static_cast<int>(width), static_cast<int>(height), 24);
}

// Brings any decoded picture to one of the depths the library hands out: 1, 4 or 8 bits with
// a colour table, or 24 bits. Transparency is composed over white; the fourth byte of a 32-bit
// picture whose file does not declare it as alpha is dropped.
Bitmap toStandardDepth(Bitmap dib, bool hasAlpha)
{
    const FREE_IMAGE_TYPE type = FreeImage_GetImageType(dib.get());
    if (type == FIT_RGBA16 || type == FIT_RGBAF) {
        dib.reset(FreeImage_ConvertTo32Bits(dib.get()));
    } else if (type != FIT_BITMAP) {
        // 16 bits per channel and other sample types: first to 8 bits per channel.
        // Linear scaling would stretch the contrast of a grey picture, so 16-bit grey keeps its
        // high byte instead.
        Bitmap standard(type == FIT_RGB16 ? FreeImage_ConvertTo24Bits(dib.get())
                : type == FIT_UINT16      ? FreeImage_ConvertTo8Bits(dib.get())
                                          : FreeImage_ConvertToStandardType(dib.get(), TRUE));
        dib = std::move(standard);
        // Grey pictures of 16 bits per sample come out as 24-bit pictures, like colour ones.
        if (dib && type == FIT_UINT16)
            dib.reset(FreeImage_ConvertTo24Bits(dib.get()));
    }
    if (!dib)
        return dib;

    const unsigned bpp = FreeImage_GetBPP(dib.get());
    if (bpp == 1 || bpp == 4 || bpp == 8)
        return dib;
    if (bpp == 32 && hasAlpha && FreeImage_IsTransparent(dib.get())) {
        RGBQUAD white = { 255, 255, 255, 0 };
        return Bitmap(FreeImage_Composite(dib.get(), FALSE, &white, nullptr));
    }
    if (bpp != 24)
        return Bitmap(FreeImage_ConvertTo24Bits(dib.get()));
    return dib;
}

void DLL_CALLCONV releaseBitmap(void *dib)
{
    FreeImage_Unload(static_cast<FIBITMAP *>(dib));
}

// Hands the decoded bitmap over to a record. FreeImage keeps rows bottom-up with the same
// 4-byte alignment and byte order as the record, so the rows are taken over as they are.
TDibRec toRecord(Bitmap dib)
{
    const int width = static_cast<int>(FreeImage_GetWidth(dib.get()));
    const int height = static_cast<int>(FreeImage_GetHeight(dib.get()));
    const int bpp = static_cast<int>(FreeImage_GetBPP(dib.get()));
    TDibRec rec;
    if (FreeImage_GetPitch(dib.get()) != dibStride(width, bpp)
        || !adoptPixels(
            rec, width, height, bpp, FreeImage_GetBits(dib.get()), releaseBitmap, dib.get()))
        return rec;
    FIBITMAP *owned = dib.release();

    if (bpp <= 8) {
        const RGBQUAD *palette = FreeImage_GetPalette(owned);
        const unsigned colours = FreeImage_GetColorsUsed(owned);
        const unsigned tableSize = 1u << bpp;
        const BYTE *alpha =
            FreeImage_IsTransparent(owned) ? FreeImage_GetTransparencyTable(owned) : nullptr;
        const unsigned alphaCount = alpha ? FreeImage_GetTransparencyCount(owned) : 0;
        for (unsigned i = 0; palette && i < colours && i < tableSize; ++i) {
            // A transparent colour shows the white page beneath; the picture stays indexed.
            const unsigned a = i < alphaCount ? alpha[i] : 255;
            const auto over = [a](BYTE c) {
                return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
            };
            TRGBQuad &q = rec.BitmapInfo->bmiColors[i];
            q.rgbRed = over(palette[i].rgbRed);
            q.rgbGreen = over(palette[i].rgbGreen);
            q.rgbBlue = over(palette[i].rgbBlue);
        }
    }
    const unsigned xPpm = FreeImage_GetDotsPerMeterX(owned);
    const unsigned yPpm = FreeImage_GetDotsPerMeterY(owned);
    if (xPpm > 0 && yPpm > 0 && xPpm <= 0x7FFFFFFF && yPpm <= 0x7FFFFFFF) {
        rec.BitmapInfo->bmiHeader.biXPelsPerMeter = static_cast<std::int32_t>(xPpm);
        rec.BitmapInfo->bmiHeader.biYPelsPerMeter = static_cast<std::int32_t>(yPpm);
    }
    return rec;
}

FREE_IMAGE_FORMAT formatOf(FreeImageIO &io, MemoryStream &stream, const QString &suffix)
{
    FREE_IMAGE_FORMAT fif =
        FreeImage_GetFileTypeFromHandle(&io, &stream, static_cast<int>(stream.size));
    stream.rewind();
    if (fif == FIF_UNKNOWN && (suffix == QLatin1String("tga") || suffix == QLatin1String("targa")))
        fif = FIF_TARGA;
    return fif;
}

} // namespace

DecodeResult decodeWithFreeImage(const QByteArray &file, const QString &suffix)
{
    ensureInitialised();
    MemoryStream stream;
    stream.data = reinterpret_cast<const unsigned char *>(file.constData());
    stream.size = static_cast<long>(file.size());
    FreeImageIO io = streamIO();

    const FREE_IMAGE_FORMAT fif = formatOf(io, stream, suffix);
    if (fif == FIF_UNKNOWN || !acceptedFormat(fif) || !FreeImage_FIFSupportsReading(fif))
        return {};

    const std::optional<CheckedFormat> checked = checkedFormatFor(fif);
    if (checked && !structureIntact(*checked, file))
        return { {}, DecodeStatus::Rejected };

    // Targa pictures whose colour map FreeImage would take for pixels are refused.
    if (fif == FIF_TARGA && !targaMapWhereFreeImageExpectsIt(file))
        return { {}, DecodeStatus::Rejected };
    // The decoder gets Targa run-length packets that stay within their rows, and the end marker
    // of a JPEG file that lacks nothing else.
    const QByteArray mended = fif == FIF_TARGA ? targaPacketsWithinRows(file)
        : fif == FIF_JPEG                      ? jpegEndMarkerAdded(file)
                                               : QByteArray();
    const QByteArray &whole = mended.isNull() ? file : mended;
    const QByteArray withoutExif = fif == FIF_JPEG ? jpegWithoutExif(whole) : QByteArray();
    const QByteArray &data = withoutExif.isNull() ? whole : withoutExif;
    stream.data = reinterpret_cast<const unsigned char *>(data.constData());
    stream.size = static_cast<long>(data.size());

    // The size first, from the header alone, so that a forged size costs nothing.
    DeclaredSize declared;
    if (FreeImage_FIFSupportsNoPixels(fif)) {
        g_dataEndedEarly = false;
        Bitmap header(FreeImage_LoadFromHandle(fif, &io, &stream, FIF_LOAD_NOPIXELS));
        stream.rewind();
        if (!header)
            return {};
        declared = { true, FreeImage_GetWidth(header.get()), FreeImage_GetHeight(header.get()) };
    } else {
        declared = declaredPictureSize(data);
    }
    if (!declared.known || !sizeAcceptable(declared.width, declared.height)
        || (!checked && !sizePlausibleForFile(declared.width, declared.height, data)))
        return { {}, DecodeStatus::Rejected };

    g_dataEndedEarly = false;
    Bitmap dib(FreeImage_LoadFromHandle(fif, &io, &stream, loadFlags(fif)));
    if (!dib)
        return {};
    if (g_dataEndedEarly || streamRanOut(stream, truncationSign(fif, data))
        || !FreeImage_HasPixels(dib.get()))
        return { {}, DecodeStatus::Rejected };

    dib = toStandardDepth(std::move(dib), !checked || fourthByteIsAlpha(*checked, data));
    if (!dib)
        return { {}, DecodeStatus::Rejected };
    DecodeResult result { toRecord(std::move(dib)), DecodeStatus::Decoded };
    if (!result.rec.Bits) {
        result.status = DecodeStatus::Rejected;
        return result;
    }
    // FreeImage takes a JPEG's resolution from its JFIF header alone; many scanners and
    // cameras declare theirs only in the EXIF block.
    if (fif == FIF_JPEG) {
        if (const auto dpm = jpegDeclaredDotsPerMetre(whole);
            dpm && dpm->first < 0x7FFFFFFF && dpm->second < 0x7FFFFFFF) {
            TBitmapInfoHeader &h = result.rec.BitmapInfo->bmiHeader;
            h.biXPelsPerMeter = static_cast<std::int32_t>(std::lround(dpm->first));
            h.biYPelsPerMeter = static_cast<std::int32_t>(std::lround(dpm->second));
        }
    }
    return result;
}
