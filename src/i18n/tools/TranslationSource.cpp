#include "i18n/tools/TranslationSource.h"

#include "base/Cp1252.h"
#include "i18n/DbfTable.h"
#include "i18n/Translator.h"

#include <QFile>
#include <QSet>
#include <QStringList>

namespace {

// Undoes the escapes of the source; returns false for an unknown escape.
bool unescape(const QString &text, QString *out)
{
    out->clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\')) {
            out->append(c);
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i].unicode()) {
        case 't':
            out->append(QLatin1Char('\t'));
            break;
        case 'n':
            out->append(QLatin1Char('\n'));
            break;
        case '\\':
            out->append(QLatin1Char('\\'));
            break;
        default:
            return false;
        }
    }
    return true;
}

bool fitsCodePage(const QString &text)
{
    return cp1252::decode(cp1252::encode(text)) == text;
}

} // namespace

std::vector<TranslationPair> parseTranslationSource(const QByteArray &utf8, QStringList *problems)
{
    std::vector<TranslationPair> pairs;
    QSet<QString> seen;
    QStringList found;
    const QStringList lines = QString::fromUtf8(utf8).split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto problem = [&](const QString &why) {
            found << QStringLiteral("line %1: %2").arg(n + 1).arg(why);
        };
        const QStringList cells = line.split(QLatin1Char('\t'));
        if (cells.size() != 2) {
            problem(QStringLiteral("expected German and English separated by one tab"));
            continue;
        }
        TranslationPair pair;
        if (!unescape(cells[0], &pair.german) || !unescape(cells[1], &pair.english)) {
            problem(QStringLiteral("unknown escape"));
            continue;
        }
        if (pair.german.isEmpty() || pair.english.trimmed().isEmpty()) {
            problem(QStringLiteral("empty text"));
            continue;
        }
        if (pair.german.startsWith(QLatin1Char(' ')) || pair.german.endsWith(QLatin1Char(' '))) {
            problem(QStringLiteral("German text with outer blanks can never be looked up"));
            continue;
        }
        if (!fitsCodePage(pair.german) || !fitsCodePage(pair.english)) {
            problem(QStringLiteral("text outside Windows-1252"));
            continue;
        }
        if (cp1252::encode(pair.english).size() > Translator::kFieldWidth) {
            problem(
                QStringLiteral("English text longer than %1 bytes").arg(Translator::kFieldWidth));
            continue;
        }
        if (seen.contains(pair.german)) {
            problem(QStringLiteral("German text given twice: %1").arg(pair.german));
            continue;
        }
        seen.insert(pair.german);
        pairs.push_back(pair);
    }
    if (problems)
        *problems = found;
    if (!found.isEmpty())
        pairs.clear();
    return pairs;
}

bool writeTranslationTable(
    const std::vector<TranslationPair> &pairs, const QString &path, QString *reason)
{
    // The table engine insists on the ".dbf" extension, so the temporary name keeps it.
    const QString part = path + QStringLiteral(".part.dbf");
    QFile::remove(part);
    if (!DbfTable::create(part, Translator::fieldDefinitions(), reason))
        return false;
    {
        DbfTable table;
        if (!table.open(part, DbfTable::Mode::ReadWrite, reason)) {
            QFile::remove(part);
            return false;
        }
        for (const TranslationPair &pair : pairs) {
            const QByteArray key = Translator::tableKey(cp1252::encode(pair.german));
            if (table.append({ key, cp1252::encode(pair.english) }) == 0) {
                *reason = table.lastError();
                table.close();
                QFile::remove(part);
                return false;
            }
        }
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        *reason = QStringLiteral("cannot rename %1 to %2").arg(part, path);
        QFile::remove(part);
        return false;
    }
    return true;
}
