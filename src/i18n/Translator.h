#pragma once

#include "i18n/DbfTable.h"
#include "i18n/TranslationIndex.h"

#include <QString>

// How the translation table could be opened at start-up.
struct TableOpenResult
{
    enum class State { ReadWrite, ReadOnly, Unusable };
    State state = State::Unusable;
    QString path;
    QString reason; // why the table is unusable, in German
};

// The translation table translate.dbf, its index and the current language. The main window
// owns one Translator for the whole run and registers it with setInstance, so messageText and
// the free translateText reach it from everywhere.
class Translator
{
public:
    static constexpr int kLanguageFields = 19;
    static constexpr int kFieldWidth = 255;

    Translator() = default;
    ~Translator();
    Translator(const Translator &) = delete;
    Translator &operator=(const Translator &) = delete;

    static Translator *instance();
    static void setInstance(Translator *translator);

    // The fields language1 ... language19 that a new table gets.
    static std::vector<DbfField> fieldDefinitions();

    // Opens translate.dbf in exeDir for reading and writing, creating it when it is missing,
    // or for reading only when the file or its folder refuses writing. A damaged file is never
    // touched: it leaves the table unusable, and every lookup then returns its text unchanged.
    TableOpenResult openTable(const QString &exeDir);
    // Fills the index from the open table: every record that is not deleted, by language1.
    void buildTranslationIndex();
    // Passes every built-in message through the lookup once, so each has its record.
    void translateMessages();

    // The German text's translation in the current language; see the .cpp for the rules.
    QString translateText(const QString &text);

    int languageIndex() const { return m_languageIndex; }
    // Takes effect with the very next lookup.
    void setLanguageIndex(int index) { m_languageIndex = index; }
    // The field a lookup reads: the language index, or language1 when the table has no such
    // field (only a damaged options.dat can name one).
    int effectiveField() const;

    // Opens the table read-only even when it could be written. A superuser may write any file,
    // so tests of the read-only state cannot rely on file permissions alone.
    void setWritingRefused(bool refused) { m_writingRefused = refused; }

    bool isUsable() const { return m_table.isOpen(); }
    bool isReadOnly() const { return !m_table.isOpen() || m_table.isReadOnly(); }
    DbfTable &table() { return m_table; }
    const TranslationIndex &index() const { return m_index; }

    // The key under which a source text is stored. A field holds 255 bytes, so a longer text
    // is stored as its first 246 bytes, '#' and eight hex digits of a hash of the whole text:
    // the stored key is then exactly what the same text produces again after a restart, and
    // two long texts that share their beginning still get records of their own.
    static QByteArray tableKey(const QByteArray &sourceBytes);

    // The warning shown once at start-up when the table cannot be used.
    static QString openFailureText(const TableOpenResult &result);

private:
    DbfTable m_table;
    TranslationIndex m_index;
    int m_languageIndex = 0;
    bool m_writingRefused = false;
};

// translateText of the registered Translator; the text itself when none is registered.
QString translateText(const QString &text);
