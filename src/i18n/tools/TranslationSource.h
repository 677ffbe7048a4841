#pragma once

#include <QString>
#include <vector>

// One reviewed translation: a German source text and its English wording.
struct TranslationPair
{
    QString german;
    QString english;
};

// Reads the reviewed translation source: UTF-8 text, one pair a line, German and English
// separated by one tab. Blank lines and lines starting with '#' are skipped; "\t", "\n" and
// "\\" inside a text stand for a tab, a line break and a backslash.
//
// The source is refused (an empty result and the reasons in `problems`, one a line number) when
// a line has no tab or more than one, a text is empty, a German text has outer blanks (the
// lookup strips them, so such a key could never be found), a German text appears twice, or a
// text does not fit into the table: characters outside Windows-1252, or an English text longer
// than a table field.
std::vector<TranslationPair> parseTranslationSource(const QByteArray &utf8, QStringList *problems);

// Writes a new translation table at `path` holding one record per pair, in the given order:
// the German text under the key the lookup uses (Translator::tableKey) in language1 and the
// English text in language2. The table is filled under a temporary name and renamed into place
// at the end, so a failed run never leaves a partial table behind. Returns false with the
// reason when it fails.
bool writeTranslationTable(
    const std::vector<TranslationPair> &pairs, const QString &path, QString *reason);
