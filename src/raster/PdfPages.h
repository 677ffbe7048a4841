#pragma once

#include "raster/DibRec.h"

#include <QSizeF>
#include <QString>
#include <memory>

namespace Poppler {
class Document;
}

// Which page of a PDF becomes the picture, and how: the page (0 is the first), the resolution
// in dots per inch, and colour or grey.
struct PdfPageChoice
{
    int page = 0;
    double dpi = 300.0;
    bool colour = false;
};

// A PDF file whose pages can be rendered as pictures. Opening reads the file's structure only;
// pages are drawn when one is rendered.
class PdfFile
{
public:
    static constexpr double MinDpi = 10.0;
    static constexpr double MaxDpi = 2400.0;

    explicit PdfFile(const QString &fileName);
    ~PdfFile();
    PdfFile(const PdfFile &) = delete;
    PdfFile &operator=(const PdfFile &) = delete;

    // Whether the file begins like a PDF (within its first kilobyte, as readers allow).
    static bool looksLikePdf(const QString &fileName);

    // False for a damaged file, one locked by a password, and one without pages.
    bool readable() const;
    int pageCount() const;
    // The page's size in millimetres; empty for a page that does not exist.
    QSizeF pageSizeMm(int page) const;
    // The page as a picture: 8-bit grey or 24 bits, with the resolution in its header. Null
    // when the page does not exist, has no area, would exceed the library's limits at this
    // resolution, or cannot be drawn.
    Dib render(const PdfPageChoice &choice) const;

private:
    std::unique_ptr<Poppler::Document> m_doc;
};

// An open-dialog filter (pairs separated by '|', the first pair being all pictures) that also
// offers PDF files, among all pictures and on their own.
QString openFilterWithPdf(const QString &filter);
