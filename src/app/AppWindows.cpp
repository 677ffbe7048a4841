#include "app/AppWindows.h"

#include "app/TAboutBox.h"
#include "app/TDXFExportForm.h"
#include "app/TMainForm.h"
#include "app/TPrintForm.h"
#include "app/TTranslateForm.h"

AppWindows::AppWindows(const QStringList &arguments)
    : m_mainForm(std::make_unique<TMainForm>(arguments))
{
    m_printForm = new TPrintForm(m_mainForm.get());
    m_aboutBox = new TAboutBox(m_mainForm.get());
    m_dxfExportForm = new TDXFExportForm(m_mainForm.get());
    m_translateForm = new TTranslateForm(m_mainForm.get());
    m_mainForm->setAboutBox(m_aboutBox);
}

AppWindows::~AppWindows() = default;
