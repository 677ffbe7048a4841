#include "raster/QtImageDecoder.h"

#include "raster/DibImage.h"
#include "raster/DibLimits.h"
#include "raster/StructureCheck.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// A read-only buffer that remembers whether a reader got fewer bytes than it asked for. Qt's
// BMP reader asks for each row exactly and hands back a partly filled picture when the file
// ends early; a short read is how we notice.
class EndWatchingBuffer : public QBuffer
{
public:
    explicit EndWatchingBuffer(const QByteArray *data) { setData(*data); }
    bool shortRead() const { return m_shortRead; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = QBuffer::readData(data, maxSize);
        if (maxSize > 0 && n < maxSize)
            m_shortRead = true;
        return n;
    }

private:
    bool m_shortRead = false;
};

} // namespace

TDibRec decodeWithQt(const QByteArray &data)
{
    EndWatchingBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    // Qt only sees what FreeImage did not decode, so the format Qt recognises gets the same
    // check of its structure first: a GIF frame placed far outside a tiny file's screen, for
    // example, would otherwise make Qt fill a canvas of hundreds of megabytes.
    const std::optional<CheckedFormat> checked = checkedFormatForQt(reader.format());
    if (checked && !structureIntact(*checked, data))
        return {};
    const QSize size = reader.size();
    if (size.isValid()
        && (!dibSizeAcceptable(size.width(), size.height(), 24)
            || (!checked && !sizePlausibleForFile(size.width(), size.height(), data))))
        return {};
    // The size is known and within our limits, so Qt's own allocation limit must not refuse
    // large scans; when the size is unknown its limit stays as a guard.
    if (size.isValid())
        reader.setAllocationLimit(0);
    const bool exactReads = reader.format() == "bmp" || reader.format() == "dib";
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    if (exactReads && buffer.shortRead())
        return {};
    return imageToDib(image);
}
