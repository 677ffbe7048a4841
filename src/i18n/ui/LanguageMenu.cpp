#include "i18n/ui/LanguageMenu.h"

#include "i18n/LanguageOptions.h"
#include "i18n/MessageTable.h"
#include "i18n/Translator.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTableView>

LanguageMenu::LanguageMenu(
    QWidget *mainWindow, Translator &translator, const QString &exeDir, QDialog *translateForm)
    : QObject(mainWindow)
    , m_window(mainWindow)
    , m_translator(translator)
    , m_exeDir(exeDir)
    , m_translateForm(translateForm)
    , m_deutsch(mainWindow->findChild<QAction *>(QStringLiteral("Deutsch1")))
    , m_english(mainWindow->findChild<QAction *>(QStringLiteral("English1")))
{
    setObjectName("LanguageMenu");
    if (m_deutsch)
        connect(m_deutsch, &QAction::triggered, this, &LanguageMenu::Deutsch1Click);
    if (m_english)
        connect(m_english, &QAction::triggered, this, &LanguageMenu::English1Click);
    if (auto *translate = mainWindow->findChild<QAction *>(QStringLiteral("Translate1")))
        connect(translate, &QAction::triggered, this, &LanguageMenu::Translate1Click);
    m_showInfo = [](QWidget *parent, const QString &caption, const QString &text) {
        QMessageBox::information(parent, caption, text);
    };
}

int LanguageMenu::loadOptions()
{
    m_translator.setLanguageIndex(0);
    m_guard = true;
    if (m_deutsch)
        m_deutsch->setChecked(true);
    m_guard = false;
    const int index = ::loadOptions(m_exeDir);
    m_translator.setLanguageIndex(index);
    m_guard = true;
    if (index == 0 && m_deutsch)
        m_deutsch->setChecked(true);
    else if (index == 1 && m_english)
        m_english->setChecked(true);
    m_guard = false;
    return index;
}

void LanguageMenu::Deutsch1Click()
{
    choose(0, m_deutsch);
}

void LanguageMenu::English1Click()
{
    choose(1, m_english);
}

void LanguageMenu::choose(int index, QAction *item)
{
    if (m_guard)
        return;
    if (item)
        item->setChecked(true);
    m_translator.setLanguageIndex(index);
    emit languageChosen(index);
    showRestartRequest();
    saveOptions(m_exeDir, index);
}

void LanguageMenu::showRestartRequest()
{
    if (m_showInfo)
        m_showInfo(m_window, messageText(2), messageText(1));
}

void LanguageMenu::Translate1Click()
{
    if (m_translateForm) {
        if (auto *grid = m_translateForm->findChild<QTableView *>(QStringLiteral("DBGrid1"))) {
            // The grid learns its columns when the editor attaches to the table on showing,
            // so the width becomes the default of every column, present and to come.
            grid->horizontalHeader()->setDefaultSectionSize(300);
            for (int c = 0; grid->model() && c < grid->model()->columnCount(); ++c)
                grid->setColumnWidth(c, 300);
        }
        m_translateForm->exec();
    }
    showRestartRequest();
}
