#include "TableFixture.h"
#include "base/Cp1252.h"
#include "i18n/ui/TTranslateForm.h"
#include "i18n/ui/WindowTranslator.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <memory>
#include <set>

namespace {

// A small stand-in for the program's windows, with one control of every kind the walk knows.
struct TestWindows
{
    std::unique_ptr<QMainWindow> main = std::make_unique<QMainWindow>();
    QDialog *dialog = nullptr;
    QComboBox *combo = nullptr;
    QObject *saveDialog = nullptr;
    QAction *open = nullptr;
    QAction *line = nullptr;

    TestWindows()
    {
        main->setWindowTitle("Mervane Linovex 1.0");
        QMenu *datei = main->menuBar()->addMenu("Datei");
        open = datei->addAction("Bild öffnen...");
        open->setObjectName("Bildffnen1");
        datei->addSeparator();
        datei->addAction("Beenden");
        QToolBar *bar = main->addToolBar("Werkzeuge");
        line = bar->addAction("Linie");
        line->setToolTip("Linie");
        auto *openBtn = new QToolButton(bar);
        openBtn->setToolTip("Bild öffnen");
        bar->addWidget(openBtn);
        auto *central = new QWidget;
        main->setCentralWidget(central);
        new QLabel("Zoom:", central);
        auto *spin = new QSpinBox(central);
        spin->setValue(3);
        spin->setToolTip("Linienbreite");
        new QCheckBox("Zeige Bild", central);
        new QPushButton("Farbe wählen", central); // a button without a hint
        auto *lineEdit = new QLineEdit(central);
        lineEdit->setText("Suchtext");
        new QLineEdit(central); // an empty edit looks nothing up
        auto *memo = new QPlainTextEdit(central);
        memo->setPlainText("Erste Zeile\nZweite Zeile");
        saveDialog = new QObject(main.get());
        saveDialog->setObjectName("SaveDialog5");
        saveDialog->setProperty("filterPairs", QStringLiteral("DXF Dateien (*.dxf)|*.dxf"));

        dialog = new QDialog(main.get());
        dialog->setWindowTitle("DXF Export");
        auto *group = new QGroupBox("Einheit", dialog);
        group->setToolTip("Ausgabeeinheit");
        new QRadioButton("Millimeter", group);
        combo = new QComboBox(dialog);
        combo->addItems({ "mm", "Zoll", "Punkt" });
        combo->setCurrentIndex(1);
        auto *grid = new QTableWidget(2, 2, dialog);
        grid->setHorizontalHeaderLabels({ "Breite", "Höhe" });
        auto *tree = new QTreeWidget(dialog);
        tree->setHeaderLabels({ "Name", "Größe" });
    }
};

const std::set<QString> kWindowTexts = {
    "Mervane Linovex 1.0",
    "Datei",
    "Bild öffnen...",
    "Beenden",
    "Werkzeuge",
    "Linie",
    "Bild öffnen",
    "Zoom:",
    "Linienbreite",
    "Zeige Bild",
    "Farbe wählen",
    "Suchtext",
    "Erste Zeile",
    "Zweite Zeile",
    "DXF Dateien (*.dxf)|*.dxf",
    "DXF Export",
    "Einheit",
    "Ausgabeeinheit",
    "Millimeter",
    "mm",
    "Zoll",
    "Punkt",
    "Breite",
    "Höhe",
    "Name",
    "Größe",
};

} // namespace

class WindowTranslatorTest : public TableFixture
{
protected:
    std::set<QString> recordTexts()
    {
        std::set<QString> texts;
        DbfTable &t = tr().table();
        for (int r = 1; r <= t.recordCount(); ++r)
            texts.insert(cp1252::decode(t.field(r, 0)));
        return texts;
    }
};

TEST_F(WindowTranslatorTest, everyTextOfEveryWindowBecomesARecordAndNothingElse)
{
    start(1);
    TestWindows w;
    translateWindows({ w.main.get() }, tr());
    EXPECT_EQ(recordTexts(), kWindowTexts);
    // The user interface stays German while the English fields are empty.
    EXPECT_EQ(w.open->text(), "Bild öffnen...");
    EXPECT_EQ(w.dialog->windowTitle(), "DXF Export");
}

