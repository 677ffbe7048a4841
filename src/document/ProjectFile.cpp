#include "document/ProjectFile.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

namespace {

constexpr std::int64_t kElementBytes = sizeof(TDrawElement);
constexpr std::int64_t kTrailerBytes = 4 + 8; // pen colour and line width

bool writeAll(QIODevice &out, const void *data, std::int64_t size)
{
    return out.write(static_cast<const char *>(data), size) == size;
}

bool readAll(QIODevice &in, void *data, std::int64_t size)
{
    return in.read(static_cast<char *>(data), size) == size;
}

template <typename T> bool readValue(QIODevice &in, T &value)
{
    return readAll(in, &value, sizeof value);
}

ProjectReadResult refuse(const QString &reason)
{
    ProjectReadResult r;
    r.reason = reason;
    return r;
}

// The sixteen coordinates of a record (Start to DragCtrl2) lie one after another, so they are
// checked as one run of doubles: a double is infinite or not a number exactly when all its
// exponent bits are set. Testing the bits without branches lets the compiler check many at once.
bool finitePoints(const TDrawElement &e)
{
    constexpr std::size_t kFirst = offsetof(TDrawElement, Start);
    constexpr std::size_t kCount = 16;
    static_assert(
        offsetof(TDrawElement, DragCtrl2) + sizeof(TPointD) - kFirst == kCount * sizeof(double));
    constexpr std::uint64_t kExponent = 0x7FF0000000000000u;
    std::uint64_t bits[kCount];
    std::memcpy(bits, reinterpret_cast<const unsigned char *>(&e) + kFirst, sizeof bits);
    bool finite = true;
    for (const std::uint64_t b : bits)
        finite &= (b & kExponent) != kExponent;
    return finite;
}

std::int64_t strideOf(std::int64_t width, int bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// Moves the picture rows in pieces of about 4 MB (the rows are contiguous in the record and in
// the file), reporting the progress of every row before the piece that holds it: 0 first, the
// row percentages, 0 at the end.
template <typename Move>
bool transferRows(int rows, std::int32_t stride, const ProjectProgress &progress, Move move)
{
    const int perPiece = std::max(1, static_cast<int>((4 << 20) / std::max(stride, 1)));
    if (progress)
        progress(0);
    for (int first = 0; first < rows; first += perPiece) {
        const int count = std::min(perPiece, rows - first);
        if (progress) {
            for (int r = first; r < first + count; ++r)
                progress(projectRowProgress(r, rows));
        }
        if (!move(first, count))
            return false;
    }
    if (progress)
        progress(0);
    return true;
}

} // namespace

int projectRowProgress(int row, int rowCount)
{
    if (rowCount <= 1)
        return 0;
    return static_cast<int>(static_cast<std::int64_t>(row) * 100 / (rowCount - 1));
}

ProjectHeaderSize projectHeaderSize(int bitCount)
{
    // 2^bitCount in 32-bit arithmetic: 32 bits wrap to 0 colours.
    const std::uint32_t colors = bitCount >= 0 && bitCount < 32 ? (1u << bitCount) : 0u;
    if (colors != 0 && colors <= 256)
        return { static_cast<std::int32_t>(40 + 4 * colors), static_cast<std::int32_t>(colors) };
    return { 40, 0 };
}

bool writeProject(QIODevice &out, const TElementList &elements, const TDibRec &picture,
    std::uint32_t penColor, double lineWidth, const ProjectProgress &progress)
{
    if (!picture.BitmapInfo || !picture.Bits)
        return false;
    const std::int32_t count = static_cast<std::int32_t>(elements.Count());
    if (!writeAll(out, &count, 4))
        return false;
    // The store keeps its records packed in list order, exactly as the file holds them.
    if (count > 0 && !writeAll(out, &elements.at(0), count * kElementBytes))
        return false;

    const TBitmapInfoHeader &header = picture.BitmapInfo->bmiHeader;
    const ProjectHeaderSize hs = projectHeaderSize(header.biBitCount);
    if (!writeAll(out, &hs.headerSize, 4) || !writeAll(out, &hs.colorCount, 4)
        || !writeAll(out, picture.BitmapInfo, hs.headerSize))
        return false;

    const bool rowsWritten =
        transferRows(header.biHeight, picture.BytesPerLine, progress, [&](int first, int count) {
            return writeAll(out,
                picture.Bits + static_cast<std::size_t>(first) * picture.BytesPerLine,
                static_cast<std::int64_t>(count) * picture.BytesPerLine);
        });
    if (!rowsWritten)
        return false;

    return writeAll(out, &penColor, 4) && writeAll(out, &lineWidth, 8);
}

ProjectReadResult readProject(QIODevice &in, const ProjectProgress &progress)
{
    // For files the remaining size is known, so every count is checked before anything is
    // allocated; for sequential devices short reads end the read instead.
    const bool sized = !in.isSequential();
    auto remaining = [&]() -> std::int64_t { return in.size() - in.pos(); };

    std::int32_t count = 0;
    if (!readValue(in, count))
        return refuse(QStringLiteral("the file is too short"));
    if (count < 0)
        return refuse(QStringLiteral("the element count is negative"));
    if (sized && static_cast<std::int64_t>(count) * kElementBytes > remaining())
        return refuse(QStringLiteral("the file holds fewer elements than it announces"));

    ProjectReadResult result;
    ProjectContents &c = result.contents;
    TElementList &store = *c.elements;
    // A file's records go into a store of their final size, allocated once. A sequential device
    // cannot tell how much is left, so there the store grows only as records really arrive, in
    // pieces that start small and double: a forged count then costs about as much memory as the
    // records that did arrive, not gigabytes. Either way the records are read in those pieces,
    // and each is checked while its bytes are still in the cache.
    auto outOfMemory = [&]() {
        ProjectReadResult r = refuse(QStringLiteral("there is not enough memory for the elements"));
        r.outOfMemory = true;
        return r;
    };
    TDrawElement *records = nullptr;
    if (sized && count > 0) {
        records = store.AppendRecords(static_cast<std::uint32_t>(count));
        if (!records)
            return outOfMemory();
    }
    std::int32_t piece = 1 << 10;
    constexpr std::int32_t kLargestPiece = 1 << 16;
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t n = std::min(piece, count - done);
        piece = std::min(2 * piece, kLargestPiece);
        if (!sized) {
            TDrawElement *added = store.AppendRecords(static_cast<std::uint32_t>(n));
            if (!added)
                return outOfMemory();
            records = added - done; // the first record, wherever the growth moved the store
        }
        if (!readAll(in, records + done, n * kElementBytes))
            return refuse(QStringLiteral("the file holds fewer elements than it announces"));
        for (std::int32_t i = done; i < done + n; ++i) {
            if (!finitePoints(records[i]))
                return refuse(QStringLiteral("an element has a coordinate that is not a number"));
        }
        done += n;
    }

