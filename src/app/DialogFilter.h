#pragma once

#include <QString>

// Turns a filter written as "description|patterns|description|patterns..." (patterns separated
// by ';') into the form Qt's file dialogs take: "description (pat pat);;...". A description that
// already ends in its own pattern list in parentheses keeps only that list once, and "*.*" is
// written "*" because a Linux file name need not contain a dot. A trailing description without
// patterns is dropped. An empty text gives an empty filter (every file).
QString qtFileFilter(const QString &pairs);
