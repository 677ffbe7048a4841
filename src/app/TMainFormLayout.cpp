// The main window's components: menus, tool bars, the drawing area with its rulers, the
// scroll bars and the dialog components, each under its own objectName.

#include "app/ColorSwatch.h"
#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"
#include "view/ui/TPaintBox.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {

constexpr int RulerStrip = 49;
constexpr int ScrollLimit = 10000;

template <typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

QIcon icon(const char *name)
{
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

QScrollBar *scrollBar(Qt::Orientation orientation, const char *name, QWidget *parent)
{
    auto *bar = named(new QScrollBar(orientation, parent), name);
    bar->setRange(-ScrollLimit, ScrollLimit);
    bar->setSingleStep(10);
    bar->setPageStep(50);
    bar->setValue(0);
    return bar;
}

QFrame *panel(const char *name, QWidget *parent)
{
    auto *frame = named(new QFrame(parent), name);
    frame->setFrameShape(QFrame::NoFrame);
    // Panels show the window colour, not the work-space colour of the box behind them.
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Window);
    return frame;
}

} // namespace

QAction *TMainForm::action(const char *name, const QString &caption)
{
    auto *a = named(new QAction(caption, this), name);
    return a;
}

void TMainForm::createComponents()
{
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    createMenus();
    createToolBars();
    createCentre();
    createDialogs();
}

void TMainForm::createMenus()
{
    auto *bar = named(new QMenuBar(this), "MainMenu1");
    setMenuBar(bar);

    // Items whose operations are not part of the program yet are shown but disabled, so that
    // nothing pretends to work.
    auto item = [this](QMenu *menu, const char *name, const QString &caption, bool enabled) {
        QAction *a = action(name, caption);
        a->setEnabled(enabled);
        menu->addAction(a);
        return a;
    };
    auto separator = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };

    QMenu *datei = named(bar->addMenu(QStringLiteral("Datei")), "Datei1");
    Neu1 = item(datei, "Neu1", QStringLiteral("Linien Neu"), true);
    Bildffnen1 = item(datei, "Bildffnen1", QStringLiteral("Bild öffnen..."), true);
    connect(item(datei, "AlsBildspeichern1",
                QStringLiteral("Als Bild speichern mit Hintergrund..."), true),
        &QAction::triggered, this, &TMainForm::AlsBildspeichern1Click);
    connect(item(datei, "AlsBildspeichernnurLinien1",
                QStringLiteral("Als Bild speichern nur Linien..."), true),
        &QAction::triggered, this, &TMainForm::AlsBildspeichernnurLinien1Click);
    separator(datei, "N5");
    item(datei, "Projektffnen1", QStringLiteral("Projekt öffnen..."), false);
    item(datei, "Projektspeichern1", QStringLiteral("Projekt speichern..."), false);
    separator(datei, "N3");
    connect(item(datei, "LinienalsSVGspeichern1", QStringLiteral("Linien als SVG exportieren...."),
                true),
        &QAction::triggered, this, &TMainForm::LinienalsSVGspeichern1Click);
    connect(item(datei, "LinienalsDXFexportieren1", QStringLiteral("Linien als EMF exportieren..."),
                true),
        &QAction::triggered, this, &TMainForm::LinienalsDXFexportieren1Click);
    item(datei, "LinienalsDXFexportieren2", QStringLiteral("Linien als DXF exportieren..."), false);
    item(datei, "LinienDXFfrCNCexportierenKreisbgenkeineSplines1",
        QStringLiteral("Linien als DXF für CNC exportieren (Kreisbögen, keine Splines)..."), false);
    separator(datei, "N2");
    item(datei, "Druckereinrichten1", QStringLiteral("Drucker einrichten..."), true);
    item(datei, "Drucken1", QStringLiteral("Drucken mit Bild..."), true);
    item(datei, "DruckenohneBild1", QStringLiteral("Drucken ohne Bild..."), true);
    separator(datei, "N4");
    item(datei, "Scannen1", QStringLiteral("Scannen..."), false);
    item(datei, "Scannerwhlen1", QStringLiteral("Scanner wählen..."), false);
    separator(datei, "N1");
    Beenen1 = item(datei, "Beenen1", QStringLiteral("Beenden"), true);

    QMenu *ansicht = named(bar->addMenu(QStringLiteral("Ansicht")), "Ansicht1");
    for (auto [name, caption] : { std::pair { "Hilfslinienanzeigen1", "Hilfslinien anzeigen" },
             std::pair { "Linealeanzeigen1", "Lineale anzeigen" } }) {
        QAction *a = item(ansicht, name, QString::fromUtf8(caption), true);
        a->setCheckable(true);
        a->setChecked(true);
    }

    QMenu *sprache = named(bar->addMenu(QStringLiteral("Sprache")), "Sprache1");
    auto *languages = named(new QActionGroup(this), "LanguageGroup");
    for (auto [name, caption] :
        { std::pair { "Deutsch1", "Deutsch" }, std::pair { "English1", "English" } }) {
        QAction *a = item(sprache, name, QString::fromUtf8(caption), false);
        a->setCheckable(true);
        languages->addAction(a);
    }
    findChild<QAction *>(QStringLiteral("Deutsch1"))->setChecked(true);
    separator(sprache, "N6");
    item(sprache, "Translate1", QStringLiteral("Übersetzen..."), false);

    QMenu *hilfe = named(bar->addMenu(QStringLiteral("Hilfe")), "Hilfe1");
    berdasProgramm1 = item(hilfe, "berdasProgramm1", QStringLiteral("Über das Programm"), true);
}

