#include "TableFixture.h"
#include "base/Cp1252.h"
#include "i18n/ui/LanguageMenu.h"
#include "i18n/ui/TTranslateForm.h"
#include "i18n/ui/TranslationTableModel.h"
#include "support/TestSupport.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

using linovex::test::readFile;
using linovex::test::writeFile;

namespace {

// The main window's "Sprache" menu as the window builds it.
struct MenuWindow
{
    QMainWindow window;
    QAction *deutsch;
    QAction *english;
    QAction *translate;

    MenuWindow()
    {
        QMenu *menu = window.menuBar()->addMenu("Sprache");
        auto *group = new QActionGroup(&window);
        deutsch = menu->addAction("Deutsch");
        deutsch->setObjectName("Deutsch1");
        english = menu->addAction("English");
        english->setObjectName("English1");
        for (QAction *a : { deutsch, english }) {
            a->setCheckable(true);
            group->addAction(a);
        }
        translate = menu->addAction("Übersetzen...");
        translate->setObjectName("Translate1");
    }
};

// Types text into a widget key by key, as a keyboard with any layout would.
void type(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

struct Shown
{
    QString caption;
    QString text;
};

} // namespace

class LanguageMenuTest : public TableFixture
{
protected:
    void SetUp() override
    {
        start(0);
        tr().translateMessages();
        menu = std::make_unique<LanguageMenu>(&w.window, tr(), dir(), nullptr);
        menu->setShowInfo([this](QWidget *, const QString &caption, const QString &text) {
            shown.push_back({ caption, text });
        });
    }
    QString optionsPath() const { return dir() + "/options.dat"; }

    MenuWindow w;
    std::unique_ptr<LanguageMenu> menu;
    std::vector<Shown> shown;
};

TEST_F(LanguageMenuTest, storedEnglishIsCheckedWithoutMessageOrWrite)
{
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\x01\x00\x00\x00\x09", 5)));
    EXPECT_EQ(menu->loadOptions(), 1);
    EXPECT_EQ(tr().languageIndex(), 1);
    EXPECT_TRUE(w.english->isChecked());
    EXPECT_FALSE(w.deutsch->isChecked());
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(optionsPath()).size(), 5);
}

TEST_F(LanguageMenuTest, otherStoredIndexesUseTheirFieldButCheckDeutsch)
{
    ASSERT_TRUE(writeFile(optionsPath(), QByteArray("\x04\x00\x00\x00", 4)));
    w.english->setChecked(true);
    EXPECT_EQ(menu->loadOptions(), 4);
    EXPECT_EQ(tr().languageIndex(), 4);
    EXPECT_TRUE(w.deutsch->isChecked());
    QFile::remove(optionsPath());
    EXPECT_EQ(menu->loadOptions(), 0);
    EXPECT_FALSE(QFile::exists(optionsPath()));
}

TEST_F(LanguageMenuTest, choosingEnglishStoresItAndAsksForARestartInEnglish)
{
    menu->loadOptions();
    setTranslation(QStringLiteral("Übersetzung"), 1, "Translation");
    w.english->trigger();
    EXPECT_TRUE(w.english->isChecked());
    EXPECT_FALSE(w.deutsch->isChecked());
    EXPECT_EQ(tr().languageIndex(), 1);
    EXPECT_EQ(readFile(optionsPath()), QByteArray("\x01\x00\x00\x00", 4));
    ASSERT_EQ(shown.size(), 1u);
    // Message 2 has an English field, message 1 not yet.
    EXPECT_EQ(shown[0].caption, "Translation");
    EXPECT_EQ(shown[0].text,
        "Bitte starten Sie das Programm neu, damit die Sprache aktiviert werden kann.");

    w.deutsch->trigger();
    EXPECT_EQ(readFile(optionsPath()), QByteArray("\x00\x00\x00\x00", 4));
    EXPECT_EQ(shown.back().caption, QStringLiteral("Übersetzung"));
}

class TranslateFormTest : public TableFixture
{
protected:
    void SetUp() override
    {
        start(0);
        for (const char *s : { "Apfel", "Birne", "Grüner Apfel", "Kirsche" })
            tr().translateText(s);
        form = std::make_unique<TTranslateForm>(nullptr, &tr());
        form->setConfirmDelete([this](QWidget *) { return confirm; });
        form->attachTable();
    }
    QStringList gridSources()
    {
        QStringList out;
        for (int r = 0; r < form->model()->rowCount(); ++r)
            out << form->model()->index(r, 0).data().toString();
        return out;
    }

