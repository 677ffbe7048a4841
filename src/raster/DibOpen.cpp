#include "raster/DibRec.h"
#include "raster/FreeImageDecoder.h"
#include "raster/PlainBmp.h"
#include "raster/QtImageDecoder.h"

#include <QFile>
#include <QFileInfo>

int OpenDib(TDibRec &out, const char *fileName, int, void *)
{
    out = {};
    if (!fileName || !*fileName)
        return 0;
    const QString name = QFile::decodeName(fileName);
    // Only regular files: opening a named pipe or a device could block or never end.
    if (!QFileInfo(name).isFile())
        return 0;
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

    if (const std::optional<TDibRec> plain = readPlainBmp(file, data)) {
        out = *plain;
        return out.Bits ? 1 : 0;
    }

    const QString suffix = QFileInfo(name).suffix().toLower();
    // FreeImage first: it reads more formats, and it decodes PNG and JPEG pages faster than
    // Qt's readers do (see bench/raster).
    const DecodeResult result = decodeWithFreeImage(data, suffix);
    if (result.status == DecodeStatus::Refused)
        out = decodeWithQt(data);
    else
        out = result.rec;
    return out.Bits ? 1 : 0;
}

const char *GetDIBOpenFilter()
{
    // Pairs of description and patterns: first everything, then each format on its own.
    static const char filter[] =
        "All pictures|"
        "*.BMP;*.DIB;*.RLE;*.GIF;*.IFF;*.LBM;*.JIF;*.JPG;*.JPEG;*.JPE;*.JP2;*.J2K;"
        "*.PCX;*.TGA;*.TIF;*.TIFF;*.PNG;*.PBM;*.PGM;*.PPM;*.PSD;*.RAS;*.ICO;*.WEBP|"
        "BMP - Windows,OS/2 Bitmap|*.BMP|"
        "DIB - Windows,OS/2 DIB|*.DIB|"
        "RLE - Windows Run-Length Encoded Bitmap|*.RLE|"
        "GIF - CompuServe Graphics Interchange|*.GIF|"
        "IFF - Amiga Interleaved Bitmap|*.IFF|"
        "JIF - JPEG - JFIF Compliant|*.JIF|"
        "JPG - JPEG - JFIF Compliant|*.JPG;*.JPEG;*.JPE|"
        "JP2 - JPEG 2000|*.JP2;*.J2K|"
        "LBM - Deluxe Paint|*.LBM|"
        "PCX - ZSoft Paintbrush|*.PCX|"
        "PNG - Portable Network Graphics|*.PNG|"
        "PNM - Portable Bitmap, Greymap, Pixmap|*.PBM;*.PGM;*.PPM|"
        "PSD - Adobe Photoshop|*.PSD|"
        "RAS - Sun Raster|*.RAS|"
        "TGA - Truevision Targa|*.TGA|"
        "TIF - Tagged Image File Format|*.TIF;*.TIFF|"
        "ICO - Windows Icon|*.ICO|"
        "WEBP - WebP|*.WEBP";
    return filter;
}
