#pragma once

class QCoreApplication;
class QLocale;
class QTranslator;

// Qt's own texts (the buttons of message boxes, the file, colour and printer dialogs) in the
// desktop's language, as the system's own dialogs are elsewhere; the program's texts come from
// the translation table whatever the desktop says. Installs Qt's translation for `locale` into
// `app` and returns it (owned by `app`), or returns nullptr when there is none: Qt's texts then
// stay English.
QTranslator *installQtTranslations(QCoreApplication &app, const QLocale &locale);