    std::unique_ptr<TTranslateForm> form;
    bool confirm = true;
};

TEST_F(TranslateFormTest, gridHasOneTitledColumnPerFieldAndTheComponentsTheirNames)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Übersetzen"));
    EXPECT_EQ(form->size(), QSize(721, 489));
    EXPECT_EQ(form->model()->columnCount(), 19);
    EXPECT_EQ(form->model()->headerData(18, Qt::Horizontal, Qt::DisplayRole), "language19");
    for (const char *name : { "DBNavigator1", "BackBtn", "DBEdit1", "FilterEdit", "FilterBtn",
             "DBGrid1", "StatusBar1" })
        EXPECT_NE(form->findChild<QWidget *>(name), nullptr) << name;
    EXPECT_EQ(gridSources(), QStringList({ "Apfel", "Birne", "Grüner Apfel", "Kirsche" }));
}

TEST_F(TranslateFormTest, searchFiltersBySourceTextIgnoringCaseAndClosingTurnsItOff)
{
    form->FilterEdit->setText("apfel");
    form->FilterBtnClick();
    EXPECT_EQ(gridSources(), QStringList({ "Apfel", "Grüner Apfel" }));
    EXPECT_EQ(tr().table().current(), 1);
    EXPECT_EQ(form->DBEdit1->text(), "Apfel");
    form->FilterEdit->clear();
    form->FilterBtnClick();
    EXPECT_EQ(gridSources().size(), 4);

    form->FilterEdit->setText("KIRSCHE");
    form->FilterBtnClick();
    EXPECT_EQ(gridSources(), QStringList({ "Kirsche" }));
    form->show();
    form->close();
    EXPECT_FALSE(tr().table().isFiltered());

    form->FilterBtnClick();
    form->reject();
    EXPECT_FALSE(tr().table().isFiltered());
    form->FilterBtnClick();
    form->BackBtnClick();
    EXPECT_FALSE(tr().table().isFiltered());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(TranslateFormTest, boundEditFollowsTheCurrentRecordAndPostsIntoTheFile)
{
    form->DBGrid1->setCurrentIndex(form->model()->index(2, 1));
    EXPECT_EQ(tr().table().current(), 3);
    EXPECT_EQ(form->DBEdit1->text(), "Grüner Apfel");
    form->DBEdit1->setText("Roter Apfel");
    emit form->DBEdit1->textEdited("Roter Apfel");
    EXPECT_EQ(form->state(), TTranslateForm::State::Edit);
    // Moving on saves the edited record, as a data grid does.
    form->Next();
    EXPECT_EQ(form->state(), TTranslateForm::State::Browse);
    EXPECT_EQ(form->DBEdit1->text(), "Kirsche");
    EXPECT_EQ(tr().table().field(3, 0), "Roter Apfel");

    // A cell edited in the grid is written at once.
    EXPECT_TRUE(form->model()->setData(form->model()->index(1, 1), "Pear", Qt::EditRole));
    EXPECT_EQ(tr().table().field(2, 1), "Pear");

    start(1);
    EXPECT_EQ(tr().translateText("Birne"), "Pear");
    EXPECT_EQ(tr().index().find("Roter Apfel"), 3);
}

// The grid and the bound edit show one record: an edit of the source text in the grid is what
// the bound edit then shows, and a later edit there builds on it.
TEST_F(TranslateFormTest, boundEditFollowsAnEditOfTheSourceTextInTheGrid)
{
    form->DBGrid1->setCurrentIndex(form->model()->index(1, 0));
    ASSERT_EQ(form->DBEdit1->text(), "Birne");
    for (const auto state : { TTranslateForm::State::Browse, TTranslateForm::State::Edit }) {
        if (state == TTranslateForm::State::Edit)
            type(form->DBEdit1, "x"); // unsaved, and overtaken by the grid
        EXPECT_TRUE(form->model()->setData(form->model()->index(1, 0), "Birnen", Qt::EditRole));
        EXPECT_EQ(form->DBEdit1->text(), "Birnen");
        EXPECT_EQ(form->state(), TTranslateForm::State::Browse);
    }
    // Another field of the record leaves the bound edit as it is.
    type(form->DBEdit1, "!");
    EXPECT_TRUE(form->model()->setData(form->model()->index(1, 1), "Pears", Qt::EditRole));
    EXPECT_EQ(form->state(), TTranslateForm::State::Edit);
    EXPECT_TRUE(form->Post());
    EXPECT_EQ(tr().table().field(2, 0), "Birnen!");
    EXPECT_EQ(tr().table().field(2, 1), "Pears");
}

// What a field cannot hold is refused where it is typed, with the reason, in the bound edit
// and in the grid's cells alike; nothing reaches the table changed.
TEST_F(TranslateFormTest, textAFieldCannotHoldIsRefusedAsItIsTyped)
{
    QStringList told;
    form->setTellRefusal([&told](QLineEdit *, const QString &why) { told << why; });
    form->DBGrid1->setCurrentIndex(form->model()->index(0, 0));
    QLineEdit *cell = qobject_cast<QLineEdit *>(form->DBGrid1->itemDelegate()->createEditor(
        form->DBGrid1->viewport(), {}, form->model()->index(0, 1)));
    ASSERT_NE(cell, nullptr);
    for (QLineEdit *edit : { form->DBEdit1, cell }) {
        edit->setText(QString(250, u'ä'));
        type(edit, "€Ωa");
        type(edit, "bcd!");
        EXPECT_EQ(edit->text(), QString(250, u'ä') + "€abcd");
    }
    const QString charset =
        "Die Übersetzungstabelle kann nur Zeichen des Windows-Zeichensatzes 1252 "
        "speichern.";
    const QString length = "Ein Feld der Übersetzungstabelle fasst höchstens 255 Zeichen.";
    EXPECT_EQ(told, QStringList({ charset, length, charset, length }));
    delete cell;

    EXPECT_FALSE(form->model()->setData(form->model()->index(0, 1), "Ωmega", Qt::EditRole));
    EXPECT_FALSE(
        form->model()->setData(form->model()->index(0, 1), QString(256, 'a'), Qt::EditRole));
    EXPECT_EQ(tr().table().field(1, 1), "");
    // The reason is looked up without moving the record that the bound edit posts into.
    EXPECT_EQ(tr().table().current(), 1);
    EXPECT_TRUE(form->Post());
    EXPECT_EQ(tr().table().field(1, 0), cp1252::encode(QString(250, u'ä') + "€abcd"));
}

TEST_F(TranslateFormTest, insertPostsANewRecordAndCancelDiscardsIt)
{
    form->Insert();
    form->DBEdit1->setText("Pflaume");
    form->Cancel();
    EXPECT_EQ(tr().table().recordCount(), 4);
    form->Insert();
    form->DBEdit1->setText("Pflaume");
    EXPECT_TRUE(form->Post());
    ASSERT_EQ(tr().table().recordCount(), 5);
    EXPECT_EQ(tr().table().field(5, 0), "Pflaume");
    EXPECT_EQ(form->DBGrid1->currentIndex().row(), 4);
}

TEST_F(TranslateFormTest, deleteAsksFirstAndHidesTheRecord)
{
    form->First();
    confirm = false;
    form->Delete();
    EXPECT_EQ(gridSources().size(), 4);
    confirm = true;
    form->Delete();
    EXPECT_EQ(gridSources(), QStringList({ "Birne", "Grüner Apfel", "Kirsche" }));
    EXPECT_TRUE(tr().table().isDeleted(1));
    EXPECT_EQ(form->DBEdit1->text(), "Birne");
}

TEST_F(TranslateFormTest, readOnlyTableCannotBeChanged)
{
    tr().table().close();
    const QByteArray before = readFile(tablePath());
    start(0, true);
    form = std::make_unique<TTranslateForm>(nullptr, &tr());
    form->attachTable();
    EXPECT_TRUE(form->DBEdit1->isReadOnly());
    EXPECT_FALSE(form->model()->flags(form->model()->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(form->model()->setData(form->model()->index(0, 1), "Apple", Qt::EditRole));
    form->Insert();
    EXPECT_EQ(form->state(), TTranslateForm::State::Browse);
    form->DBEdit1->setText("Anders");
    emit form->DBEdit1->textEdited("Anders");
    form->BackBtnClick();
    m_translator.reset();
    EXPECT_EQ(readFile(tablePath()), before);
}

TEST_F(TranslateFormTest, translateCommandShowsTheEditorWithWideColumnsThenAsksForARestart)
{
    MenuWindow w;
    LanguageMenu menu(&w.window, tr(), dir(), form.get());
    std::vector<Shown> shown;
    menu.setShowInfo([&](QWidget *, const QString &c, const QString &t) {
        shown.push_back({ c, t });
    });
    int width = 0;
    QTimer::singleShot(0, form.get(), [&] {
        width = form->DBGrid1->columnWidth(5);
        form->BackBtn->click();
    });
    w.translate->trigger();
    EXPECT_EQ(width, 300);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Übersetzung"));
}
