#include "app/FileDialogComponent.h"
#include "app/TMainForm.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

// One component of the window: its name, what the user reads on it (caption, or hint for the
// image-only buttons) and whether it can be used yet.
struct Component
{
    const char *name;
    const char *text;
    bool enabled;
    bool checked;
};

QString shownText(QObject *object)
{
    if (auto *a = qobject_cast<QAction *>(object))
        return a->isSeparator() ? QStringLiteral("-") : a->text();
    if (auto *l = qobject_cast<QLabel *>(object))
        return l->text();
    if (auto *c = qobject_cast<QCheckBox *>(object))
        return c->text();
    if (auto *m = qobject_cast<QMenu *>(object))
        return m->title();
    return {};
}

bool isEnabled(QObject *object)
{
    if (auto *a = qobject_cast<QAction *>(object))
        return a->isEnabled();
    return qobject_cast<QWidget *>(object)->isEnabled();
}

bool isChecked(QObject *object)
{
    if (auto *a = qobject_cast<QAction *>(object))
        return a->isChecked();
    if (auto *c = qobject_cast<QCheckBox *>(object))
        return c->isChecked();
    return false;
}

bool isOnToolBar(QAction *action)
{
    for (QObject *o : action->associatedObjects()) {
        if (qobject_cast<QToolBar *>(o) || qobject_cast<QToolBar *>(o->parent()))
            return true;
    }
    return false;
}

