// Working in real units: the status bar with the pointer's position and the size of what is
// being drawn, the measuring tool, a line's length typed on the keyboard, and the exact
// position of a point. The numbers come from the tools' core; this file only shows them.

#include "app/TMainFormEditState.h"
#include "export/DxfExportParams.h"
#include "i18n/ui/LanguageMenu.h"
#include "tools/NodeEditTool.h"
#include "view/ui/TPaintBox.h"

#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>

namespace {

ReadoutWords wordsFor(int languageIndex)
{
    // A German run looks nothing up, so that it adds no records to the translation table.
    return languageIndex == 0 ? ReadoutWords {} : ReadoutWords {}.translated(translateText);
}

// The keys that begin a typed length: digits and the decimal separator, without Ctrl or Alt.
bool beginsNumber(const QKeyEvent *key)
{
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    return text.size() == 1
        && (text.at(0).isDigit() || text.at(0) == QLatin1Char('.')
            || text.at(0) == QLatin1Char(','));
}

} // namespace

std::optional<TPointD> askPointDialog(
    QWidget *parent, const QString &caption, TPointD initial, int decimals, const QString &unit)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("PointDialog"));
    dialog.setWindowTitle(caption);
    auto *layout = new QFormLayout(&dialog);
    auto field = [&](const char *name, double value) {
        auto *spin = new QDoubleSpinBox(&dialog);
        spin->setObjectName(QLatin1String(name));
        spin->setDecimals(decimals);
        spin->setRange(-1.0e7, 1.0e7);
        spin->setSuffix(QLatin1Char(' ') + unit);
        spin->setValue(value);
        spin->setMinimumWidth(140);
        return spin;
    };
    QDoubleSpinBox *x = field("PointXEd", initial.x);
    QDoubleSpinBox *y = field("PointYEd", initial.y);
    // What the fields show is the value rounded to their decimals; a field the user leaves
    // alone must give back the exact coordinate, or OK alone would move the point.
    const double shownX = x->value();
    const double shownY = y->value();
    layout->addRow(QStringLiteral("X:"), x);
    layout->addRow(QStringLiteral("Y:"), y);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return TPointD { x->value() == shownX ? initial.x : x->value(),
        y->value() == shownY ? initial.y : y->value() };
}

