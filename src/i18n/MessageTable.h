#pragma once

#include <QString>
#include <vector>

// The system's numbered messages. Every message a user sees is fetched through messageText,
// which gives the text in the current language through the translation table. A number that
// names no message gives an empty text and looks nothing up.
QString messageText(int number);

// The German source text of a message, or an empty string for a number the table lacks.
QString messageSourceText(int number);

// The numbers of all messages, in ascending order.
std::vector<int> messageNumbers();
