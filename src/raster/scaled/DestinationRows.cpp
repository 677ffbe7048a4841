#include "raster/scaled/DestinationRows.h"

#include <QPaintDevice>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace {

// Band images hold at most this many pixels, so a large printer page or a large window never
// needs one huge temporary image.
constexpr qsizetype BandPixels = 1 << 20;

QImage *directTarget(QPainter &painter, QPainter::CompositionMode mode, QPoint &offset)
{
    if (mode != QPainter::CompositionMode_Source)
        return nullptr;
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_RGB32 && f != QImage::Format_ARGB32
        && f != QImage::Format_ARGB32_Premultiplied)
        return nullptr;
    // Writing through a shared image would detach it from the painter's copy.
    if (!image->isDetached() || image->devicePixelRatio() != 1.0)
        return nullptr;
    const QTransform t = painter.combinedTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::trunc(t.dx())
        || t.dy() != std::trunc(t.dy()))
        return nullptr;
    if (painter.hasClipping() && painter.clipRegion().rectCount() != 1)
        return nullptr;
    offset = QPoint(static_cast<int>(t.dx()), static_cast<int>(t.dy()));
    return image;
}

} // namespace

DestinationRows::DestinationRows(
    QPainter &painter, const QRect &visible, QPainter::CompositionMode mode)
    : m_painter(painter)
    , m_visible(visible)
    , m_mode(mode)
{
    m_target = directTarget(painter, mode, m_offset);
    if (!m_target && !visible.isEmpty()) {
        const int rows = static_cast<int>(
            std::clamp<qsizetype>(BandPixels / visible.width(), 1, visible.height()));
        m_band = QImage(visible.width(), rows, QImage::Format_RGB32);
        m_bandTop = visible.top();
    }
}

DestinationRows::~DestinationRows()
{
    finish();
}

std::uint32_t *DestinationRows::row(int y)
{
    if (m_target) {
        auto *line = reinterpret_cast<std::uint32_t *>(m_target->scanLine(y + m_offset.y()));
        return line + m_visible.left() + m_offset.x();
    }
    if (m_band.isNull())
        return nullptr;
    if (y - m_bandTop >= m_band.height())
        flush();
    if (m_bandRows == 0)
        m_bandTop = y;
    ++m_bandRows;
    return reinterpret_cast<std::uint32_t *>(m_band.scanLine(y - m_bandTop));
}

void DestinationRows::flush()
{
    if (m_bandRows == 0)
        return;
    m_painter.save();
    m_painter.setCompositionMode(m_mode);
    m_painter.drawImage(
        QPoint(m_visible.left(), m_bandTop), m_band, QRect(0, 0, m_band.width(), m_bandRows));
    m_painter.restore();
    m_bandTop += m_bandRows;
    m_bandRows = 0;
}

void DestinationRows::finish()
{
    flush();
}
