#pragma once

#include "document/Chain.h"
#include "support/TestDrawing.h"

#include <QByteArray>
#include <QList>

// Small helpers to build element lists and to read back the entities of a CNC DXF file.
namespace cnctest {

inline void append(TElementList &list, const TDrawElement &e)
{
    *list.Append() = e;
}

// One VERTEX record as written.
struct Vertex
{
    QByteArray x, y, bulge;
};

// The body of the ENTITIES section: the lines between the 50 fixed opening lines and the four
// closing lines, or an empty list when the file does not have that frame.
inline QList<QByteArray> entityLines(const QByteArray &file)
{
    QList<QByteArray> lines = file.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        lines[i].chop(1); // the CR of CR LF
    if (lines.size() < 54)
        return {};
    return lines.mid(50, lines.size() - 54);
}

inline QList<Vertex> vertices(const QByteArray &file)
{
    const QList<QByteArray> lines = entityLines(file);
    QList<Vertex> result;
    for (qsizetype i = 0; i + 9 < lines.size(); ++i) {
        if (lines[i] == "0" && lines[i + 1] == "VERTEX")
            result.append({ lines[i + 5], lines[i + 7], lines[i + 9] });
    }
    return result;
}

inline int countLines(const QByteArray &file, const QByteArray &text)
{
    int n = 0;
    for (const QByteArray &line : entityLines(file))
        n += line == text;
    return n;
}

} // namespace cnctest
