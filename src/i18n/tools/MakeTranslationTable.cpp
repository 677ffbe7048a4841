// linovex-mktable SOURCE.tsv OUT.dbf
//
// Builds the translation table that installations ship, from the reviewed translation source:
// one record per German text, with the English text in language2. It uses the program's own
// table code and key rule, so the shipped table is exactly what the program would have
// gathered itself, with English filled in.
#include "i18n/tools/TranslationSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "linovex-mktable: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() != 2)
        return fail(QStringLiteral("usage: linovex-mktable SOURCE.tsv OUT.dbf"));

    QFile source(args[0]);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(args[0]));
    QStringList problems;
    const std::vector<TranslationPair> pairs = parseTranslationSource(source.readAll(), &problems);
    for (const QString &p : problems)
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[0]), qPrintable(p));
    if (!problems.isEmpty())
        return 1;

    QString reason;
    if (!writeTranslationTable(pairs, args[1], &reason))
        return fail(reason);
    return 0;
}
