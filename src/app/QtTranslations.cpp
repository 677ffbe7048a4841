#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QtTranslations::QtTranslations(const QLocale &desktop)
    : m_desktop(desktop)
    , m_nativeDialogsRefused(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs))
{
}

QtTranslations::~QtTranslations()
{
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, m_nativeDialogsRefused);
}

QLocale QtTranslations::localeFor(int languageIndex, const QLocale &desktop)
{
    switch (languageIndex) {
    case 0:
        return QLocale(QLocale::German, QLocale::Germany);
    case 1:
        return QLocale(QLocale::English, QLocale::UnitedStates);
    default:
        return desktop;
    }
}

void QtTranslations::follow(int languageIndex)
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    const QLocale locale = localeFor(languageIndex, m_desktop);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs,
        m_nativeDialogsRefused || locale.language() != m_desktop.language());
    // Qt's texts are written in English; there is no translation to load for it.
    if (locale.language() == QLocale::English)
        return;
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(translator.get()))
        m_translator = std::move(translator);
}
