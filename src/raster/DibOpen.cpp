#include "raster/DibRec.h"
#include "raster/QtImageDecoder.h"

#include <QFile>

int OpenDib(TDibRec &out, const char *fileName, int, void *)
{
    out = {};
    if (!fileName)
        return 0;
    QFile file(QFile::decodeName(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray data = file.readAll();
    out = decodeWithQt(data);
    return out.Bits ? 1 : 0;
}
