#pragma once

#include "app/Prompts.h"
#include "document/Chain.h"
#include "document/ElementIndex.h"
#include "i18n/Translator.h"
#include "raster/DibRec.h"
#include "tools/LeftCtrlTracker.h"
#include "tools/StatusReadout.h"
#include "tools/ToolController.h"
#include "tools/ToolHost.h"
#include "view/CanvasPainter.h"
#include "view/DrawingTiles.h"
#include "view/HelperLines.h"
#include "view/ViewNavigation.h"
#include "view/ViewTransform.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

struct PictureChange;
struct TraceOutcome;
struct TraceTarget;
class TTraceForm;
class ColorSwatch;
struct EditPrompts;
class UndoHistory;
class QDragEnterEvent;
class QDropEvent;
class FileDialogComponent;
class FormStorage;
class QWheelEvent;
class QAction;
class QActionGroup;
class QCheckBox;
class QDoubleSpinBox;
class QFrame;
class QLabel;
class QMenu;
class QMouseEvent;
class QPainter;
class QScrollBar;
class QSpinBox;
class QStatusBar;
class QToolBar;
class LanguageMenu;
class TAboutBox;
class TDXFExportForm;
class TPaintBox;

// The editor's one document window. It owns the document (the background picture and the
// element list), the pen colour and line width that apply to the whole drawing, and the tool
// state; its menus and tool bars start every operation of the program.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    // `arguments` are the command-line arguments after the program name; the first one, if
    // any, names a picture that is loaded when the window is shown for the first time.
    explicit TMainForm(const QStringList &arguments = {}, QWidget *parent = nullptr);
    ~TMainForm() override;

    // The dialog that "Über das Programm" shows; the program entry creates it after the window.
    void setAboutBox(TAboutBox *box) { m_aboutBox = box; }
    // The DXF export settings, which both DXF exports read as they stand.
    void setDxfExportForm(TDXFExportForm *form) { m_dxfExportForm = form; }
    LanguageMenu *languageMenu() const { return m_languageMenu; }
    Translator &translator() { return m_translator; }
    // The modal questions and dialogs; tests replace them to answer without a display.
    Prompts &prompts() { return m_prompts; }

    // The document and the drawing settings that apply to all of it.
    const Dib &picture() const { return m_picture; }
    // Whoever takes the list may change it anywhere, so the kept painting of it goes.
    TElementList &elements()
    {
        m_drawingTiles.invalidateAll();
        return *m_elements;
    }
    const TElementList &elements() const { return *m_elements; }
    QColor penColor() const;
    double lineWidth() const;
    bool showPicture() const;
    // The view transform: zoom in percent and the two scroll positions in drawing-area pixels.
    double zoom() const;
    int scrollX() const;
    int scrollY() const;
    TViewTransform viewTransform() const;
    // The folder of options.dat and translate.dbf, ending in '/'.
    const QString &exeDir() const { return ExeDir; }
    std::int32_t languageIndex() const { return m_languageIndex; }
    void setLanguageIndex(std::int32_t index) { m_languageIndex = index; }
    const QImage &backBuffer() const { return m_backBuffer; }

    // Loads a picture file as the background; a file that gives no picture is reported and
    // the old picture stays. Returns whether the picture was replaced.
    bool LadeBild(const QString &fileName);
    // Renders the drawing area again at once; every change of the document or the view
    // calls this.
    void Repaint();

    // Files: the project file, the DXF exports and scanning (TMainFormFile.cpp).
    void saveprojekt(const QString &fileName);
    void openprojekt(const QString &fileName);
    void savedxf(const QString &fileName);
    void savedxfArc(const QString &fileName);
    void savedxfCam(const QString &fileName, double toleranceMm, bool splines);
    void Projektffnen1Click();
    void Projektspeichern1Click();
    void LinienalsDXFexportieren2Click();
    void LinienDXFfrCNCexportierenKreisbgenkeineSplines1Click();
    void DXFfrCADCAMexportieren1Click();
    void DXFExportEinstellungen1Click();
    // The metafile, SVG and picture exports (TMainFormExport.cpp). The metafile is recorded at
    // the current zoom against the primary screen; the pictures are painted at 100 %.
    void saveasemf(const QString &fileName);
    void saveSvg(const QString &fileName);
    void savePicture(const QString &fileName, bool withPicture);
    void LinienalsDXFexportieren1Click();
    void LinienalsSVGspeichern1Click();
    void AlsBildspeichern1Click();
    void AlsBildspeichernnurLinien1Click();
    void Scannen1Click();
    void Scannerwhlen1Click();
    // Takes a scanned picture delivered by the scan library.
    void WMUser2(std::uintptr_t wParam);
    // The pen colour as the project file stores it, 0x00BBGGRR.
    std::uint32_t penColorRef() const;
    // Progress of a project read or write, in percent.
    void ProjectProgressEvent(int percent);

    // Printing (TMainFormPrint.cpp): the printer set-up, and the picture with the drawing or the
    // drawing alone sent through the print preview dialog to the current printer, or to a PDF
    // file when no printer is installed. The program entry hands over the dialog.
    void setPrintForm(class TPrintForm *form) { m_printForm = form; }
    void Druckereinrichten1Click();
    void Drucken1Click();
    void DruckenohneBild1Click();

    // The view items of "Ansicht" (TMainFormView.cpp): the whole picture in the drawing area, the
    // picture at 100 %, and the rulers in the unit of the DXF exports.
    void GanzesBild1Click();
    void Originalgre1Click();
    void LinealeinMm1Click();