void TMainForm::connectReadout()
{
    // The tool goes after the tools that are there, before the separator of the chain buttons.
    MessBtn = action("MessBtn", QStringLiteral("Messen"));
    MessBtn->setIcon(QIcon(QStringLiteral(":/icons/measure.svg")));
    MessBtn->setCheckable(true);
    MessBtn->setShortcut(QKeySequence(Qt::Key_M));
    ToolGroup->addAction(MessBtn);
    const QList<QAction *> left = ToolBar2->actions();
    const qsizetype chainButtons = left.indexOf(CloseBtn);
    ToolBar2->insertAction(chainButtons > 0 ? left.at(chainButtons - 1) : nullptr, MessBtn);
    connect(ToolGroup, &QActionGroup::triggered, this,
        [this] { showReadout(toolEventAt(m_lastPointer, MouseButton::Left)); });

    QMenu *ansicht = menuBar()->findChild<QMenu *>(QStringLiteral("Ansicht1"));
    Statusleisteanzeigen1 =
        action("Statusleisteanzeigen1", QStringLiteral("Statusleiste anzeigen"));
    Statusleisteanzeigen1->setCheckable(true);
    Statusleisteanzeigen1->setChecked(true);
    const QList<QAction *> viewItems = ansicht->actions();
    const qsizetype rulers = viewItems.indexOf(Linealeanzeigen1);
    ansicht->insertAction(
        rulers >= 0 && rulers + 1 < viewItems.size() ? viewItems.at(rulers + 1) : nullptr,
        Statusleisteanzeigen1);
    // Toggled rather than triggered, so that the stored choice shows when it is restored.
    connect(Statusleisteanzeigen1, &QAction::toggled, StatusBar1, &QWidget::setVisible);

    QMenu *bearbeiten = menuBar()->findChild<QMenu *>(QStringLiteral("Bearbeiten1"));
    bearbeiten->addSeparator()->setObjectName(QStringLiteral("N8"));
    Punktbearbeiten1 = action("Punktbearbeiten1", QStringLiteral("Punkt bearbeiten..."));
    bearbeiten->addAction(Punktbearbeiten1);
    connect(Punktbearbeiten1, &QAction::triggered, this, &TMainForm::Punktbearbeiten1Click);
    connect(bearbeiten, &QMenu::aboutToShow, this, [this] {
        TPointD p {};
        Punktbearbeiten1->setEnabled(NodeEditTool::selectedPoint(*m_elements, p));
    });

    auto label = [this](const char *name) {
        auto *l = new QLabel(StatusBar1);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    m_positionLabel = label("PositionLabel");
    m_segmentLabel = label("SegmentLabel");
    m_hintLabel = label("HintLabel");
    // The position keeps its room, so that the other texts do not jump while the pointer moves.
    m_positionLabel->setMinimumWidth(m_positionLabel->fontMetrics().horizontalAdvance(
        QStringLiteral("X: -0000.00  Y: -0000.00 mm   00000, 00000 px")));
    StatusBar1->addWidget(m_positionLabel);
    StatusBar1->addWidget(m_segmentLabel);
    StatusBar1->addWidget(m_hintLabel, 1);
    m_lengthLabel = label("LengthLabel");
    m_lengthLabel->setText(m_words.lengthField);
    m_lengthField = new QLineEdit(StatusBar1);
    m_lengthField->setObjectName(QStringLiteral("LengthEd"));
    m_lengthField->setMaximumWidth(100);
    StatusBar1->addPermanentWidget(m_lengthLabel);
    StatusBar1->addPermanentWidget(m_lengthField);
    m_lengthLabel->hide();
    m_lengthField->hide();
    connect(m_lengthField, &QLineEdit::returnPressed, this, &TMainForm::lengthEntered);
}

void TMainForm::readoutShown()
{
    m_words = wordsFor(m_languageIndex);
    if (m_languageMenu) {
        connect(m_languageMenu, &LanguageMenu::languageChosen, this,
            [this](int index) { m_words = wordsFor(index); });
    }
}

ReadoutUnit TMainForm::readoutUnit() const
{
    const DxfExportParams params = dxfParams();
    return ReadoutUnit(params.scaleDivisor(), params.millimetres);
}

void TMainForm::showReadout(const ToolEvent &pointer)
{
    m_lastPointer = pointer.screen;
    // A hidden status bar costs the pointer's moves nothing, and a label is only touched when
    // its text changes.
    if (!Statusleisteanzeigen1 || !Statusleisteanzeigen1->isChecked())
        return;
    const StatusReadout now = ::statusReadout(m_tools, pointer, readoutUnit(), m_words);
    if (now.position != m_statusShown.position)
        m_positionLabel->setText(now.position);
    if (now.segment != m_statusShown.segment)
        m_segmentLabel->setText(now.segment);
    if (now.hint != m_statusShown.hint)
        m_hintLabel->setText(now.hint);
    m_statusShown = now;
}

void TMainForm::paintMeasurement(QPainter &painter)
{
    const MeasureTool &m = m_tools.measure();
    if (toolDown() != ToolButton::MessBtn || m.phase() == MeasureTool::Phase::Idle)
        return;
    const TViewTransform view = m_nav.transform();
    const QPoint a = view.ImageToScreen(m.first());
    const QPoint b = view.ImageToScreen(m.second());
    painter.save();
    painter.setPen(QPen(QColor(0, 90, 200), 1, Qt::DashLine));
    painter.drawLine(a, b);
    painter.setPen(QPen(QColor(0, 90, 200), 1));
    for (const QPoint &p : { a, b })
        painter.drawEllipse(p, 3, 3);
    painter.restore();
}

void TMainForm::Punktbearbeiten1Click()
{
    // Chains being carried are put down first, or the next pointer move would carry the edited
    // point back to where the drag copies say.
    if (m_tools.editing().NodeDragging)
        documentReplaced();
    changeCompleted();
    TPointD point {};
    if (!NodeEditTool::selectedPoint(*m_elements, point))
        return;
    const ReadoutUnit unit = readoutUnit();
    const TPointD initial = unit.fromPicture(point);
    const QString unitName = lengthText(0, unit, m_words).section(QLatin1Char(' '), 1);
    const std::optional<TPointD> typed = m_edit->prompts.askPoint(
        this, m_words.pointCaption, initial, unit.decimals() + 2, unitName);
    if (!typed)
        return;
    const TPointD target = unit.toPicture(*typed);
    // A coordinate left as it was stays exactly as it was.
    const TPointD exact { typed->x == initial.x ? point.x : target.x,
        typed->y == initial.y ? point.y : target.y };
    if (exact == point || !std::isfinite(exact.x) || !std::isfinite(exact.y))
        return;
    NodeEditTool::moveSelectionTo(*m_elements, exact);
    // Every selected point may have moved, the chains being carried included.
    m_drawingTiles.invalidateAll();
    changeCompleted();
    Repaint();
}

bool TMainForm::lineWaitsForEnd() const
{
    return toolDown() == ToolButton::Linie1
        && m_tools.drawing().phase() == DrawingTool::Phase::WaitingForEnd;
}

bool TMainForm::readoutKey(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_lengthField && m_lengthField) {
        // Escape closes the field and leaves the line as it is, instead of ending the chain.
        const bool escape = (type == QEvent::ShortcutOverride || type == QEvent::KeyPress)
            && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape;
        if (escape) {
            event->accept();
            if (type == QEvent::KeyPress)
                closeLengthField();
            return true;
        }
        if (type == QEvent::FocusOut && m_lengthField->isVisible())
            QMetaObject::invokeMethod(
                this, [this] { closeLengthField(); }, Qt::QueuedConnection);
        return false;
    }
    if (watched != PaintBox1 || (type != QEvent::ShortcutOverride && type != QEvent::KeyPress))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!beginsNumber(key) || !lineWaitsForEnd())
        return false;
    // While a line waits for its end, the number keys type its length instead of choosing a
    // tool.
    event->accept();
    if (type == QEvent::KeyPress)
        openLengthField(key->text());
    return true;
}

void TMainForm::openLengthField(const QString &typed)
{
    m_lengthLabel->setText(m_words.lengthField);
    StatusBar1->show();
    m_lengthLabel->show();
    // Keys that reach the drawing area while the field is open belong to the same number.
    if (m_lengthField->isVisible())
        m_lengthField->insert(typed);
    else
        m_lengthField->setText(typed);
    m_lengthField->show();
    m_lengthField->setFocus();
}

void TMainForm::closeLengthField()
{
    if (!m_lengthField->isVisible())
        return;
    m_lengthField->hide();
    m_lengthLabel->hide();
    StatusBar1->setVisible(Statusleisteanzeigen1->isChecked());
    PaintBox1->setFocus();
}

void TMainForm::lengthEntered()
{
    bool ok = false;
    const double length =
        m_lengthField->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    closeLengthField();
    if (!ok)
        return;
    // The direction is the rubber band's for the pointer where it last moved, with the keys
    // as they are now.
    const ToolEvent pointer = toolEventAt(m_lastPointer, MouseButton::Left);
    if (!m_tools.placeLineEnd(pointer, readoutUnit().pixels(length)))
        return;
    toolEventDone();
    showReadout(pointer);
}
