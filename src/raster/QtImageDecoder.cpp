#include "raster/QtImageDecoder.h"

#include "raster/DibImage.h"
#include "raster/DibLimits.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// A read-only buffer that remembers whether a reader asked for bytes past the end. Qt's
// readers hand back partly decoded pictures from truncated files; this is how we notice.
class EndWatchingBuffer : public QBuffer
{
public:
    explicit EndWatchingBuffer(const QByteArray *data) { setData(*data); }
    bool readPastEnd() const { return m_readPastEnd; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = QBuffer::readData(data, maxSize);
        if (maxSize > 0 && n < maxSize)
            m_readPastEnd = true;
        return n;
    }

private:
    bool m_readPastEnd = false;
};

} // namespace

TDibRec decodeWithQt(const QByteArray &data)
{
    EndWatchingBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && !dibSizeAcceptable(size.width(), size.height(), 24))
        return {};
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return {};
    if (buffer.readPastEnd())
        return {};
    return imageToDib(image);
}