    std::int32_t headerSize = 0;
    std::int32_t colorCount = 0;
    if (!readValue(in, headerSize) || !readValue(in, colorCount))
        return refuse(QStringLiteral("the picture header is missing"));
    if (headerSize < 40 || headerSize > static_cast<std::int32_t>(sizeof(TBitmapInfo)))
        return refuse(QStringLiteral("the picture header size is not valid"));

    TBitmapInfo info {};
    if (!readAll(in, &info, headerSize))
        return refuse(QStringLiteral("the picture header is incomplete"));
    const TBitmapInfoHeader &h = info.bmiHeader;
    const int bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return refuse(QStringLiteral("the picture has an unsupported bit depth"));
    const ProjectHeaderSize expected = projectHeaderSize(bits);
    if (headerSize != expected.headerSize || colorCount != expected.colorCount)
        return refuse(QStringLiteral("the picture header does not match its bit depth"));
    if (h.biWidth <= 0 || h.biHeight <= 0)
        return refuse(QStringLiteral("the picture size is not valid"));

    const std::int64_t stride = strideOf(h.biWidth, bits);
    // A forged width and height can ask for more bytes than 64 bits can count.
    if (stride > INT64_MAX / h.biHeight)
        return refuse(QStringLiteral("the picture size is not valid"));
    const std::int64_t pixelBytes = stride * h.biHeight;
    if (sized && pixelBytes + kTrailerBytes > remaining())
        return refuse(
            QStringLiteral("the file holds fewer picture rows than its header announces"));

    c.picture = Dib::create(h.biWidth, h.biHeight, bits, &info, colorCount);
    if (c.picture.isNull())
        return refuse(QStringLiteral("the picture could not be created"));
    const TDibRec &pic = c.picture.rec();
    if (pic.BytesPerLine != stride)
        return refuse(QStringLiteral("the picture rows have an unexpected length"));
    // The file's resolution belongs to the picture as much as its pixels do.
    pic.BitmapInfo->bmiHeader.biXPelsPerMeter = h.biXPelsPerMeter;
    pic.BitmapInfo->bmiHeader.biYPelsPerMeter = h.biYPelsPerMeter;

    const bool rowsRead =
        transferRows(h.biHeight, pic.BytesPerLine, progress, [&](int first, int count) {
            return readAll(in, pic.Bits + static_cast<std::size_t>(first) * pic.BytesPerLine,
                static_cast<std::int64_t>(count) * pic.BytesPerLine);
        });
    if (!rowsRead)
        return refuse(
            QStringLiteral("the file holds fewer picture rows than its header announces"));

    if (!readValue(in, c.penColor) || !readValue(in, c.lineWidth))
        return refuse(QStringLiteral("the pen colour or line width is missing"));
    if (!std::isfinite(c.lineWidth))
        return refuse(QStringLiteral("the line width is not a number"));
    // Bytes after the line width mean the sizes read above were not the ones written.
    if (sized ? remaining() != 0 : !in.read(1).isEmpty())
        return refuse(QStringLiteral("the file has bytes left over after the line width"));

    result.ok = true;
    return result;
}

ProjectLoad loadProjectFile(const QString &fileName, const ProjectProgress &progress)
{
    ProjectLoad load;
    QFile file(fileName);
    // The reader asks for whole rows and the whole element block at once, so Qt's buffer would
    // only add a copy.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        load.cannotOpen = true;
        load.result.reason = file.errorString();
        return load;
    }
    load.result = readProject(file, progress);
    return load;
}

bool saveProjectFile(const QString &fileName, const TElementList &elements, const TDibRec &picture,
    std::uint32_t penColor, double lineWidth, const ProjectProgress &progress)
{
    QSaveFile file(fileName);
    // Rows and elements are written in large pieces; Qt's own buffer would only copy them again.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (!writeProject(file, elements, picture, penColor, lineWidth, progress)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
