#include "app/TMainForm.h"

#include "app/ColorSwatch.h"
#include "app/ExeDir.h"
#include "app/FileDialogComponent.h"
#include "app/TAboutBox.h"
#include "app/ProgressEvent.h"
#include "i18n/MessageTable.h"
#include "raster/PdfPages.h"
#include "raster/scan/ScanDelivery.h"
#include "i18n/ui/LanguageMenu.h"
#include "i18n/ui/WindowTranslator.h"
#include "view/CanvasPainter.h"
#include "view/Ruler.h"
#include "view/ui/FormStorage.h"
#include "view/ui/TPaintBox.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <clocale>
#include <cstring>

namespace {

// The open filter offered to English users instead of the image library's own list.
const char *const EnglishPictureFilter = "All pictures|"
                                         "*.BMP;*.DIB;*.GIF;*.IFF;*.JIF;*.JPG;*.JPEG;*.LBM;*.PCX;"
                                         "*.RLE;*.TGA;*.TIF;*.PNG;*.JP2"
                                         "|BMP - Windows,OS/2 Bitmap|*.BMP"
                                         "|DIB - Windows,OS/2 DIB|*.DIB"
                                         "|GIF - CompuServe Graphics Interchange|*.GIF"
                                         "|IFF - Amiga|*.IFF"
                                         "|JIF - JPEG - JFIF Compilant|*.JIF"
                                         "|JPG - JPEG - JFIF Compilant|*.JPG;*.JPEG"
                                         "|JP2 - JPEG 2000|*.JP2"
                                         "|LBM - Deluxe Paint|*.LBM"
                                         "|PCX - ZSoft Paintbrush|*.PCX"
                                         "|RLE - Windows RLE|*.RLE"
                                         "|TGA - Truevision Targa|*.TGA"
                                         "|TIF - Tagged Image File Format|*.TIF"
                                         "|PNG - Portable Graphics Network|*.PNG"
                                         "|All files (*.*)|*.*";

constexpr int StartPictureSize = 320;

} // namespace

TMainForm::TMainForm(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent)
    , m_arguments(arguments)
    , m_prompts(Prompts::standard())
{
    Q_INIT_RESOURCE(linovex);
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Mervane Linovex 1.0"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/linovex.svg")));
    createComponents();
    connectHandlers();
    connectFileMenu();
    FormCreate();
    connectEdit();

    resize(920, 613);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

TMainForm::~TMainForm()
{
    // The window may be destroyed without being closed; its children still exist here.
    FormStorage1->save();
    QCoreApplication::instance()->removeEventFilter(this);
    // The worker reads the picture and hands its pictures to the history's releaser.
    destroyTrace();
    destroyEdit();
    FormDestroy();
}

void TMainForm::connectHandlers()
{
    connect(Neu1, &QAction::triggered, this, &TMainForm::Neu1Click);
    connect(Bildffnen1, &QAction::triggered, this, &TMainForm::Bildffnen1Click);
    connect(OpenBtn, &QAction::triggered, this, &TMainForm::Bildffnen1Click);
    connect(ChooseColorBtn, &QAction::triggered, this, &TMainForm::ChooseColorBtnClick);
    connect(Shape1, &ColorSwatch::pressed, this, &TMainForm::Shape1MouseDown);
    connect(WidthEd, &QDoubleSpinBox::valueChanged, this, &TMainForm::WidthEdChange);
    connect(ShowPicCheck, &QCheckBox::clicked, this, &TMainForm::ShowPicCheckClick);
    connect(zoomed, &QSpinBox::valueChanged, this, &TMainForm::zoomedChange);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TMainForm::ScrollBar1Change);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TMainForm::ScrollBar2Change);
    connect(ToolGroup, &QActionGroup::triggered, this, &TMainForm::ToolBtnClick);
    connect(Beenen1, &QAction::triggered, this, &TMainForm::Beenen1Click);
    connect(berdasProgramm1, &QAction::triggered, this, &TMainForm::berdasProgramm1Click);

    PaintBox1->setPaintHandler([this](QPainter &p) { PaintBox1Paint(p); });
    PaintBox1->setMouseDownHandler([this](QMouseEvent *e) { PaintBox1MouseDown(e); });
    PaintBox1->setMouseMoveHandler([this](QMouseEvent *e) { PaintBox1MouseMove(e); });
    PaintBox1->setMouseUpHandler([this](QMouseEvent *e) { PaintBox1MouseUp(e); });
    PaintBox2->setPaintHandler([this](QPainter &p) { PaintBox2Paint(p); });
    PaintBox3->setPaintHandler([this](QPainter &p) { PaintBox3Paint(p); });
    connectInteraction();
}

