#pragma once

#include <QString>

// options.dat holds the language index as four little-endian bytes, beside the program.
// Neither routine ever reports an error: a missing, unreadable or short file means German,
// and a file that cannot be written is left as it was.

// The stored language index; 0 when there is no usable file.
int loadOptions(const QString &exeDir);

// Replaces options.dat by exactly four bytes holding the index. The old file stays intact
// when the new one cannot be written completely. Returns whether the file was written.
bool saveOptions(const QString &exeDir, int languageIndex);
