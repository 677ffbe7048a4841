#include "FuzzBytes.h"
#include "FuzzEntries.h"
#include "base/Cp1252.h"
#include "i18n/Translator.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace linovex::fuzz {

namespace {

QString tableDir(const char *name)
{
    const QString dir = scratchDir() + QLatin1Char('/') + QLatin1String(name);
    QDir().mkpath(dir);
    return dir;
}

bool writeBytes(const QString &path, std::span<const std::uint8_t> data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(reinterpret_cast<const char *>(data.data()), static_cast<qint64>(data.size()))
        == static_cast<qint64>(data.size());
}

// Leading and trailing blanks of the text must survive a lookup, whatever the table holds.
std::string checkBlanks(const QString &text, const QString &result)
{
    qsizetype lead = 0;
    while (lead < text.size() && text[lead] == u' ')
        ++lead;
    if (lead == text.size())
        return result == text ? std::string() : "a text of blanks was changed";
    qsizetype trail = 0;
    while (text[text.size() - 1 - trail] == u' ')
        ++trail;
    if (!result.startsWith(QString(lead, u' ')) || !result.endsWith(QString(trail, u' ')))
        return "the blanks around a text were lost";
    return {};
}

// Looks a text up three times. In a table that may be written, the first lookup of an unknown
// text adds its record and shows the text as it is; later lookups find that record and show its
// field trimmed of control characters like every found text, so only the first may differ from
// the second, and only when it added the record. No lookup adds a second record, no lookup
// makes a text with content vanish, and the table must stay a table that opens again.
std::string lookUpRepeatedly(Translator &t, const QString &text)
{
    const auto recordCount = [&t] { return t.table().isOpen() ? t.table().recordCount() : 0; };
    const int before = recordCount();
    const QString first = t.translateText(text);
    if (std::string problem = checkBlanks(text, first); !problem.empty())
        return problem;
    const int records = recordCount();
    const QString second = t.translateText(text);
    const QString third = t.translateText(text);
    if (third != second || (records == before && second != first))
        return "the same text was translated differently the second time";
    if (std::string problem = checkBlanks(text, second); !problem.empty())
        return problem;
    const auto onlyBlanks = [](const QString &s) {
        return std::all_of(s.begin(), s.end(), [](QChar c) { return c == u' '; });
    };
    if (onlyBlanks(second) && !onlyBlanks(text))
        return "a text vanished in its translation";
    if (recordCount() != records)
        return "a text that was just added was added again";
    return {};
}

std::string checkStillUsable(Translator &t)
{
    if (!t.isUsable() || t.isReadOnly())
        return {};
    const QString path = t.table().path();
    const QString problem = DbfTable::checkFile(path);
    if (!problem.isEmpty())
        return "lookups damaged the table: " + problem.toStdString();
    return {};
}

// A table with a few records, written once per process.
const QString &templateTable()
{
    static const QString path = [] {
        const QString dir = tableDir("template");
        Translator t;
        t.openTable(dir);
        const std::vector<std::vector<QByteArray>> records {
            { "Datei", "File", "Fichier" },
            { "Datei %s kann nicht erstellt werden", "Cannot create file %s" },
            { "Linie", "  Line \t\r\n", "" },
            { "Öffnen", "Open", "Ouvrir" },
            { Translator::tableKey(QByteArray(300, 'x')), "long" },
            { "", "empty key" },
        };
        for (const auto &r : records)
            t.table().append(r);
        t.table().setDeleted(2, true);
        return t.table().path();
    }();
    return path;
}

} // namespace

std::string translationTable(std::span<const std::uint8_t> data)
{
    ByteReader in(data);
    const std::uint8_t options = in.byte();
    const QString dir = tableDir("table");
    if (!writeBytes(dir + QStringLiteral("/translate.dbf"), in.rest()))
        return "the scratch table cannot be written";

    Translator t;
    t.setWritingRefused((options & 0x80) == 0);
    const TableOpenResult opened = t.openTable(dir);
    if (opened.state == TableOpenResult::State::Unusable) {
        if (t.isUsable())
            return "an unusable table is open";
        return opened.reason.isEmpty() ? "an unusable table without a reason" : std::string();
    }
    t.buildTranslationIndex();
    t.setLanguageIndex(static_cast<int>(options & 0x1F) - 2);

    // The table's own keys find their records; a few texts of our own do not.
    std::vector<QString> texts { QStringLiteral("Datei"), QStringLiteral("  Linie "),
        QString(300, u'x'), QString(300, u'x') + u'y', QStringLiteral("\u00D6ffnen \u20AC") };
    const int records = std::min(t.table().recordCount(), 20);
    for (int r = 1; r <= records; ++r)
        texts.push_back(cp1252::decode(t.table().field(r, 0)));
    for (const QString &text : texts) {
        if (std::string problem = lookUpRepeatedly(t, text); !problem.empty())
            return problem;
    }
    if (options & 0x40)
        t.translateMessages();
    return checkStillUsable(t);
}

std::string translateTextLookup(std::span<const std::uint8_t> data)
{
    ByteReader in(data);
    const std::uint8_t options = in.byte();
    const std::span<const std::uint8_t> rest = in.rest();
    const QString text = (options & 0x40)
        ? QString::fromUtf16(reinterpret_cast<const char16_t *>(rest.data()),
            static_cast<qsizetype>(rest.size() / 2))
        : QString::fromUtf8(
            reinterpret_cast<const char *>(rest.data()), static_cast<qsizetype>(rest.size()));

    const QString dir = tableDir("text");
    const QString path = dir + QStringLiteral("/translate.dbf");
    QFile::remove(path);
    if (!QFile::copy(templateTable(), path))
        return "the scratch table cannot be copied";
    Translator t;
    t.setWritingRefused((options & 0x80) == 0);
    if (t.openTable(dir).state == TableOpenResult::State::Unusable)
        return "the template table cannot be opened";
    t.buildTranslationIndex();
    t.setLanguageIndex(static_cast<int>(options & 0x1F) - 2);

    // The free function goes through the registered instance, as every window does.
    Translator::setInstance(&t);
    const QString viaInstance = translateText(text);
    Translator::setInstance(nullptr);
    if (std::string problem = checkBlanks(text, viaInstance); !problem.empty())
        return problem;
    if (std::string problem = lookUpRepeatedly(t, text); !problem.empty())
        return problem;
    return checkStillUsable(t);
}

} // namespace linovex::fuzz
