#include "raster/DibRec.h"
#include "raster/FreeImageDecoder.h"
#include "raster/QtImageDecoder.h"

#include <QFile>
#include <QFileInfo>

int OpenDib(TDibRec &out, const char *fileName, int, void *)
{
    out = {};
    if (!fileName || !*fileName)
        return 0;
    const QString name = QFile::decodeName(fileName);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return 0;

    // Mapping spares a copy of large files; the bytes are only read.
    QByteArray data;
    if (uchar *mapped = file.map(0, file.size()))
        data = QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), file.size());
    else
        data = file.readAll();
    if (data.isEmpty())
        return 0;

    const QString suffix = QFileInfo(name).suffix().toLower();
    DecodeResult result;
    if (freeImagePreferredFor(data))
        result = decodeWithFreeImage(data, suffix);
    if (result.status == DecodeStatus::Refused)
        out = decodeWithQt(data);
    else
        out = result.rec;
    return out.Bits ? 1 : 0;
}
