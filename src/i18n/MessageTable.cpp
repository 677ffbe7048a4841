#include "i18n/MessageTable.h"

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

QString messageText(int number)
{
    return messageSourceText(number);
}
