#pragma once

#include <QString>
#include <cstdint>

// The picture record exchanged with the image library: a device-independent bitmap with its
// header and colour table in one block, and its pixel rows in another. Rows are stored
// bottom-up (lowest picture row first), each padded to a multiple of 4 bytes.

#pragma pack(push, 1)
struct TBitmapInfoHeader
{
    std::uint32_t biSize; // 40
    std::int32_t biWidth;
    std::int32_t biHeight; // positive: rows bottom-up
    std::uint16_t biPlanes; // 1
    std::uint16_t biBitCount; // 1, 4, 8 or 24
    std::uint32_t biCompression; // 0 = BI_RGB
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};

struct TRGBQuad
{
    std::uint8_t rgbBlue;
    std::uint8_t rgbGreen;
    std::uint8_t rgbRed;
    std::uint8_t rgbReserved;
};

// Header followed by up to 256 colour-table entries (as many as 2^biBitCount for <= 8 bits).
struct TBitmapInfo
{
    TBitmapInfoHeader bmiHeader;
    TRGBQuad bmiColors[256];
};
#pragma pack(pop)

static_assert(sizeof(TBitmapInfoHeader) == 40);
static_assert(sizeof(TRGBQuad) == 4);

struct TDibRec
{
    TBitmapInfo *BitmapInfo = nullptr; // header and colour table, owned by the record
    std::uint8_t *Bits = nullptr; // pixel rows, lowest picture row first; null = no picture
    std::int32_t BytesPerLine = 0; // bytes per stored row, a multiple of 4
    std::uint8_t HasPalette = 0; // 1 for pictures with a colour table (1, 4, 8 bits)
};

// --- The image library. Every record obtained here is released exactly once with deldib. ---

// A new picture of width x height with bitCount bits per pixel (1, 4, 8 or 24; 16 and 32 are
// accepted for pictures from other programs' files) and zero-filled pixels. For 1, 4 and 8 bits
// the first `colorCount` colours are copied from `colors` (when given, at most 2^bitCount); the
// rest of the colour table is zero. The header block always holds a full 256-entry table. On
// failure (bad size, more than a gigapixel or 2 GB of pixels, no memory) out.Bits is null.
void newdib(
    TDibRec &out, int width, int height, int bitCount, const TBitmapInfo *colors, int colorCount);

// Reads a picture file into 1, 4 or 8 bits with a colour table, or 24 bits (deeper pictures
// are reduced, transparency is composed over white). On any failure (missing file, not a
// picture, damaged or truncated data, a size beyond the library's limits) out.Bits is null and
// 0 is returned, otherwise 1. `flags` and `owner` are unused.
int OpenDib(TDibRec &out, const char *fileName, int flags = 0, void *owner = nullptr);

// Frees what the record owns. Safe on a record whose pointers are null.
void deldib(TDibRec rec);

// The open-dialog filter of every format the library reads: pairs of description and
// patterns separated by '|'.
const char *GetDIBOpenFilter();

// A copy of a 24-bit picture reduced to 8 bits on a fixed colour table with error diffusion,
// for displays of 256 colours or fewer; the XY form resamples to width x height first.
void DIBHalftoneDIB(TDibRec &out, TDibRec source);
void DIBHalftoneDIBXY(TDibRec &out, TDibRec source, int width, int height);

// Pixel value at column x of stored row y (row 0 is the lowest picture row): the colour index
// for 1, 4, 8 bits, 0x00RRGGBB for 24 and 32 bits, the raw 5-5-5 word for 16 bits. No bounds
// check is made.
std::uint32_t getpixel(TDibRec rec, int x, int y);
void setpixel(TDibRec rec, int x, int y, std::uint32_t value);

// --- Ownership for the rest of the program. ---

// Owns one picture record and releases it exactly once. Move-only, so a record can be neither
// leaked nor released twice through it.
class Dib
{
public:
    Dib() = default;
    explicit Dib(TDibRec rec)
        : m_rec(rec)
        , m_serial(serialFor(rec))
    {
    }
    ~Dib() { reset(); }
    Dib(Dib &&other) noexcept
        : m_serial(other.m_serial)
    {
        m_rec = other.release();
    }
    Dib &operator=(Dib &&other) noexcept
    {
        if (this != &other) {
            const std::uint64_t serial = other.m_serial;
            reset(other.release());
            m_serial = serial;
        }
        return *this;
    }
    Dib(const Dib &) = delete;
    Dib &operator=(const Dib &) = delete;

    static Dib create(int width, int height, int bitCount, const TBitmapInfo *colors = nullptr,
        int colorCount = 0);
    static Dib open(const QString &fileName);

    bool isNull() const { return m_rec.Bits == nullptr; }
    // A number that no other picture of this process has had, kept through moves; 0 while
    // there are no pixels. Whoever keeps something made from the pixels can tell by it whether
    // the picture is still the same one, which a pointer cannot: a new picture may be given
    // the memory of one just freed.
    std::uint64_t serial() const { return m_serial; }
    const TDibRec &rec() const { return m_rec; }
    int width() const { return m_rec.BitmapInfo ? m_rec.BitmapInfo->bmiHeader.biWidth : 0; }
    int height() const { return m_rec.BitmapInfo ? m_rec.BitmapInfo->bmiHeader.biHeight : 0; }
    int bitCount() const { return m_rec.BitmapInfo ? m_rec.BitmapInfo->bmiHeader.biBitCount : 0; }

    // Releases the owned record (if any) and takes `rec` instead.
    void reset(TDibRec rec = {});
    // Gives up ownership without releasing.
    TDibRec release()
    {
        TDibRec r = m_rec;
        m_rec = {};
        m_serial = 0;
        return r;
    }

private:
    static std::uint64_t serialFor(const TDibRec &rec);

    TDibRec m_rec;
    std::uint64_t m_serial = 0;
};
