#include "i18n/Translator.h"

#include "base/Cp1252.h"
#include "i18n/MessageTable.h"

#include <QDir>
#include <QFileInfo>

namespace {

Translator *g_instance = nullptr;

quint32 fnv1a(const QByteArray &bytes)
{
    quint32 h = 2166136261u;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

QByteArray trimControls(const QByteArray &value)
{
    int begin = 0;
    int end = value.size();
    while (begin < end && static_cast<unsigned char>(value[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(value[end - 1]) <= 32)
        --end;
    return value.mid(begin, end - begin);
}

} // namespace

Translator::~Translator()
{
    if (g_instance == this)
        g_instance = nullptr;
}

Translator *Translator::instance()
{
    return g_instance;
}

void Translator::setInstance(Translator *translator)
{
    g_instance = translator;
}

std::vector<DbfField> Translator::fieldDefinitions()
{
    std::vector<DbfField> fields;
    for (int i = 1; i <= kLanguageFields; ++i)
        fields.push_back({ "language" + QByteArray::number(i), kFieldWidth });
    return fields;
}

TableOpenResult Translator::openTable(const QString &exeDir)
{
    TableOpenResult result;
    result.path = QDir(exeDir).filePath("translate.dbf");
    m_table.close();
    m_index.clear();
    // A folder that may not be written (a portable copy on a read-only medium or share) holds
    // a table that is only read, even where the file itself would let itself be written.
    const bool refused = m_writingRefused || !QFileInfo(exeDir).isWritable();
    if (!QFileInfo::exists(result.path) && !refused) {
        QString reason;
        if (!DbfTable::create(result.path, fieldDefinitions(), &reason)) {
            result.reason = reason;
            return result;
        }
    } else {
        // A damaged table is reported and left alone, so the translators' work in it can
        // still be rescued; opening it read-only would not make its records any more reliable.
        const QString problem = DbfTable::checkFile(result.path);
        if (!problem.isEmpty()) {
            result.reason = problem;
            return result;
        }
    }
    if (!refused && m_table.open(result.path, DbfTable::Mode::ReadWrite, nullptr)) {
        result.state = TableOpenResult::State::ReadWrite;
    } else if (m_table.open(result.path, DbfTable::Mode::ReadOnly, &result.reason)) {
        result.state = TableOpenResult::State::ReadOnly;
    }
    return result;
}

void Translator::buildTranslationIndex()
{
    m_index.clear();
    if (!m_table.isOpen())
        return;
    m_table.scanField(0, [this](int recNo, const QByteArray &source) {
        if (!source.isEmpty())
            m_index.add(source, recNo);
    });
    m_index.sortAll();
}

void Translator::translateMessages()
{
    for (int number : messageNumbers())
        translateText(messageSourceText(number));
}

int Translator::effectiveField() const
{
    if (m_languageIndex < 0 || m_languageIndex >= m_table.fieldCount())
        return 0;
    return m_languageIndex;
}

QByteArray Translator::tableKey(const QByteArray &sourceBytes)
{
    if (sourceBytes.size() <= kFieldWidth)
        return sourceBytes;
    return sourceBytes.left(kFieldWidth - 9) + '#'
        + QByteArray::number(fnv1a(sourceBytes), 16).rightJustified(8, '0');
}

QString Translator::openFailureText(const TableOpenResult &result)
{
    return QStringLiteral("Die Übersetzungstabelle kann nicht benutzt werden:\n%1\n%2\n"
                          "Das Programm zeigt seine Texte auf Deutsch.")
        .arg(QDir::toNativeSeparators(result.path), result.reason);
}

// Blanks (code 32 only) around the text are not part of its key; they are put back around the
// translation. The translation itself loses every character of code 32 or below at both ends,
// so a translator's stray blanks, tabs or line breaks never reach the screen.
QString Translator::translateText(const QString &text)
{
    if (text.isEmpty() || !m_table.isOpen())
        return text;
    const auto n = text.size();
    qsizetype lead = 0;
    while (lead < n && text[lead] == u' ')
        ++lead;
    if (lead == n)
        return text;
    qsizetype trail = 0;
    while (text[n - 1 - trail] == u' ')
        ++trail;
    const QByteArray source = cp1252::encode(text.mid(lead, n - lead - trail));
    const QByteArray key = tableKey(source);

    const int recNo = m_index.find(key);
    if (recNo > 0) {
        m_table.goTo(recNo);
        const int field = effectiveField();
        // A long text's own record holds only its shortened key, which is no text to show.
        if (field == 0 && key.size() != source.size())
            return text;
        // A field of nothing but control characters counts as empty: a caption whose record
        // holds only a stray tab or line break must not vanish from the screen.
        const QByteArray value = trimControls(m_table.field(recNo, field));
        if (value.isEmpty())
            return text;
        return QString(lead, u' ') + cp1252::decode(value) + QString(trail, u' ');
    }
    if (m_table.isReadOnly())
        return text;
    const int added = m_table.append({ key });
    if (added > 0)
        m_index.add(key, added);
    return text;
}

QString translateText(const QString &text)
{
    Translator *t = Translator::instance();
    return t ? t->translateText(text) : text;
}
