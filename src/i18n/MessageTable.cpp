#include "i18n/MessageTable.h"

#include "i18n/Translator.h"

#include <array>
#include <utility>

namespace {

const std::array<std::pair<int, const char *>, 9> kMessages { {
    { 1, "Bitte starten Sie das Programm neu, damit die Sprache aktiviert werden kann." },
    { 2, "Übersetzung" },
    { 5, "Konnte das Bild nicht laden." },
    { 6, "Wollen Sie wirklich neu anfangen?" },
    { 7, "Neu" },
    { 9, "Bild" },
    { 10, "Konnte Datei nicht erzeugen." },
    { 11, "Konnte Datei nicht öffnen." },
    { 12, "Konnte diese Datei nicht erstellen:" },
} };

} // namespace

QString messageSourceText(int number)
{
    for (const auto &[n, text] : kMessages) {
        if (n == number)
            return QString::fromUtf8(text);
    }
    return {};
}

std::vector<int> messageNumbers()
{
    std::vector<int> numbers;
    for (const auto &entry : kMessages)
        numbers.push_back(entry.first);
    return numbers;
}

QString messageText(int number)
{
    const QString source = messageSourceText(number);
    if (source.isEmpty())
        return source;
    return translateText(source);
}
