#pragma once

#include <QString>

// The system's numbered messages. Every message a user sees is fetched through messageText,
// which gives the text in the current language.
QString messageText(int number);

// The German source text of a message, or an empty string for a number the table lacks.
QString messageSourceText(int number);
