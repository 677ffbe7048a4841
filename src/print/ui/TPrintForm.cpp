#include "print/ui/TPrintForm.h"

#include "i18n/Translator.h"
#include "print/ui/PrinterSetup.h"
#include "raster/DibImage.h"
#include "raster/scaled/DibAccess.h"
#include "raster/scaled/ScaledDraw.h"
#include "view/ui/FormStorage.h"
#include "view/ui/TPaintBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace {

constexpr int BoxSize = 190;

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QSpinBox *percentField(const char *name, QWidget *parent)
{
    auto *field = named(new QSpinBox(parent), name);
    field->setRange(MinPercent, MaxPercent);
    field->setValue(50);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return field;
}

} // namespace

TPrintForm::TPrintForm(QWidget *parent)
    : QDialog(parent)
    , printerSetup(runPrinterSetup)
{
    setObjectName(QStringLiteral("TPrintForm"));
    setWindowTitle(QStringLiteral("Bild drucken..."));
    setFixedSize(427, 328);
    createComponents();

    FormStorage1 = new FormStorage(this, QStringLiteral("TPrintForm"),
        { QStringLiteral("BreitEdit.Value"), QStringLiteral("HochEdit.Value") },
        FormStorage::Placement::StateOnly);
    // Installed after the storage, so this filter sees the show first and can quiet the fields
    // while the storage puts the remembered values back.
    installEventFilter(this);

    PrintPaintBox->setPaintHandler([this](QPainter &p) { PrintPaintBoxPaint(p); });
    connect(UseFullCheck, &QRadioButton::clicked, this, &TPrintForm::repaintPreview);
    connect(UserdefCheck, &QRadioButton::clicked, this, &TPrintForm::UserdefCheckClick);
    connect(Mastab11Check, &QRadioButton::clicked, this, &TPrintForm::repaintPreview);
    connect(SverhCheck, &QCheckBox::clicked, this, &TPrintForm::repaintPreview);
    connect(ZentrCheck, &QCheckBox::clicked, this, &TPrintForm::repaintPreview);
    connect(BreitEdit, &QSpinBox::valueChanged, this, &TPrintForm::BreitEditChange);
    connect(HochEdit, &QSpinBox::valueChanged, this, &TPrintForm::HochEditChange);
    connect(PrintSetupBtn, &QPushButton::clicked, this, &TPrintForm::PrintSetupBtnClick);
    connect(OkBitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TPrintForm::~TPrintForm()
{
    // The dialog may go without ever being closed; its fields still exist here.
    FormStorage1->save();
}

void TPrintForm::createComponents()
{
    named(new QLabel(QStringLiteral("Vorschau:"), this), "Label1")->setGeometry(8, 8, 194, 16);
    auto *panel = named(new QFrame(this), "Panel1");
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setLineWidth(2);
    // The part of the box that the page does not cover shows the panel's darker colour.
    panel->setAutoFillBackground(true);
    panel->setBackgroundRole(QPalette::Mid);
    panel->setGeometry(8, 26, BoxSize + 4, BoxSize + 4);
    PrintPaintBox = named(new TPaintBox(panel), "PrintPaintBox");
    PrintPaintBox->setGeometry(2, 2, BoxSize, BoxSize);

    auto *size = named(new QGroupBox(QStringLiteral("Druckgröße"), this), "GroupBox1");
    size->setGeometry(214, 8, 205, 162);
    UseFullCheck =
        named(new QRadioButton(QStringLiteral("Seite voll nutzen"), size), "UseFullCheck");
    UseFullCheck->setGeometry(12, 24, 185, 20);
    UseFullCheck->setChecked(true);
    UserdefCheck =
        named(new QRadioButton(QStringLiteral("Benutzerdefiniert"), size), "UserdefCheck");
    UserdefCheck->setGeometry(12, 48, 185, 20);
    named(new QLabel(QStringLiteral("Breite in %:"), size), "Label2")->setGeometry(30, 78, 90, 20);
    BreitEdit = percentField("BreitEdit", size);
    BreitEdit->setGeometry(122, 76, 70, 24);
    named(new QLabel(QStringLiteral("Höhe in %:"), size), "Label3")->setGeometry(30, 106, 90, 20);
    HochEdit = percentField("HochEdit", size);
    HochEdit->setGeometry(122, 104, 70, 24);
    Mastab11Check =
        named(new QRadioButton(QStringLiteral("Drucken im Maßstab 1:1"), size), "Mastab11Check");
    Mastab11Check->setGeometry(12, 134, 185, 20);

    auto *options = named(new QGroupBox(QStringLiteral("Druckoptionen"), this), "GroupBox2");
    options->setGeometry(214, 176, 205, 76);
    SverhCheck =
        named(new QCheckBox(QStringLiteral("Seitenverhältnis beibehalten"), options), "SverhCheck");
    SverhCheck->setGeometry(12, 24, 185, 20);
    SverhCheck->setChecked(true);
    ZentrCheck = named(new QCheckBox(QStringLiteral("Zentrierte Ausgabe"), options), "ZentrCheck");
    ZentrCheck->setGeometry(12, 48, 185, 20);
    ZentrCheck->setChecked(true);

    PrintSetupBtn =
        named(new QPushButton(QStringLiteral("Drucker &einrichten..."), this), "PrintSetupBtn");
    PrintSetupBtn->setGeometry(8, 236, 194, 28);
    // Its text is set while the dialog is open, from the page count, so the window walk that
    // translates captions leaves it empty.
    SeitenLabel = named(new QLabel(this), "SeitenLabel");
    SeitenLabel->setGeometry(214, 254, 205, 20);

    auto *line = named(new QFrame(this), "Bevel1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 276, 411, 4);
    OkBitBtn1 = named(new QPushButton(QStringLiteral("&OK"), this), "OkBitBtn1");
    OkBitBtn1->setGeometry(250, 290, 80, 28);
    OkBitBtn1->setDefault(true);
    CancelBitBtn2 = named(new QPushButton(QStringLiteral("A&bbrechen"), this), "CancelBitBtn2");
    CancelBitBtn2->setGeometry(339, 290, 80, 28);
}

QPrinter &TPrintForm::printer()
{
    // Looking for the installed printers can take a moment, so it waits until a print or the
    // preview needs the printer.
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

QSize TPrintForm::printablePage()
{
    // The printer's painter starts at the printable page's corner and measures it in printer
    // pixels, so the preview uses the same numbers as the print.
    QPrinter &p = printer();
    return QSize(p.width(), p.height());
}

TPrintChoices TPrintForm::choices() const
{
    return TPrintChoices { UseFullCheck->isChecked(), SverhCheck->isChecked(),
        ZentrCheck->isChecked(), BreitEdit->value(), HochEdit->value(),
        Mastab11Check->isChecked() };
}

TTrueSizePages TPrintForm::trueSizePages()
{
    const TTrueSizeDrawing drawing { &PreviewDib, true, nullptr, {}, 0, TrueSizePixelsPerMm };
    return trueSizePagesFor(printer(), drawing, ZentrCheck->isChecked());
}

void TPrintForm::updatePageCount()
{
    if (!Mastab11Check->isChecked()) {
        SeitenLabel->clear();
        return;
    }
    const TTrueSizePages pages = trueSizePages();
    if (pages.count() > MaxTrueSizePages) {
        SeitenLabel->setText(translateText(QStringLiteral("Zu viele Seiten")));
        return;
    }
    SeitenLabel->setText(translateText(QStringLiteral("Seiten:")) + QLatin1Char(' ')
        + QString::number(pages.count())
        + QStringLiteral(" (%1 × %2)").arg(pages.columns).arg(pages.rows));
}

bool TPrintForm::eventFilter(QObject *watched, QEvent *event)
{
    // Restoring the two percentages must not make one follow the other: the remembered pair
    // belongs together. FormShow then brings the height in line with the width.
    if (watched == this && event->type() == QEvent::Show && !event->spontaneous())
        Updating = true;
    return QDialog::eventFilter(watched, event);
}

void TPrintForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Updating = false;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

void TPrintForm::hideEvent(QHideEvent *event)
{
    // OK and Abbrechen hide the dialog without closing it; the values are kept either way.
    FormStorage1->save();
    QDialog::hideEvent(event);
}

void TPrintForm::FormShow()
{
    // A print at true size needs the scale, which the caller gives for each showing.
    Mastab11Check->setEnabled(TrueSizePixelsPerMm > 0);
    if (!Mastab11Check->isEnabled() && Mastab11Check->isChecked())
        UseFullCheck->setChecked(true);
    BreitEditChange();
}

void TPrintForm::repaintPreview()
{
    updatePageCount();
    // Painted at once, so a paint asked for inside a width or height update still sees the
    // update's guard; a hidden dialog paints when it is shown.
    if (PrintPaintBox->isVisible())
        PrintPaintBox->repaint();
}

void TPrintForm::followWidth()
{
    if (!SverhCheck->isChecked())
        return;
    const TPercentPair pair = heightFollowsWidth(BreitEdit->value(), HochEdit->value(),
        QSize(DibWidth(PreviewDib), DibHeight(PreviewDib)), printablePage());
    HochEdit->setValue(pair.hoch);
    BreitEdit->setValue(pair.breit);
}

void TPrintForm::BreitEditChange()
{
    if (Updating)
        return;
    Updating = true;
    followWidth();
    repaintPreview();
    Updating = false;
}

void TPrintForm::HochEditChange()
{
    if (Updating)
        return;
    Updating = true;
    if (SverhCheck->isChecked()) {
        const TPercentPair pair = widthFollowsHeight(BreitEdit->value(), HochEdit->value(),
            QSize(DibWidth(PreviewDib), DibHeight(PreviewDib)), printablePage());
        BreitEdit->setValue(pair.breit);
        HochEdit->setValue(pair.hoch);
    }
    repaintPreview();
    Updating = false;
}

void TPrintForm::UserdefCheckClick()
{
    if (!UserdefCheck->isChecked())
        return;
    BreitEditChange();
    repaintPreview();
}

void TPrintForm::PrintSetupBtnClick()
{
    if (printerSetup)
        printerSetup(this, printer());
    // The page's shape may have changed with the paper or its orientation.
    repaintPreview();
}

void TPrintForm::PrintPaintBoxPaint(QPainter &painter)
{
    // Every paint ends with the width update, whose own repaint would draw the picture again
    // with the followed height. Updating first and drawing once gives the same pixels.
    if (!Updating) {
        Updating = true;
        followWidth();
        Updating = false;
    }

    const QSize picture(DibWidth(PreviewDib), DibHeight(PreviewDib));
    m_lastPage = ::previewPageRect(QSize(BoxSize, BoxSize), printablePage());
    m_lastPicture = !PreviewDib.Bits ? QRect()
        : Mastab11Check->isChecked() ? trueSizePreview()
                                     : picturePlacement(m_lastPage, picture, choices());
    // The box is opaque to Qt, so what the page does not cover is filled here in the panel's
    // colour; otherwise it would keep whatever was drawn before, such as the page before the
    // paper was turned.
    const QWidget *panel = PrintPaintBox->parentWidget();
    painter.fillRect(PrintPaintBox->rect(), panel->palette().brush(panel->backgroundRole()));
    if (m_lastPage.isEmpty())
        return;
    painter.fillRect(m_lastPage, QColor(255, 255, 255));
    if (m_lastPicture.isEmpty())
        return;

    // At true size the picture may reach past the first page, which is all the preview shows.
    painter.setClipRect(m_lastPage);
    TScaledDevice device;
    device.screenColorDepth = ScreenColorDepth();
    device.halftoner = THalftoner { DIBHalftoneDIB, DIBHalftoneDIBXY, deldib };
    DrawDibScaled(painter, m_lastPicture.x(), m_lastPicture.y(), m_lastPicture.width(),
        m_lastPicture.height(), PreviewDib, 0, 0, picture.width(), picture.height(), true, SRCCOPY,
        true, nullptr, device);
}

QRect TPrintForm::trueSizePreview()
{
    // The first page of the print, scaled like the page into the preview.
    const TTrueSizePages pages = trueSizePages();
    if (pages.count() == 0 || m_lastPage.isEmpty())
        return {};
    const double scale = m_lastPage.width() / pages.page.width();
    const QSizeF size = QSizeF(DibWidth(PreviewDib), DibHeight(PreviewDib)) / TrueSizePixelsPerMm;
    // A drawing of many metres stays within what a rectangle can hold; only its first page
    // is shown anyway.
    const auto pixels = [&](double mm) {
        return static_cast<int>(std::lround(std::clamp(mm * scale, 1.0, 1e8)));
    };
    return QRect(m_lastPage.left() + static_cast<int>(std::lround(pages.offset.x() * scale)),
        m_lastPage.top() + static_cast<int>(std::lround(pages.offset.y() * scale)),
        pixels(size.width()), pixels(size.height()));
}
