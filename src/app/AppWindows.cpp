#include "app/AppWindows.h"

#include "app/TAboutBox.h"
#include "app/TMainForm.h"
#include "export/ui/TDXFExportForm.h"
#include "i18n/ui/LanguageMenu.h"
#include "i18n/ui/TTranslateForm.h"
#include "print/ui/TPrintForm.h"

AppWindows::AppWindows(const QStringList &arguments)
    : m_mainForm(std::make_unique<TMainForm>(arguments))
{
    m_printForm = new TPrintForm(m_mainForm.get());
    m_aboutBox = new TAboutBox(m_mainForm.get());
    m_dxfExportForm = new TDXFExportForm(m_mainForm.get());
    m_translateForm = new TTranslateForm(m_mainForm.get());
    m_mainForm->setAboutBox(m_aboutBox);
    m_mainForm->setPrintForm(m_printForm);
    m_mainForm->setDxfExportForm(m_dxfExportForm);
    m_qtTexts.follow(m_mainForm->languageIndex());
    if (LanguageMenu *menu = m_mainForm->languageMenu()) {
        menu->setTranslateForm(m_translateForm);
        QObject::connect(menu, &LanguageMenu::languageChosen, m_mainForm.get(),
            [this](int index) { m_qtTexts.follow(index); });
    }
}

AppWindows::~AppWindows() = default;
