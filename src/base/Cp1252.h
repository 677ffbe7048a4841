#pragma once

#include <QByteArray>
#include <QString>

// The translation table stores its texts as single bytes in Windows-1252, the code page of the
// program's German texts. These two functions are the only place where that conversion happens.
namespace cp1252 {

// Characters that Windows-1252 cannot hold become '?'.
QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

} // namespace cp1252
