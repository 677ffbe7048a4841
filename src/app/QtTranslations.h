#pragma once

#include <QLocale>
#include <memory>

class QTranslator;

// Qt's own texts (the buttons of message boxes, the file, colour and printer dialogs) in the
// program's language, so that a German interface on an English desktop does not answer with
// "Yes" and "Save As". The program's texts come from the translation table; Qt's come from the
// translations that Qt ships, loaded for the language index: German for 0, Qt's own English
// texts for 1, and for the table's further languages, whose meaning only the translators know,
// the desktop's language as far as Qt has it. The desktop's own dialogs (a platform theme's file
// or colour chooser) speak the desktop's language, so while the two languages differ Qt's own
// dialogs are used in their place.
class QtTranslations
{
public:
    explicit QtTranslations(const QLocale &desktop = QLocale::system());
    ~QtTranslations();
    QtTranslations(const QtTranslations &) = delete;
    QtTranslations &operator=(const QtTranslations &) = delete;

    // Replaces the installed translation by the one for `languageIndex`; Qt's open windows
    // follow at once. Without a translation for that language Qt's texts are English.
    void follow(int languageIndex);

    // The language Qt's texts take for a language index of the translation table.
    static QLocale localeFor(int languageIndex, const QLocale &desktop);

private:
    QLocale m_desktop;
    bool m_nativeDialogsRefused;
    std::unique_ptr<QTranslator> m_translator;
};
