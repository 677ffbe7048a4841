#pragma once

#include <QFile>
#include <QImage>
#include <QList>
#include <QProcess>
#include <QString>
#include <optional>

namespace linovex::test {

// Renders every page of a PDF file at 72 dpi, one pixel per point, with poppler's pdftoppm,
// into `dir`. The pages in order; nothing when pdftoppm is not installed.
inline std::optional<QList<QImage>> renderPdfPages(const QString &pdf, const QString &dir)
{
    QProcess p;
    const QString prefix = dir + QStringLiteral("/page");
    p.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"), pdf, prefix });
    if (!p.waitForStarted(10000))
        return std::nullopt;
    p.waitForFinished(60000);
    QList<QImage> pages;
    for (int i = 1;; ++i) {
        QImage page(QStringLiteral("%1-%2.png").arg(prefix).arg(i));
        if (page.isNull())
            break;
        pages << page.convertToFormat(QImage::Format_RGB32);
        QFile::remove(QStringLiteral("%1-%2.png").arg(prefix).arg(i));
    }
    return pages;
}

// The bounding box of the pixels of a rendered page that `match` accepts.
template <typename Match> QRect areaOf(const QImage &page, Match match)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (match(page.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace linovex::test
