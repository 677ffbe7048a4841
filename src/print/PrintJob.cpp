#include "print/PrintJob.h"

#include "raster/DibImage.h"
#include "raster/scaled/DibAccess.h"
#include "view/CanvasPainter.h"

#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {

// "Konnte diese Datei nicht erstellen:", followed by the file's name.
constexpr int MsgCannotCreateFile = 12;

} // namespace

Dib composePrintPicture(const TDibRec &picture, const TElementList &elements, const QColor &pen,
    double lineWidth, bool withPicture)
{
    const int width = DibWidth(picture);
    const int height = DibHeight(picture);
    if (!picture.Bits || width <= 0 || height <= 0)
        return {};

    TPaintScene scene;
    scene.picture = &picture;
    scene.elements = &elements;
    scene.penColor = pen;
    scene.lineWidth = lineWidth;
    scene.view = TViewTransform { 100, 0, 0 };
    scene.ShowPicCheck = withPicture;
    // With the pan tool down the painter leaves out node markers and handles, which belong on
    // the screen and not on paper.
    scene.HandBtnDown = true;
    scene.Zeiger1Down = false;

    QImage page;
    PaintBox1Paint(page, QSize(width, height), scene);
    if (page.size() != QSize(width, height))
        return {};
    return Dib(imageToDib(page));
}

TScaledDrawResult paintPrintedPage(
    QPainter &painter, QSize printable, const TDibRec &picture, const TPrintChoices &choices)
{
    const int W = DibWidth(picture);
    const int H = DibHeight(picture);
    if (!picture.Bits || W <= 0 || H <= 0)
        return {};
    const QRect at = printedPictureRect(printable, QSize(W, H), choices);
    if (at.isEmpty())
        return {};
    TScaledDevice device;
    device.isPrinter = true;
    return DrawDibScaled(painter, at.x(), at.y(), at.width(), at.height(), picture, 0, 0, W, H,
        false, SRCCOPY, true, nullptr, device);
}

TPrintResult printPdfFile(const QString &fileName, const QPageLayout &layout, int resolution,
    const std::function<bool(QPainter &, QPdfWriter &)> &paint)
{
    const auto failure = [&](const QString &detail) {
        return TPrintResult { false, MsgCannotCreateFile, fileName, detail };
    };

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("Linovex"));
        writer.setPageLayout(layout);
        writer.setResolution(resolution > 0 ? resolution : 600);
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return failure(QStringLiteral("the PDF page could not be started"));
        }
        const bool painted = paint(painter, writer);
        if (!painter.end() || !painted) {
            file.cancelWriting();
            return failure(QStringLiteral("the PDF page could not be finished"));
        }
    }
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

TPrintResult printToPdfFile(const QString &fileName, const QPageLayout &layout, int resolution,
    const TDibRec &picture, const TPrintChoices &choices)
{
    return printPdfFile(fileName, layout, resolution, [&](QPainter &painter, QPdfWriter &writer) {
        paintPrintedPage(painter, QSize(writer.width(), writer.height()), picture, choices);
        return true;
    });
}
