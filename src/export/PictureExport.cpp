#include "export/PictureExport.h"

#include "view/CanvasPainter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

QImage exportPicture(const TElementList &list, const PictureExportSettings &settings)
{
    const TDibRec *pic = settings.picture;
    if (!pic || !pic->Bits || !pic->BitmapInfo)
        return {};
    const QSize size(
        pic->BitmapInfo->bmiHeader.biWidth, std::abs(pic->BitmapInfo->bmiHeader.biHeight));
    if (size.isEmpty())
        return {};

    TPaintScene scene;
    scene.picture = pic;
    scene.elements = &list;
    scene.penColor = settings.penColor;
    scene.lineWidth = settings.lineWidth;
    scene.view = TViewTransform {};
    scene.ShowPicCheck = settings.withPicture;
    // The painter leaves out node markers while the pan tool is down, and handles unless the
    // node tool is: that is exactly the drawing without editing aids.
    scene.Zeiger1Down = false;
    scene.HandBtnDown = true;
    scene.BufferOnly = true;

    QImage image;
    PaintBox1Paint(image, size, scene);
    return image;
}

const char *pictureFormatFor(const QString &fileName, const char *fallback)
{
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("png"))
        return "png";
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg") || ext == QLatin1String("jpe"))
        return "jpeg";
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff"))
        return "tiff";
    if (ext == QLatin1String("bmp") || ext == QLatin1String("dib"))
        return "bmp";
    return fallback;
}

ExportResult savePicture(const TElementList &list, const PictureExportSettings &settings,
    const QString &fileName, const char *fallbackFormat)
{
    QImage image;
    try {
        image = exportPicture(list, settings);
    } catch (const std::bad_alloc &) {
        image = QImage();
    }
    if (image.isNull()) {
        return ExportResult::failure(PictureCannotCreateMessage, fileName,
            QStringLiteral("there is no picture to paint on, or not enough memory for it"));
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return ExportResult::failure(PictureCannotCreateMessage, fileName, file.errorString());
    QImageWriter writer(&file, pictureFormatFor(fileName, fallbackFormat));
    if (!writer.write(image)) {
        const QString reason = writer.errorString();
        file.cancelWriting();
        return ExportResult::failure(PictureCannotCreateMessage, fileName, reason);
    }
    if (!file.commit())
        return ExportResult::failure(PictureCannotCreateMessage, fileName, file.errorString());
    return ExportResult::success();
}
