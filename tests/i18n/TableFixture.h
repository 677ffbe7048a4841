#pragma once

#include "i18n/Translator.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A fresh program directory per test, with a Translator that opens translate.dbf in it the way
// the main window does at start-up.
class TableFixture : public ::testing::Test
{
protected:
    QString dir() const { return m_dir.path(); }
    QString tablePath() const { return QDir(m_dir.path()).filePath("translate.dbf"); }

    // Start-up: open (or create) the table and build the index, as a new run of the program.
    Translator &start(int languageIndex = 0, bool writingRefused = false)
    {
        m_translator = std::make_unique<Translator>();
        m_translator->setWritingRefused(writingRefused);
        m_translator->setLanguageIndex(languageIndex);
        m_lastOpen = m_translator->openTable(dir());
        m_translator->buildTranslationIndex();
        Translator::setInstance(m_translator.get());
        return *m_translator;
    }

    Translator &tr() { return *m_translator; }

    // Fills field `field` (0-based) of the record holding `source` in language1.
    void setTranslation(const QString &source, int field, const QByteArray &value);

    QTemporaryDir m_dir;
    std::unique_ptr<Translator> m_translator;
    TableOpenResult m_lastOpen;
};
