#include "raster/PdfPages.h"

#include "raster/DibImage.h"
#include "raster/DibLimits.h"

#include <QFile>
#include <QVariant>
#include <cmath>
#include <poppler-qt6.h>

namespace {

constexpr double PointsPerInch = 72.0;
constexpr double MillimetresPerPoint = 25.4 / 72.0;

// Damaged files make the PDF library report every repair it attempts on the error stream; the
// user learns of a file it cannot read from the program's own message instead.
void ignoreMessage(const QString &, const QVariant &) { }

std::int64_t pixelsFor(double points, double dpi)
{
    return static_cast<std::int64_t>(std::ceil(points * dpi / PointsPerInch));
}

} // namespace

PdfFile::PdfFile(const QString &fileName)
{
    Poppler::setDebugErrorFunction(ignoreMessage, QVariant());
    m_doc = Poppler::Document::load(fileName);
    if (m_doc) {
        m_doc->setRenderHint(Poppler::Document::Antialiasing);
        m_doc->setRenderHint(Poppler::Document::TextAntialiasing);
    }
}

PdfFile::~PdfFile() = default;

bool PdfFile::looksLikePdf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(1024).contains("%PDF-");
}

bool PdfFile::readable() const
{
    return m_doc && !m_doc->isLocked() && m_doc->numPages() > 0;
}

int PdfFile::pageCount() const
{
    return readable() ? m_doc->numPages() : 0;
}

QSizeF PdfFile::pageSizeMm(int page) const
{
    if (page < 0 || page >= pageCount())
        return {};
    const std::unique_ptr<Poppler::Page> p = m_doc->page(page);
    return p ? p->pageSizeF() * MillimetresPerPoint : QSizeF();
}

Dib PdfFile::render(const PdfPageChoice &choice) const
{
    if (choice.page < 0 || choice.page >= pageCount() || !(choice.dpi >= MinDpi)
        || choice.dpi > MaxDpi)
        return {};
    const std::unique_ptr<Poppler::Page> page = m_doc->page(choice.page);
    if (!page)
        return {};
    const QSizeF points = page->pageSizeF();
    const std::int64_t width = pixelsFor(points.width(), choice.dpi);
    const std::int64_t height = pixelsFor(points.height(), choice.dpi);
    // The page is drawn into 32 bits per pixel before it becomes a picture, so that buffer
    // must keep within the library's limits too.
    if (width < 1 || height < 1 || width > 0x7FFFFFFF || height > 0x7FFFFFFF
        || !dibSizeAcceptable(static_cast<int>(width), static_cast<int>(height), 32))
        return {};
    QImage image = page->renderToImage(choice.dpi, choice.dpi);
    if (image.isNull())
        return {};
    const int dotsPerMetre = static_cast<int>(std::lround(choice.dpi / 0.0254));
    if (!choice.colour) {
        const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
        image = QImage();
        if (grey.isNull())
            return {};
        // The grey rows, seen as indexes into a grey ramp, become an 8-bit picture with a
        // colour table without another conversion.
        QImage indexed(grey.constBits(), grey.width(), grey.height(), grey.bytesPerLine(),
            QImage::Format_Indexed8);
        QList<QRgb> ramp(256);
        for (int i = 0; i < 256; ++i)
            ramp[i] = qRgb(i, i, i);
        indexed.setColorTable(ramp);
        indexed.setDotsPerMeterX(dotsPerMetre);
        indexed.setDotsPerMeterY(dotsPerMetre);
        return Dib(imageToDib(indexed));
    }
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return Dib(imageToDib(image));
}

QString openFilterWithPdf(const QString &filter)
{
    QStringList parts = filter.split(QLatin1Char('|'));
    if (parts.size() < 2)
        return filter;
    parts[1] += QLatin1String(";*.PDF");
    // The pair goes before a closing entry for all files, which stays last.
    const bool allFilesLast =
        parts.last() == QLatin1String("*") || parts.last() == QLatin1String("*.*");
    const qsizetype at = allFilesLast ? parts.size() - 2 : parts.size();
    parts.insert(at, QStringLiteral("*.PDF"));
    parts.insert(at, QStringLiteral("PDF - Portable Document Format"));
    return parts.join(QLatin1Char('|'));
}
