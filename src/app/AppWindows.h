#pragma once

#include "app/QtTranslations.h"

#include <QStringList>
#include <memory>

class QWidget;
class TAboutBox;
class TDXFExportForm;
class TMainForm;
class TPrintForm;
class TTranslateForm;

// The program's five windows, created in a fixed order: the main window first (which sets up
// the document), then the print preview, information, DXF export settings and translation
// dialogs. All of them live until this object goes; only the main window is shown at start.
// Qt's own texts follow the language of the windows, from the start and after every choice in
// the language menu.
class AppWindows
{
public:
    explicit AppWindows(const QStringList &arguments);
    ~AppWindows();
    AppWindows(const AppWindows &) = delete;
    AppWindows &operator=(const AppWindows &) = delete;

    TMainForm &mainForm() const { return *m_mainForm; }
    TPrintForm *printForm() const { return m_printForm; }
    TAboutBox *aboutBox() const { return m_aboutBox; }
    TDXFExportForm *dxfExportForm() const { return m_dxfExportForm; }
    TTranslateForm *translateForm() const { return m_translateForm; }

private:
    QtTranslations m_qtTexts;
    std::unique_ptr<TMainForm> m_mainForm;
    // Owned by the main window as its dialogs, so they close and go with it.
    TPrintForm *m_printForm = nullptr;
    TAboutBox *m_aboutBox = nullptr;
    TDXFExportForm *m_dxfExportForm = nullptr;
    TTranslateForm *m_translateForm = nullptr;
};
