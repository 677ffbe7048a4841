#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRectF>

// Solid, aliased strokes with round caps and round joins, written straight into the scan
// lines of a 32-bit image. A drawing of many thousands of short segments spends most of its
// time in QPainter's general stroker (outline building, path filling, state changes per
// call); this draws the same shapes row by row.
//
// A stroke of width w covers the pixels whose centres lie within w / 2 of the stroked line,
// where drawing-area point (x, y) stands for the centre of pixel (x, y). That is how the
// raster painter fills an aliased round-capped stroke, so a straight segment comes out
// pixel for pixel as QPainter draws it, apart from single pixels whose centre lies on the
// stroke's very edge. Curves are flattened first, within a quarter of a pixel as the
// painter flattens them, which moves no pixel a user could see.
class PixelStroker
{
public:
    // The image must be Format_RGB32 or a 32-bit ARGB format; other images draw nothing.
    // Meant for widths of 2 and more: the painter draws one-pixel lines with a stepping
    // algorithm of its own, which is cheap already and which this does not imitate.
    PixelStroker(QImage &image, QRgb colour, double width);

    bool isValid() const { return m_bits != nullptr; }

    // Draws only into the rows from `first` up to but not including `end` (cut to the image),
    // so that several strokers can draw into separate bands of one image at the same time.
    void setRows(int first, int end);

    void line(QPointF from, QPointF to);
    // A cubic Bezier curve from p0 through the control points c1 and c2 to p3.
    void cubic(QPointF p0, QPointF c1, QPointF c2, QPointF p3);
    // The ellipse inscribed in the rectangle, as four cubic quarter arcs.
    void ellipse(const QRectF &rect);

private:
    // A straight piece with the disc about its end, and about its start when startCap is set.
    void segment(QPointF a, QPointF b, bool startCap);
    // Fills the pixels of one row whose sample points lie in [lo, hi].
    void fillRow(QRgb *row, double lo, double hi) const;

    uchar *m_bits = nullptr;
    qsizetype m_stride = 0;
    int m_width = 0;
    int m_height = 0;
    int m_firstRow = 0;
    int m_endRow = 0; // the row after the last one drawn into
    QRgb m_colour;
    double m_radius;
};
