// The main window's view items: the zoom that fits the whole picture or shows it at its own size,
// zoom steps that keep the point under the pointer in place, and rulers that count in the unit
// of the DXF exports.

#include "app/TMainForm.h"
#include "export/DxfExportParams.h"
#include "view/ui/TPaintBox.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>

namespace {

constexpr const char *RulersInUnitKey = "TMainForm/LinealeinMm1.Checked";

} // namespace

void TMainForm::createViewItems()
{
    QMenu *ansicht = menuBar()->findChild<QMenu *>(QStringLiteral("Ansicht1"));
    QAction *fit = action("GanzesBild1", QStringLiteral("Ganzes Bild"));
    fit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    QAction *original = action("Originalgre1", QStringLiteral("Originalgröße"));
    original->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    ansicht->addAction(fit);
    ansicht->addAction(original);
    connect(fit, &QAction::triggered, this, &TMainForm::GanzesBild1Click);
    connect(original, &QAction::triggered, this, &TMainForm::Originalgre1Click);

    // The ruler's unit sits with the rulers' switch and is remembered like it.
    LinealeinMm1 = action("LinealeinMm1", QStringLiteral("Lineale in mm"));
    LinealeinMm1->setCheckable(true);
    LinealeinMm1->setChecked(QSettings().value(QLatin1String(RulersInUnitKey), false).toBool());
    const QList<QAction *> items = ansicht->actions();
    const qsizetype at = items.indexOf(Linealeanzeigen1);
    ansicht->insertAction(
        at >= 0 && at + 1 < items.size() ? items.at(at + 1) : nullptr, LinealeinMm1);
    connect(LinealeinMm1, &QAction::triggered, this, &TMainForm::LinealeinMm1Click);
}

std::optional<QPoint> TMainForm::pointerInDrawingArea() const
{
    if (!PaintBox1->isVisible())
        return std::nullopt;
    const QPoint at = PaintBox1->mapFromGlobal(QCursor::pos());
    if (!PaintBox1->rect().contains(at))
        return std::nullopt;
    return at;
}

void TMainForm::zoomTo(double zoom, bool aboutPointer)
{
    const std::optional<QPoint> anchor = aboutPointer ? pointerInDrawingArea() : std::nullopt;
    if (!anchor) {
        // Away from the drawing area the zoom field's own rule holds: the picture is scaled
        // about its origin.
        zoomed->setValue(static_cast<int>(zoom));
        return;
    }
    if (!m_nav.zoomAbout(zoom, *anchor))
        return;
    // The controls take the new values without drawing; the view is drawn once, afterwards.
    zoomed->setValue(static_cast<int>(m_nav.zoom()));
    syncScrollBars();
    Repaint();
}

void TMainForm::GanzesBild1Click()
{
    if (!m_nav.fitPicture(PaintBox1->size(), QSize(m_picture.width(), m_picture.height())))
        return;
    zoomed->setValue(static_cast<int>(m_nav.zoom()));
    syncScrollBars();
    Repaint();
}

void TMainForm::Originalgre1Click()
{
    zoomTo(100, true);
}

void TMainForm::LinealeinMm1Click()
{
    QSettings().setValue(QLatin1String(RulersInUnitKey), LinealeinMm1->isChecked());
    updateRulers();
}

void TMainForm::updateRulers()
{
    PaintBox2->update();
    PaintBox3->update();
}

double TMainForm::rulerPixelsPerUnit() const
{
    return LinealeinMm1 && LinealeinMm1->isChecked() ? dxfParams().scaleDivisor() : 0;
}
