#include "FuzzBytes.h"
#include "FuzzEntries.h"
#include "raster/DibLimits.h"
#include "raster/DibRec.h"

#include <QFile>

namespace linovex::fuzz {

std::string openDib(std::span<const std::uint8_t> data)
{
    // The targa suffix lets the one format without a signature be tried as well; every other
    // format is recognised by its content.
    static const QString path = scratchDir() + QStringLiteral("/input.tga");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return "the scratch file cannot be written";
        file.write(reinterpret_cast<const char *>(data.data()), static_cast<qint64>(data.size()));
    }
    TDibRec rec;
    const int ok = OpenDib(rec, QFile::encodeName(path).constData());
    std::string problem;
    if (!ok) {
        if (rec.Bits != nullptr)
            problem = "a refused picture left pixel rows behind";
    } else if (!rec.Bits || !rec.BitmapInfo) {
        problem = "an accepted picture without rows or header";
    } else {
        const TBitmapInfoHeader &h = rec.BitmapInfo->bmiHeader;
        const int bits = h.biBitCount;
        if (h.biWidth <= 0 || h.biHeight <= 0)
            problem = "an accepted picture without pixels";
        else if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            problem = "an accepted picture of " + std::to_string(bits) + " bits";
        else if (rec.BytesPerLine != dibStride(h.biWidth, bits))
            problem = "rows of an unexpected length";
        else if ((bits <= 8) != (rec.HasPalette != 0))
            problem = "a colour table flag that does not fit the depth";
        else {
            // Touch the first and the last pixel byte, so a short row block shows up under the
            // address sanitizer.
            volatile std::uint8_t sink = rec.Bits[0];
            sink = rec.Bits[static_cast<std::size_t>(rec.BytesPerLine) * h.biHeight - 1];
            (void)sink;
        }
    }
    deldib(rec);
    return problem;
}

} // namespace linovex::fuzz
