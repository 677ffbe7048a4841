#include "FuzzEntries.h"
#include "document/ProjectFile.h"
#include "support/SequentialBytes.h"

#include <QBuffer>
#include <cstring>

namespace linovex::fuzz {

namespace {

bool samePicture(const TDibRec &a, const TDibRec &b)
{
    const TBitmapInfoHeader &ha = a.BitmapInfo->bmiHeader;
    const TBitmapInfoHeader &hb = b.BitmapInfo->bmiHeader;
    if (ha.biWidth != hb.biWidth || ha.biHeight != hb.biHeight || ha.biBitCount != hb.biBitCount
        || a.BytesPerLine != b.BytesPerLine)
        return false;
    const auto bytes =
        static_cast<std::size_t>(a.BytesPerLine) * static_cast<std::size_t>(ha.biHeight);
    return std::memcmp(a.Bits, b.Bits, bytes) == 0
        && std::memcmp(
               a.BitmapInfo->bmiColors, b.BitmapInfo->bmiColors, sizeof a.BitmapInfo->bmiColors)
        == 0;
}

} // namespace

std::string projectReader(std::span<const std::uint8_t> data)
{
    const QByteArray bytes(
        reinterpret_cast<const char *>(data.data()), static_cast<qsizetype>(data.size()));
    QBuffer file;
    file.setData(bytes);
    file.open(QIODevice::ReadOnly);
    int lastPercent = 0;
    bool percentInRange = true;
    ProjectReadResult read = readProject(file, [&](int percent) {
        percentInRange = percentInRange && percent >= 0 && percent <= 100;
        lastPercent = percent;
    });
    if (!percentInRange)
        return "a progress value outside 0..100";

    // Read as a pipe, the reader allocates the picture before its rows arrive (up to the image
    // library's limit of 2 GB), which would make most inputs slow; the pipe is compared for the
    // files that read and for those refused in the element block.
    if (read.ok || read.reason.contains(QLatin1String("elements"))) {
        SequentialBytes pipe(bytes);
        const ProjectReadResult piped = readProject(pipe);
        if (piped.ok != read.ok)
            return "a pipe and a file with the same bytes were judged differently";
    }
    if (!read.ok)
        return read.reason.isEmpty() ? "a refused file without a reason" : std::string();
    if (lastPercent != 0)
        return "the progress was not reset at the end";

    // What was read must be written back as a file that reads the same again.
    ProjectContents &c = read.contents;
    QBuffer copy;
    copy.open(QIODevice::WriteOnly);
    if (!writeProject(copy, *c.elements, c.picture.rec(), c.penColor, c.lineWidth))
        return "a project that was read could not be written";
    if (copy.data().size() != bytes.size())
        return "the written project has a different size than the one read";
    copy.close();
    copy.open(QIODevice::ReadOnly);
    const ProjectReadResult again = readProject(copy);
    if (!again.ok)
        return "a written project cannot be read back: " + again.reason.toStdString();
    const ProjectContents &d = again.contents;
    const std::uint32_t count = c.elements->Count();
    if (d.elements->Count() != count
        || (count > 0
            && std::memcmp(&d.elements->at(0), &c.elements->at(0), count * sizeof(TDrawElement))
                != 0))
        return "the elements changed on the way through a file";
    if (d.penColor != c.penColor
        || std::memcmp(&d.lineWidth, &c.lineWidth, sizeof c.lineWidth) != 0)
        return "the pen changed on the way through a file";
    if (!samePicture(d.picture.rec(), c.picture.rec()))
        return "the picture changed on the way through a file";
    return {};
}

} // namespace linovex::fuzz
