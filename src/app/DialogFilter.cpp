#include "app/DialogFilter.h"

#include <QStringList>

namespace {

QString qtPatterns(const QString &patterns)
{
    QStringList out;
    for (const QString &p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString pattern = p.trimmed();
        if (pattern.isEmpty())
            continue;
        out << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

QString qtFileFilter(const QString &pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QString patterns = qtPatterns(parts[i + 1]);
        if (patterns.isEmpty())
            continue;
        // "All files (*.*)" already names its patterns; Qt reads the last parenthesised list,
        // so the old one is replaced rather than followed by a second list.
        const QString own = QLatin1Char('(') + parts[i + 1].trimmed() + QLatin1Char(')');
        if (description.endsWith(own))
            description = description.left(description.size() - own.size()).trimmed();
        filters << description + QLatin1String(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QLatin1String(";;"));
}