TEST(MainFormComponents, EveryComponentHasItsNameCaptionStateAndPlace)
{
    const Component components[] = {
        { "Datei1", "Datei", true, false },
        { "Neu1", "Linien Neu", true, false },
        { "Bildffnen1", "Bild öffnen...", true, false },
        { "AlsBildspeichern1", "Als Bild speichern mit Hintergrund...", true, false },
        { "AlsBildspeichernnurLinien1", "Als Bild speichern nur Linien...", true, false },
        { "N5", "-", true, false },
        { "Projektffnen1", "Projekt öffnen...", true, false },
        { "Projektspeichern1", "Projekt speichern...", true, false },
        { "N3", "-", true, false },
        { "LinienalsSVGspeichern1", "Linien als SVG exportieren....", true, false },
        { "LinienalsDXFexportieren1", "Linien als EMF exportieren...", true, false },
        { "LinienalsDXFexportieren2", "Linien als DXF exportieren...", true, false },
        { "LinienDXFfrCNCexportierenKreisbgenkeineSplines1",
            "Linien als DXF für CNC exportieren (Kreisbögen, keine Splines)...", true, false },
        { "DXFfrCADCAMexportieren1", "DXF für CAD/CAM exportieren...", true, false },
        { "DXFExportEinstellungen1", "DXF Export Einstellungen...", true, false },
        { "N2", "-", true, false },
        { "Druckereinrichten1", "Drucker einrichten...", true, false },
        { "Drucken1", "Drucken mit Bild...", true, false },
        { "DruckenohneBild1", "Drucken ohne Bild...", true, false },
        { "N4", "-", true, false },
        { "Scannen1", "Scannen...", true, false },
        { "Scannerwhlen1", "Scanner wählen...", true, false },
        { "N1", "-", true, false },
        { "Beenen1", "Beenden", true, false },
        { "Ansicht1", "Ansicht", true, false },
        { "Hilfslinienanzeigen1", "Hilfslinien anzeigen", true, true },
        { "Linealeanzeigen1", "Lineale anzeigen", true, true },
        { "Statusleisteanzeigen1", "Statusleiste anzeigen", true, true },
        { "Sprache1", "Sprache", true, false },
        { "Deutsch1", "Deutsch", true, true },
        { "English1", "English", true, false },
        { "N6", "-", true, false },
        { "Translate1", "Übersetzen...", true, false },
        { "Hilfe1", "Hilfe", true, false },
        { "berdasProgramm1", "Über das Programm", true, false },
        // Top tool bar.
        { "OpenBtn", "Bild öffnen", true, false },
        { "Label1", "Zoom:", true, false },
        { "ChooseColorBtn", "Farbe wählen", true, false },
        { "Label2", "Linienbreite:", true, false },
        { "ShowPicCheck", "Zeige Bild", true, true },
        // Left tool bar.
        { "HandBtn", "Ansicht verschieben", true, false },
        { "Linie1", "Linie", true, false },
        { "bezierbtn3", "Glatte Bezierkurve", true, false },
        { "Bezier1", "Quadratische Bezier Kurve", true, false },
        { "Bezier2", "Cubische Bezier Kurve", true, false },
        { "CircleBtn", "Ellipse (STRG gedrückt halten für Kreis)", true, false },
        { "Zeiger1", "Knoten bearbeiten", true, false },
        { "DelBtn", "Objekte im Bereich löschen", true, false },
        { "VerschiebBtn", "Objekte im Bereich verschieben", true, false },
        { "MessBtn", "Messen", true, false },
        { "CloseBtn", "Linienzug schließen", true, false },
        { "BreakBtn", "Linienzug unterbrechen", true, false },
    };

    TMainForm form;
    for (const Component &c : components) {
        SCOPED_TRACE(c.name);
        QObject *object = form.findChild<QObject *>(QLatin1String(c.name));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(shownText(object), QString::fromUtf8(c.text));
        EXPECT_EQ(isEnabled(object), c.enabled);
        EXPECT_EQ(isChecked(object), c.checked);
        // Buttons that show only an image carry their text as hint.
        if (auto *a = qobject_cast<QAction *>(object); a && isOnToolBar(a)) {
            EXPECT_EQ(a->toolTip(), QString::fromUtf8(c.text));
        }
    }

    // The menus hold their items in the order of the table above.
    QStringList datei;
    for (QAction *a : form.findChild<QMenu *>("Datei1")->actions())
        datei << a->objectName();
    EXPECT_EQ(datei.first(), QStringLiteral("Neu1"));
    EXPECT_EQ(datei.last(), QStringLiteral("Beenen1"));
    // The items of the table, the DXF settings, the two-point scale and the two lists of
    // recent files.
    EXPECT_EQ(datei.size(), 26);
    // The CAD/CAM export follows the two DXF exports, and the DXF settings follow all three.
    EXPECT_EQ(datei.indexOf(QStringLiteral("DXFfrCADCAMexportieren1")),
        datei.indexOf(QStringLiteral("LinienDXFfrCNCexportierenKreisbgenkeineSplines1")) + 1);
    EXPECT_EQ(datei.indexOf(QStringLiteral("DXFExportEinstellungen1")),
        datei.indexOf(QStringLiteral("DXFfrCADCAMexportieren1")) + 1);
    for (int i = 1; i < datei.size(); ++i)
        EXPECT_NE(datei[i - 1], datei[i]);

    // Both tool bars, with the eleven tools (the trace and measuring tools last), a separator
    // and the two chain buttons on the left.
    auto *left = form.findChild<QToolBar *>("ToolBar2");
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->orientation(), Qt::Vertical);
    EXPECT_EQ(form.toolBarArea(left), Qt::LeftToolBarArea);
    EXPECT_EQ(left->actions().size(), 14);
    EXPECT_EQ(left->actions().at(9)->objectName(), QStringLiteral("TraceBtn"));
    EXPECT_EQ(left->actions().at(10)->objectName(), QStringLiteral("MessBtn"));
    EXPECT_TRUE(left->actions().at(11)->isSeparator());
    for (QAction *a : left->actions().mid(0, 11)) {
        EXPECT_TRUE(a->isCheckable()) << a->objectName().toStdString();
        EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
        EXPECT_FALSE(a->icon().pixmap(24, 24).isNull()) << a->objectName().toStdString();
    }
    EXPECT_FALSE(form.findChild<QAction *>("CloseBtn")->isCheckable());
    EXPECT_EQ(form.toolBarArea(form.findChild<QToolBar *>("ToolBar1")), Qt::TopToolBarArea);
}