TEST_F(WindowTranslatorTest, filledEnglishFieldsShowAfterARestart)
{
    start(1);
    {
        TestWindows first;
        translateWindows({ first.main.get() }, tr());
    }
    const std::vector<std::pair<QString, QString>> english = {
        { "Datei", "File" },
        { "Bild öffnen...", "Open picture..." },
        { "Linie", "Line" },
        { "Zoll", "Inch" },
        { "Punkt", "Point" },
        { "DXF Dateien (*.dxf)|*.dxf", "DXF files (*.dxf)|*.dxf" },
        { "Höhe", "Height" },
        { "Größe", "Size" },
        { "Zweite Zeile", "Second line" },
        { "Einheit", "Unit" },
        { "Ausgabeeinheit", "Output unit" },
        { "DXF Export", "DXF export" },
    };
    for (const auto &[de, en] : english)
        setTranslation(de, 1, cp1252::encode(en));
    start(1);
    const int records = tr().table().recordCount();
    TestWindows w;
    translateWindows({ w.main.get() }, tr());
    EXPECT_EQ(tr().table().recordCount(), records);
    EXPECT_EQ(w.main->menuBar()->actions().value(0)->text(), "File");
    EXPECT_EQ(w.open->text(), "Open picture...");
    EXPECT_EQ(w.line->text(), "Line");
    EXPECT_EQ(w.line->toolTip(), "Line");
    EXPECT_EQ(w.saveDialog->property("filterPairs").toString(), "DXF files (*.dxf)|*.dxf");
    EXPECT_EQ(w.dialog->windowTitle(), "DXF export");
    EXPECT_EQ(w.dialog->findChild<QGroupBox *>()->title(), "Unit");
    EXPECT_EQ(w.dialog->findChild<QGroupBox *>()->toolTip(), "Output unit");
    EXPECT_EQ(w.dialog->findChild<QTableWidget *>()->horizontalHeaderItem(1)->text(), "Height");
    EXPECT_EQ(w.dialog->findChild<QTreeWidget *>()->headerItem()->text(1), "Size");
    EXPECT_EQ(w.main->findChild<QPlainTextEdit *>()->toPlainText(), "Erste Zeile\nSecond line");
    EXPECT_EQ(w.main->findChild<QSpinBox *>()->value(), 3);
    // The selected item keeps its position and shows its translation.
    EXPECT_EQ(w.combo->currentIndex(), 1);
    EXPECT_EQ(w.combo->currentText(), "Inch");
    EXPECT_EQ(w.combo->itemText(2), "Point");
}

TEST_F(WindowTranslatorTest, languageFourGivesTouchedControlsMsSansSerif)
{
    start(4);
    TestWindows w;
    auto *label = w.main->findChild<QLabel *>();
    QFont big = label->font();
    big.setPointSize(14);
    big.setBold(true);
    label->setFont(big);
    translateWindows({ w.main.get() }, tr());
    EXPECT_EQ(label->font().families().value(0), "MS Sans Serif");
    EXPECT_EQ(label->font().pointSize(), 14);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(w.main->font().families().value(0), "MS Sans Serif");
    EXPECT_EQ(w.dialog->font().families().value(0), "MS Sans Serif");
    EXPECT_EQ(w.main->findChild<QCheckBox *>()->font().families().value(0), "MS Sans Serif");
    EXPECT_EQ(w.combo->font().families().value(0), "MS Sans Serif");

    start(1);
    TestWindows english;
    const QString before = english.main->findChild<QLabel *>()->font().family();
    translateWindows({ english.main.get() }, tr());
    EXPECT_EQ(english.main->findChild<QLabel *>()->font().family(), before);
}

TEST_F(WindowTranslatorTest, editorTranslatesItsCaptionsButNotItsDataControls)
{
    start(1);
    TTranslateForm form(nullptr, &tr());
    form.attachTable(); // an empty table: the bound edit shows nothing
    form.DBEdit1->setText("Datensatz");
    translateWindows({ &form }, tr());
    EXPECT_EQ(
        recordTexts(), std::set<QString>({ QStringLiteral("Übersetzen"), "Zurück...", "Suchen" }));
}