void TMainForm::createToolBars()
{
    ToolBar1 = named(new QToolBar(this), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    OpenBtn = action("OpenBtn", QStringLiteral("Bild öffnen"));
    OpenBtn->setIcon(icon("open"));
    ToolBar1->addAction(OpenBtn);
    ToolBar1->addSeparator();

    Label1 = named(new QLabel(QStringLiteral("Zoom:"), ToolBar1), "Label1");
    ToolBar1->addWidget(Label1);
    zoomed = named(new QSpinBox(ToolBar1), "zoomed");
    zoomed->setRange(10, 30000);
    zoomed->setSingleStep(10);
    zoomed->setValue(100);
    zoomed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    zoomed->setMinimumWidth(70);
    ToolBar1->addWidget(zoomed);
    ToolBar1->addSeparator();

    Shape1 = named(new ColorSwatch(ToolBar1), "Shape1");
    Shape1->setBrushColor(Qt::red);
    Shape1->setFixedSize(25, 25);
    ToolBar1->addWidget(Shape1);
    ChooseColorBtn = action("ChooseColorBtn", QStringLiteral("Farbe wählen"));
    ChooseColorBtn->setIcon(icon("colour"));
    ToolBar1->addAction(ChooseColorBtn);
    if (auto *button = qobject_cast<QToolButton *>(ToolBar1->widgetForAction(ChooseColorBtn)))
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar1->addSeparator();

    Label2 = named(new QLabel(QStringLiteral("Linienbreite:"), ToolBar1), "Label2");
    ToolBar1->addWidget(Label2);
    WidthEd = named(new QDoubleSpinBox(ToolBar1), "WidthEd");
    WidthEd->setDecimals(2);
    WidthEd->setRange(0.1, 10.0);
    WidthEd->setSingleStep(0.5);
    WidthEd->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ToolBar1->addWidget(WidthEd);
    ToolBar1->addSeparator();

    Panel1 = panel("Panel1", ToolBar1);
    Panel1->setAutoFillBackground(false);
    ShowPicCheck = named(new QCheckBox(QStringLiteral("Zeige Bild"), Panel1), "ShowPicCheck");
    ShowPicCheck->setChecked(true);
    auto *panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->setContentsMargins(4, 0, 4, 0);
    panel1Layout->addWidget(ShowPicCheck);
    ToolBar1->addWidget(Panel1);

    ToolBar2 = named(new QToolBar(this), "ToolBar2");
    ToolBar2->setOrientation(Qt::Vertical);
    ToolBar2->setMovable(false);
    ToolBar2->setFloatable(false);
    addToolBar(Qt::LeftToolBarArea, ToolBar2);

    // The tools are one exclusive group: pressing a tool makes it the only one down, pressing
    // the one that is down leaves it down, and at start none is down.
    ToolGroup = named(new QActionGroup(this), "ToolGroup");
    ToolGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    auto tool = [this](const char *name, const char *image, const char *hint) {
        QAction *a = action(name, QString::fromUtf8(hint));
        a->setIcon(icon(image));
        a->setCheckable(true);
        ToolGroup->addAction(a);
        ToolBar2->addAction(a);
        return a;
    };
    HandBtn = tool("HandBtn", "hand", "Ansicht verschieben");
    Linie1 = tool("Linie1", "line", "Linie");
    bezierbtn3 = tool("bezierbtn3", "smooth", "Glatte Bezierkurve");
    Bezier1 = tool("Bezier1", "quadratic", "Quadratische Bezier Kurve");
    Bezier2 = tool("Bezier2", "cubic", "Cubische Bezier Kurve");
    CircleBtn = tool("CircleBtn", "ellipse", "Ellipse (STRG gedrückt halten für Kreis)");
    Zeiger1 = tool("Zeiger1", "node", "Knoten bearbeiten");
    DelBtn = tool("DelBtn", "areadelete", "Objekte im Bereich löschen");
    VerschiebBtn = tool("VerschiebBtn", "areamove", "Objekte im Bereich verschieben");
    TraceBtn = tool("TraceBtn", "trace", "Nachzeichnen");
    ToolBar2->addSeparator();

    CloseBtn = action("CloseBtn", QStringLiteral("Linienzug schließen"));
    CloseBtn->setIcon(icon("closechain"));
    ToolBar2->addAction(CloseBtn);
    BreakBtn = action("BreakBtn", QStringLiteral("Linienzug unterbrechen"));
    BreakBtn->setIcon(icon("breakchain"));
    ToolBar2->addAction(BreakBtn);
}

void TMainForm::createCentre()
{
    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    setStatusBar(StatusBar1);

    auto *centre = named(new QWidget(this), "Centre");
    ScrollBox1 = named(new QFrame(centre), "ScrollBox1");
    // The work-space colour shows wherever nothing covers the box; a role, unlike a palette,
    // is not inherited by the panels inside.
    ScrollBox1->setAutoFillBackground(true);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    ScrollBar1 = scrollBar(Qt::Horizontal, "ScrollBar1", centre);
    ScrollBar2 = scrollBar(Qt::Vertical, "ScrollBar2", centre);

    auto *grid = new QGridLayout(centre);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    grid->addWidget(ScrollBox1, 0, 0);
    grid->addWidget(ScrollBar2, 0, 1);
    grid->addWidget(ScrollBar1, 1, 0, 1, 2);
    setCentralWidget(centre);

    // The horizontal ruler strip runs along the top with the corner square at its left; the
    // vertical ruler strip runs down the left below it; the drawing area fills the rest.
    Panel4 = panel("Panel4", ScrollBox1);
    Panel4->setFixedHeight(RulerStrip);
    Panel3 = panel("Panel3", Panel4);
    Panel3->setFixedSize(RulerStrip, RulerStrip);
    Panel5 = panel("Panel5", Panel4);
    PaintBox3 = named(new TPaintBox(Panel5), "PaintBox3");
    auto *panel5Layout = new QHBoxLayout(Panel5);
    panel5Layout->setContentsMargins(0, 0, 0, 0);
    panel5Layout->addWidget(PaintBox3);
    auto *panel4Layout = new QHBoxLayout(Panel4);
    panel4Layout->setContentsMargins(0, 0, 0, 0);
    panel4Layout->setSpacing(0);
    panel4Layout->addWidget(Panel3);
    panel4Layout->addWidget(Panel5, 1);

    Panel2 = panel("Panel2", ScrollBox1);
    Panel2->setFixedWidth(RulerStrip);
    PaintBox2 = named(new TPaintBox(Panel2), "PaintBox2");
    auto *panel2Layout = new QHBoxLayout(Panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    panel2Layout->addWidget(PaintBox2);

    PaintBox1 = named(new TPaintBox(ScrollBox1), "PaintBox1");
    PaintBox1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The drawing area has the keyboard focus from the start and takes it back when clicked, so
    // that the keys meant for the drawing do not end in a number field of the tool bar.
    PaintBox1->setFocusPolicy(Qt::ClickFocus);
    PaintBox1->setFocus();

    auto *boxLayout = new QGridLayout(ScrollBox1);
    boxLayout->setContentsMargins(0, 0, 0, 0);
    boxLayout->setSpacing(0);
    boxLayout->addWidget(Panel4, 0, 0, 1, 2);
    boxLayout->addWidget(Panel2, 1, 0);
    boxLayout->addWidget(PaintBox1, 1, 1);
}

void TMainForm::createDialogs()
{
    using FD = FileDialogComponent;
    const FD::Options saveOptions =
        FD::OverwritePrompt | FD::HideReadOnly | FD::PathMustExist | FD::EnableSizing;
    const QString project = QStringLiteral("Linovex Projekt (*.lvx)|*.lvx");

    OpenDialog1 = new FD(
        QStringLiteral("OpenDialog1"), FD::Mode::Open, QStringLiteral(".bmp"), FD::NoOption, this);
    auto *open2 = new FD(QStringLiteral("OpenDialog2"), FD::Mode::Open, QStringLiteral(".lvx"),
        FD::HideReadOnly | FD::FileMustExist | FD::EnableSizing, this);
    open2->setFilterPairs(project);
    auto *save3 = new FD(
        QStringLiteral("SaveDialog3"), FD::Mode::Save, QStringLiteral(".lvx"), saveOptions, this);
    save3->setFilterPairs(project);
    auto *save4 = new FD(
        QStringLiteral("SaveDialog4"), FD::Mode::Save, QStringLiteral(".emf"), saveOptions, this);
    save4->setFilterPairs(QStringLiteral("EMF Dateien (*.emf)|*.emf"));
    auto *save5 = new FD(
        QStringLiteral("SaveDialog5"), FD::Mode::Save, QStringLiteral(".dxf"), saveOptions, this);
    save5->setFilterPairs(QStringLiteral("DXF Dateien (*.dxf)|*.dxf"));
    new FD(
        QStringLiteral("SaveDialog1"), FD::Mode::Save, QStringLiteral(".bmp"), saveOptions, this);
    auto *save2 = new FD(
        QStringLiteral("SaveDialog2"), FD::Mode::Save, QStringLiteral(".svg"), saveOptions, this);
    save2->setFilterPairs(QStringLiteral("SVG-Dateien (*.svg)|*.svg"));

    named(new QObject(this), "ColorDialog1");
    named(new QObject(this), "PrinterSetupDialog1");
    connectPrintMenu();
}