private:
    void createViewItems();
    // A zoom step or a new zoom from a menu item. With `aboutPointer` and the pointer over the
    // drawing area, the picture point under the pointer stays where it is; otherwise the zoom
    // field's own rule applies.
    void zoomTo(double zoom, bool aboutPointer);
    std::optional<QPoint> pointerInDrawingArea() const;
    // Picture pixels per ruler unit: the DXF scale divisor while "Lineale in mm" is checked,
    // 0 for rulers in picture pixels.
    double rulerPixelsPerUnit() const;
    void updateRulers();
    QAction *LinealeinMm1 = nullptr;

    void connectPrintMenu();
    void printDrawing(bool withPicture);
    void printPage(const TDibRec &page, const struct TPrintChoices &choices);
    void printTrueSize(const struct TTrueSizeDrawing &drawing, bool centre);
    // Sends a print to the current printer or, when none is installed, to a PDF file whose name
    // the user gives; `paint` draws on the active painter and may start further pages.
    void sendPrint(const std::function<bool(QPainter &, class QPagedPaintDevice &)> &paint);
    TPrintForm *m_printForm = nullptr;

public:
    // Handlers of the components, named after the component and its event.
    void Neu1Click();
    void Bildffnen1Click();
    void ChooseColorBtnClick();
    void Shape1MouseDown();
    void WidthEdChange();
    void ShowPicCheckClick();
    void zoomedChange();
    void ScrollBar1Change();
    void ScrollBar2Change();
    void ToolBtnClick();
    void Beenen1Click();
    void berdasProgramm1Click();
    void PaintBox1Paint(QPainter &painter);
    void PaintBox1MouseDown(QMouseEvent *event);
    void PaintBox1MouseMove(QMouseEvent *event);
    void PaintBox1MouseUp(QMouseEvent *event);
    void PaintBox2Paint(QPainter &painter);
    void PaintBox3Paint(QPainter &painter);

    // Drawing-area interaction (TMainFormMouse.cpp): the tools, the view navigation, the
    // helper lines and the two "Ansicht" items.
    void CloseBtnClick();
    void BreakBtnClick();
    void Linealeanzeigen1Click();
    void Hilfslinienanzeigen1Click();
    // The window calls this after it replaced the element list with another drawing.
    void documentReplaced();
    const ToolController &tools() const { return m_tools; }
    const TViewNavigation &navigation() const { return m_nav; }
    const THelperLines &helperLines() const { return m_helperLines; }
    // How often the drawing was rendered afresh because the document or the view changed.
    int repaintCount() const { return m_repaintCount; }

    // Undo and redo, the recovery file, the resolution from two points, lightening the
    // picture, recent files, dropped files and shortcuts (TMainFormEdit.cpp).
    void Rckgngig1Click();
    void Wiederherstellen1Click();
    void Mastabauszweipunkten1Click();
    void FadeEdChange();
    // Every operation that completes a change of the document calls this; the change since
    // the previous call becomes one step of the undo history.
    void changeCompleted();
    // Makes `fresh` the picture; the old one is kept for undo.
    void replacePicture(Dib fresh);
    // Called after a project was opened or saved, or a picture opened, under this name.
    void projectOpened(const QString &fileName);
    void projectSaved(const QString &fileName);
    void pictureOpened(const QString &fileName);
    // Reads a picture file, or the page of a PDF the user picks; null when the file cannot be
    // read or the user cancels (then `cancelled` is set). `chosenDpi` is the resolution a PDF
    // page was drawn at.
    Dib readPictureFile(const QString &fileName, bool &cancelled, double &chosenDpi);
    // Sets DPIED to the resolution of a PDF page, or to the one the new picture declares when
    // the DXF settings allow it, and says so in the status bar.
    void takePictureResolution(double chosenDpi);
    // Whether the document differs from the last saved or opened project.
    bool isModified() const;
    const UndoHistory &undoHistory() const;
    EditPrompts &editPrompts();
    QString recoveryFileName() const;
    // The least time between two writes of the recovery file, 30 seconds unless set.
    void setRecoveryInterval(int ms);
    void waitForRecovery();
    bool scalePicking() const;
    // How much the picture is lightened on screen, in percent.
    int fadePercent() const;

    // Automatic tracing (TMainFormTrace.cpp). A trace runs on a worker thread and ends as a
    // preview over the picture; only acceptTrace() changes the document.
    void startTrace(const TraceTarget &target);
    void cancelTrace();
    void acceptTrace();
    void discardTrace();
    bool traceRunning() const;
    const std::vector<TDrawElement> &tracePreview() const;
    TTraceForm *traceForm();
    // Above this many elements, taking a trace over asks first (500,000 unless set).
    void setTraceQuestionLimit(std::size_t elements);
    // The grey level the trace dialog sets, or -1 for the automatic one.
    int traceThreshold();

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    QMenu *createPopupMenu() override { return nullptr; }
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormDestroy();
    // Start-up steps whose work belongs to settings and translation; each is filled in by
    // the code that owns that work.
    void loadOptions();
    void openTranslationTable();
    void buildTranslationIndex();
    void translateMessageTable();
    void translateWindows();
    void translateApplicationTitle();

    // Window layout, built once by the constructor (TMainFormLayout.cpp).
    void createComponents();
    void createMenus();
    void createToolBars();
    void createCentre();
    void createDialogs();
    void connectHandlers();
    QAction *action(const char *name, const QString &caption);
    void connectFileMenu();
    // A project read or write shows its progress in a dialog that appears only when the rows
    // take longer than half a second; the returned callback sends the progress events.
    std::function<void(int)> startProgress(const QString &label);
    void endProgress();
    struct DxfExportParams dxfParams() const;

    // Components under their own names.
    QToolBar *ToolBar1 = nullptr;
    QToolBar *ToolBar2 = nullptr;
    QAction *OpenBtn = nullptr;
    QLabel *Label1 = nullptr;
    QSpinBox *zoomed = nullptr;
    ColorSwatch *Shape1 = nullptr;
    QAction *ChooseColorBtn = nullptr;
    QLabel *Label2 = nullptr;
    QDoubleSpinBox *WidthEd = nullptr;
    QFrame *Panel1 = nullptr;
    QCheckBox *ShowPicCheck = nullptr;
    QActionGroup *ToolGroup = nullptr;
    QAction *HandBtn = nullptr;
    QAction *Linie1 = nullptr;
    QAction *bezierbtn3 = nullptr;
    QAction *Bezier1 = nullptr;
    QAction *Bezier2 = nullptr;
    QAction *CircleBtn = nullptr;
    QAction *Zeiger1 = nullptr;
    QAction *DelBtn = nullptr;
    QAction *VerschiebBtn = nullptr;
    QAction *TraceBtn = nullptr;
    QAction *CloseBtn = nullptr;
    QAction *BreakBtn = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QScrollBar *ScrollBar1 = nullptr;
    QScrollBar *ScrollBar2 = nullptr;
    QFrame *ScrollBox1 = nullptr;
    QFrame *Panel2 = nullptr;
    QFrame *Panel3 = nullptr;
    QFrame *Panel4 = nullptr;
    QFrame *Panel5 = nullptr;
    TPaintBox *PaintBox1 = nullptr;
    TPaintBox *PaintBox2 = nullptr;
    TPaintBox *PaintBox3 = nullptr;
    QAction *Neu1 = nullptr;
    QAction *Bildffnen1 = nullptr;
    QAction *Beenen1 = nullptr;
    QAction *berdasProgramm1 = nullptr;
    FileDialogComponent *OpenDialog1 = nullptr;

    // The document, owned from FormCreate to FormDestroy.
    QString ExeDir;
    Dib m_picture;
    QImage m_backBuffer;
    TPictureLayer m_pictureLayer; // the ground with the picture, reused while it holds
    // The painted drawing by tiles, so that a view change paints only what comes into view.
    TDrawingTiles m_drawingTiles;
    ElementIndex m_elementIndex; // where the elements lie, for painting and the tools
    TDrawElement *CurElement = nullptr;
    std::unique_ptr<TElementList> m_elements;

    std::int32_t m_languageIndex = 0;
    // The translation table and the language menu, alive for the whole run.
    Translator m_translator;
    TableOpenResult m_tableOpen;
    LanguageMenu *m_languageMenu = nullptr;
    bool m_shownOnce = false;
    QStringList m_arguments;
    Prompts m_prompts;
    TAboutBox *m_aboutBox = nullptr;
    TDXFExportForm *m_dxfExportForm = nullptr;
    // The line width exactly as set or read from a project; WidthEd shows it rounded.
    double m_lineWidth = 3.0;
    class QProgressDialog *m_progress = nullptr;

    // Drawing-area interaction (TMainFormMouse.cpp).
    class ToolHostBridge final : public ToolHost
    {
    public:
        explicit ToolHostBridge(TMainForm &form)
            : m_form(form)
        {
        }
        TElementList &elements() override;
        ElementIndex *elementIndex() override;
        TViewTransform view() const override;
        QColor penColor() const override;
        double lineWidth() const override;
        void repaint() override;
        QImage &repaintBufferOnly() override;
        void elementsTouched(std::int32_t first, std::int32_t end) override;
        void allElementsTouched() override;
        void showBuffer() override;
        bool panActive() const override;
        void startPan(const ToolEvent &event) override;
        void panStep(const ToolEvent &event) override;
        void endPan() override;
        void updateHelperLines(const ToolEvent &event) override;
        void traceRequested(const TraceTarget &target) override;

    private:
        TMainForm &m_form;
    };
    void connectInteraction();
    ToolButton toolDown() const;
    ToolEvent toolEvent(const QMouseEvent *event) const;
    // An event at drawing-area position `screen` with the keys as they are now.
    ToolEvent toolEventAt(QPoint screen, MouseButton button) const;
    void renderBackBuffer(bool bufferOnly);
    void syncScrollBars();

    QAction *Hilfslinienanzeigen1 = nullptr;
    QAction *Linealeanzeigen1 = nullptr;
    FormStorage *FormStorage1 = nullptr;
    ToolHostBridge m_toolHost { *this };
    ToolController m_tools { m_toolHost };
    TViewNavigation m_nav;
    THelperLines m_helperLines;
    LeftCtrlTracker m_leftCtrl;
    int m_repaintCount = 0;
    // What the next paint of the drawing area does: render afresh, show the back buffer as it
    // is, and move the helper lines to m_helperPos.
    bool m_renderDue = true;
    bool m_showBufferDue = false;
    bool m_helperDue = false;
    QPoint m_helperPos;

    // Editing aids (TMainFormEdit.cpp). The state is created after FormCreate and goes before
    // FormDestroy, so a background write never outlives the picture it reads.
    struct EditState;
    EditState *m_edit = nullptr;
    void connectEdit();
    void destroyEdit();
    void editShown();
    QAction *namedAction(const char *name);
    void createEditMenu();
    void createEditToolBar();
    void createShortcuts();
    void zoomStep(bool in);
    void toolEventDone();
    void finishToolWork();
    void stepHistory(bool back);
    void updateEditState();
    void scheduleRecovery();
    void writeRecovery();
    void offerRecovery();
    void cancelScalePicking();
    void scaleMouseDown(const ToolEvent &event);
    void fillRecentMenu(QMenu *menu, bool projects);
    void openRecent(const QString &fileName, bool project);
    void openDropped(const QString &fileName);

    // The "Bild" menu (TMainFormPicture.cpp).
    void createPictureMenu();
    // The picture as the drawing area shows it: the black-and-white view while it is on.
    const Dib &shownPicture();
    // The resolution of the DXF exports, which belongs to the picture; 0 without the dialog.
    double currentResolution() const;
    // Runs an operation on the picture; its result replaces the picture, moves the drawing
    // and becomes one undo step, or its refusal is shown and nothing changes.
    void runPictureOperation(const std::function<PictureChange(const Dib &)> &operation);
    bool picturePicking() const;
    void startPicturePicking(int mode);
    void cancelPicturePicking();
    void pictureMouseDown(const ToolEvent &event);
    void pictureMouseMove(const ToolEvent &event);
    void pictureMouseUp(const ToolEvent &event);

    // Automatic tracing (TMainFormTrace.cpp).
    struct TraceState;
    TraceState *m_trace = nullptr;
    void createTraceCommands();
    void destroyTrace();
    void launchTrace(const TraceTarget &target);
    void traceFinished(TraceOutcome &&outcome);
    void clearTracePreview();
    void traceSettingsChanged();
    // Called when the picture is replaced: a running trace and the preview are of the old one.
    void pictureReplacedDuringTrace();
    // Where the undo history hands the pictures it lets go of.
    void retirePicture(Dib &&picture);
    void paintTracePreview(QImage &buffer) const;
    // Working in real units (TMainFormReadout.cpp): the status bar, the measuring tool, the
    // typed length of a line and the exact position of a point.
public:
    void Punktbearbeiten1Click();
    // What the status bar shows since the last pointer event.
    const StatusReadout &statusShown() const { return m_statusShown; }

private:
    void connectReadout();
    void readoutShown();
    ReadoutUnit readoutUnit() const;
    void showReadout(const ToolEvent &pointer);
    void paintMeasurement(QPainter &painter);
    bool readoutKey(QObject *watched, QEvent *event);
    bool lineWaitsForEnd() const;
    void openLengthField(const QString &typed);
    void closeLengthField();
    void lengthEntered();
    QAction *MessBtn = nullptr;
    QAction *Statusleisteanzeigen1 = nullptr;
    QAction *Punktbearbeiten1 = nullptr;
    QLabel *m_positionLabel = nullptr;
    QLabel *m_segmentLabel = nullptr;
    QLabel *m_hintLabel = nullptr;
    QLabel *m_lengthLabel = nullptr;
    class QLineEdit *m_lengthField = nullptr;
    ReadoutWords m_words;
    StatusReadout m_statusShown;
    QPoint m_lastPointer; // where the pointer last moved over the drawing area
};