TEST(MainFormComponents, RangesStepsAndDefaults)
{
    TMainForm form;
    auto *zoom = form.findChild<QSpinBox *>("zoomed");
    ASSERT_NE(zoom, nullptr);
    EXPECT_EQ(zoom->minimum(), 10);
    EXPECT_EQ(zoom->maximum(), 30000);
    EXPECT_EQ(zoom->singleStep(), 10);
    EXPECT_EQ(zoom->value(), 100);

    auto *width = form.findChild<QDoubleSpinBox *>("WidthEd");
    ASSERT_NE(width, nullptr);
    EXPECT_DOUBLE_EQ(width->minimum(), 0.1);
    EXPECT_DOUBLE_EQ(width->maximum(), 10.0);
    EXPECT_DOUBLE_EQ(width->value(), 3.0);

    for (const char *name : { "ScrollBar1", "ScrollBar2" }) {
        SCOPED_TRACE(name);
        auto *bar = form.findChild<QScrollBar *>(QLatin1String(name));
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->minimum(), -10000);
        EXPECT_EQ(bar->maximum(), 10000);
        EXPECT_EQ(bar->singleStep(), 10);
        EXPECT_EQ(bar->pageStep(), 50);
        EXPECT_EQ(bar->value(), 0);
        // A position beyond the range is clamped.
        bar->setValue(12345);
        EXPECT_EQ(bar->value(), 10000);
    }
    EXPECT_EQ(form.findChild<QScrollBar *>("ScrollBar1")->orientation(), Qt::Horizontal);
    EXPECT_EQ(form.findChild<QScrollBar *>("ScrollBar2")->orientation(), Qt::Vertical);
}

TEST(MainFormComponents, WindowSizeFontAndRulerStrips)
{
    TMainForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Mervane Linovex 1.0"));
    EXPECT_EQ(form.size(), QSize(920, 613));
    EXPECT_EQ(form.font().family(), QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(form.font().pointSize(), 8);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    auto geometry = [&](const char *name) {
        QWidget *w = form.findChild<QWidget *>(QLatin1String(name));
        return w ? w->geometry() : QRect();
    };
    EXPECT_EQ(geometry("Panel3").size(), QSize(49, 49));
    EXPECT_EQ(geometry("Panel4").height(), 49);
    EXPECT_EQ(geometry("Panel2").width(), 49);
    EXPECT_EQ(geometry("Panel2").top(), 49);
    // The drawing area fills the rest of the scroll box, right of and below the rulers.
    const QRect box = geometry("ScrollBox1");
    const QRect area = geometry("PaintBox1");
    EXPECT_EQ(area.topLeft(), QPoint(49, 49));
    EXPECT_EQ(area.size(), box.size() - QSize(49, 49));
    EXPECT_GT(area.width(), 600);
    // The horizontal ruler runs beside the corner, the vertical one fills its strip.
    EXPECT_EQ(form.findChild<QWidget *>("PaintBox3")->width(), area.width());
    EXPECT_EQ(form.findChild<QWidget *>("PaintBox2")->height(), area.height());
}

TEST(MainFormComponents, FileDialogsHoldTheirFiltersExtensionsAndOptions)
{
    using FD = FileDialogComponent;
    const FD::Options save =
        FD::OverwritePrompt | FD::HideReadOnly | FD::PathMustExist | FD::EnableSizing;
    struct Row
    {
        const char *name;
        FD::Mode mode;
        const char *ext;
        const char *filter;
        FD::Options options;
    };
    const Row rows[] = {
        { "OpenDialog2", FD::Mode::Open, "lvx", "Linovex Projekt (*.lvx)",
            FD::HideReadOnly | FD::FileMustExist | FD::EnableSizing },
        { "SaveDialog3", FD::Mode::Save, "lvx", "Linovex Projekt (*.lvx)", save },
        { "SaveDialog4", FD::Mode::Save, "emf", "EMF Dateien (*.emf)", save },
        { "SaveDialog5", FD::Mode::Save, "dxf", "DXF Dateien (*.dxf)", save },
        { "SaveDialog1", FD::Mode::Save, "bmp", "", save },
        { "SaveDialog2", FD::Mode::Save, "svg", "SVG-Dateien (*.svg)", save },
        { "OpenDialog1", FD::Mode::Open, "bmp", "", FD::NoOption },
    };
    TMainForm form;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        auto *dialog = form.findChild<FD *>(QLatin1String(row.name));
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->mode(), row.mode);
        EXPECT_EQ(dialog->defaultExt(), QLatin1String(row.ext));
        EXPECT_EQ(dialog->filter(), QString::fromUtf8(row.filter));
        EXPECT_EQ(dialog->options(), row.options);
    }
    EXPECT_NE(form.findChild<QObject *>("ColorDialog1"), nullptr);
    EXPECT_NE(form.findChild<QObject *>("PrinterSetupDialog1"), nullptr);
}

} // namespace