void TMainForm::FormCreate()
{
    // Every message and caption is looked up through this window's translator from now on.
    Translator::setInstance(&m_translator);
    ExeDir = programExeDir();

    // Numbers are written and read with a point whatever the regional settings say: exports
    // and project files must read the same everywhere. QApplication has already adopted the
    // user's LC_NUMERIC, so it is put back here, and Qt's own formatting (spin boxes
    // included) follows the C locale too.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    setLocale(QLocale::c());

    m_picture = Dib::create(StartPictureSize, StartPictureSize, 24);
    if (!m_picture.isNull()) {
        std::memset(m_picture.rec().Bits, 255,
            static_cast<std::size_t>(m_picture.rec().BytesPerLine) * StartPictureSize);
    }
    m_backBuffer = QImage();
    m_elements = std::make_unique<TElementList>(&CurElement);
    WidthEd->setValue(3.0);

    loadOptions();
    openTranslationTable();
    buildTranslationIndex();
}

void TMainForm::loadOptions()
{
    // The language menu reads options.dat and puts the check mark on the stored language.
    m_languageMenu = new LanguageMenu(this, m_translator, ExeDir);
    m_languageMenu->setShowInfo([this](QWidget *parent, const QString &caption,
                                    const QString &text) {
        m_prompts.showInfo(parent, caption, text);
    });
    for (const char *name : { "Deutsch1", "English1", "Translate1" })
        findChild<QAction *>(QLatin1String(name))->setEnabled(true);
    m_languageIndex = m_languageMenu->loadOptions();
}

void TMainForm::openTranslationTable()
{
    m_tableOpen = m_translator.openTable(ExeDir);
}

void TMainForm::buildTranslationIndex()
{
    m_translator.buildTranslationIndex();
}

void TMainForm::translateMessageTable()
{
    m_translator.translateMessages();
}

void TMainForm::translateWindows()
{
    m_translator.setLanguageIndex(m_languageIndex);
    // The dialogs created at start-up are children of this window, so one walk covers all.
    if (m_languageIndex != 0)
        ::translateWindows({ this }, m_translator);
}

void TMainForm::translateApplicationTitle()
{
    // The application name itself stays, since the settings' file path is built from it.
    setApplicationTitle(translateText(QGuiApplication::applicationName()));
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce)
        FormShow();
}

void TMainForm::FormShow()
{
    // The flag comes first, so that a dialog shown by a later step (a picture that does not
    // load) cannot run these steps a second time when the window is shown again.
    m_shownOnce = true;
    // A table that can be opened neither way is reported once; lookups then give their text.
    if (m_tableOpen.state == TableOpenResult::State::Unusable)
        m_prompts.showMessage(this, Translator::openFailureText(m_tableOpen));
    translateMessageTable();
    translateWindows();
    translateApplicationTitle();
    editShown();
    readoutShown();
    OpenDialog1->setFilterPairs(
        openFilterWithPdf(m_languageIndex == 1 ? QString::fromLatin1(EnglishPictureFilter)
                                               : QString::fromUtf8(GetDIBOpenFilter())));
    // The picture is loaded once the window is on screen, so that a message about a file
    // that is not a picture appears over the window instead of before it. A project handed
    // over by the file manager opens as a project; anything else is taken as a picture.
    if (!m_arguments.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { openDropped(m_arguments.constFirst()); }, Qt::QueuedConnection);
    }
}

