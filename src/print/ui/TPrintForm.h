#pragma once

#include "print/PrintLayout.h"
#include "print/TrueSizePrint.h"
#include "raster/DibRec.h"

#include <QDialog>
#include <functional>
#include <memory>

class FormStorage;
class QCheckBox;
class QLabel;
class QPainter;
class QPrinter;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TPaintBox;

// The print preview dialog "Bild drucken...": the user chooses how large and where the picture
// goes on the page of the current printer and sees the result on a small page. The dialog is
// created once at start-up and lives until the program ends; whoever shows it copies the
// picture into PreviewDib first and prints with choices() when it returns accepted. The two
// percentages and the window state are remembered in the settings group "TPrintForm".
class TPrintForm : public QDialog
{
    Q_OBJECT

public:
    explicit TPrintForm(QWidget *parent = nullptr);
    ~TPrintForm() override;

    // The picture to preview. The dialog only reads it and never releases it; the caller keeps
    // the record alive while the dialog shows it and clears the field afterwards.
    TDibRec PreviewDib;
    // Picture pixels per millimetre of a print at true size, the scale of the DXF exports; while
    // it is 0, "Drucken im Maßstab 1:1" cannot be chosen.
    double TrueSizePixelsPerMm = 0;

    // The current printer, made on first use and kept for the program's life. Its printable
    // page gives the preview its shape, and the print itself goes to it.
    QPrinter &printer();
    // The printer's printable page in printer pixels (PW x PH); empty without a page.
    QSize printablePage();
    // The platform's printer set-up for the current printer, run by PrintSetupBtn and by the main
    // window's "Drucker einrichten..."; true when the user confirmed. Tests replace it.
    std::function<bool(QWidget *parent, QPrinter &printer)> printerSetup;

    // The layout as the fields show it.
    TPrintChoices choices() const;
    // The pages of a print at true size on the current printer's page.
    TTrueSizePages trueSizePages();
    // Where the page and the picture lie in PrintPaintBox at the last paint.
    QRect previewPageRect() const { return m_lastPage; }
    QRect previewPictureRect() const { return m_lastPicture; }

    // Handlers, named after their component and event.
    void FormShow();
    void PrintPaintBoxPaint(QPainter &painter);
    void UserdefCheckClick();
    void BreitEditChange();
    void HochEditChange();
    void PrintSetupBtnClick();

    TPaintBox *PrintPaintBox;
    QRadioButton *UseFullCheck;
    QRadioButton *UserdefCheck;
    QRadioButton *Mastab11Check;
    QLabel *SeitenLabel;
    QSpinBox *BreitEdit;
    QSpinBox *HochEdit;
    QCheckBox *SverhCheck;
    QCheckBox *ZentrCheck;
    QPushButton *PrintSetupBtn;
    QPushButton *OkBitBtn1;
    QPushButton *CancelBitBtn2;
    FormStorage *FormStorage1;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createComponents();
    void repaintPreview();
    // Shows how many pages a print at true size takes, while it is chosen.
    void updatePageCount();
    // Makes the height follow the width while the aspect ratio is kept; the body of
    // BreitEditChange without its repaint, which a paint must not ask for again.
    void followWidth();
    // Where the picture lies in the preview of the first page of a print at true size.
    QRect trueSizePreview();

    // True only inside one width or height update, so the field set there does not answer.
    bool Updating = false;
    std::unique_ptr<QPrinter> m_printer;
    QRect m_lastPage;
    QRect m_lastPicture;
};