void TMainForm::FormDestroy()
{
    if (Translator::instance() == &m_translator)
        Translator::setInstance(nullptr);
    m_picture.reset();
    m_backBuffer = QImage();
    m_elements.reset();
    CurElement = nullptr;
}

bool TMainForm::event(QEvent *event)
{
    if (event->type() == kScanEventType) {
        WMUser2(static_cast<ScanEvent *>(event)->wParam());
        return true;
    }
    if (event->type() == kProgressEventType) {
        ProjectProgressEvent(static_cast<ProgressEvent *>(event)->wParam());
        return true;
    }
    // The status bar never shows anything, not even the status tips of menus and buttons.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

QColor TMainForm::penColor() const
{
    return Shape1->brushColor();
}
double TMainForm::lineWidth() const
{
    return m_lineWidth;
}
bool TMainForm::showPicture() const
{
    return ShowPicCheck->isChecked();
}
double TMainForm::zoom() const
{
    return zoomed->value();
}
int TMainForm::scrollX() const
{
    return ScrollBar1->value();
}
int TMainForm::scrollY() const
{
    return ScrollBar2->value();
}

bool TMainForm::LadeBild(const QString &fileName)
{
    // The new picture is read aside; the old one is released only once the new one exists.
    bool cancelled = false;
    double chosenDpi = 0;
    Dib fresh = readPictureFile(fileName, cancelled, chosenDpi);
    if (fresh.isNull()) {
        if (!cancelled)
            m_prompts.showMessage(this, messageText(5));
        return false;
    }
    replacePicture(std::move(fresh));
    takePictureResolution(chosenDpi);
    pictureOpened(fileName);
    Repaint();
    return true;
}

void TMainForm::Neu1Click()
{
    if (!m_prompts.askYesNo(this, messageText(6), messageText(7)))
        return;
    m_elements->Clear();
    m_drawingTiles.invalidateAll();
    changeCompleted();
    Repaint();
}

void TMainForm::Bildffnen1Click()
{
    const QString name = m_prompts.chooseFile(this, *OpenDialog1);
    if (name.isEmpty())
        return;
    OpenDialog1->setFileName(name);
    LadeBild(name);
}

void TMainForm::ChooseColorBtnClick()
{
    const std::optional<QColor> chosen = m_prompts.chooseColor(this, Shape1->brushColor());
    if (!chosen)
        return;
    Shape1->setBrushColor(*chosen);
    changeCompleted();
    Repaint();
}

void TMainForm::Shape1MouseDown()
{
    ChooseColorBtnClick();
}
void TMainForm::WidthEdChange()
{
    m_lineWidth = WidthEd->value();
    changeCompleted();
    Repaint();
}
void TMainForm::ShowPicCheckClick()
{
    Repaint();
}
void TMainForm::ToolBtnClick()
{
    Repaint();
}
void TMainForm::Beenen1Click()
{
    close();
}

void TMainForm::berdasProgramm1Click()
{
    if (m_aboutBox)
        m_prompts.runModal(m_aboutBox);
}

TViewTransform TMainForm::viewTransform() const
{
    return TViewTransform { zoom(), scrollX(), scrollY() };
}

void TMainForm::PaintBox2Paint(QPainter &painter)
{
    ::PaintBox2Paint(
        painter, PaintBox2->width(), PaintBox2->height(), zoom(), scrollY(), rulerPixelsPerUnit());
}

void TMainForm::PaintBox3Paint(QPainter &painter)
{
    ::PaintBox3Paint(
        painter, PaintBox3->width(), PaintBox3->height(), zoom(), scrollX(), rulerPixelsPerUnit());
}
