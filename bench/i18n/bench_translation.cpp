// Start-up cost of the translation: reading a 5,000-record translate.dbf into the index, and
// looking up every text of the windows against it.
#include "i18n/Translator.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 5000;

// German-looking texts spread over the capital letters, as window captions are.
QString sourceText(int i)
{
    return QString(QChar(u'A' + i % 26)) + QStringLiteral("usgabe Nummer %1 für Fenster").arg(i);
}

const QTemporaryDir &tableDir()
{
    static QTemporaryDir dir;
    static bool filled = false;
    if (!filled) {
        Translator t;
        t.openTable(dir.path());
        t.buildTranslationIndex();
        for (int i = 0; i < kRecords; ++i)
            t.translateText(sourceText(i));
        for (int i = 0; i < kRecords; i += 2)
            t.table().setField(i + 1, 1, "English text " + QByteArray::number(i));
        filled = true;
    }
    return dir;
}

void BM_OpenAndBuildIndex(benchmark::State &state)
{
    const QString dir = tableDir().path();
    for (auto _ : state) {
        Translator t;
        t.openTable(dir);
        t.buildTranslationIndex();
        benchmark::DoNotOptimize(t.index().entryCount());
    }
}
BENCHMARK(BM_OpenAndBuildIndex)->Unit(benchmark::kMillisecond);

// About as many lookups as the five windows make at start-up, all of them hits.
void BM_LookupWindowTexts(benchmark::State &state)
{
    Translator t;
    t.setLanguageIndex(1);
    t.openTable(tableDir().path());
    t.buildTranslationIndex();
    QStringList texts;
    for (int i = 0; i < 300; ++i)
        texts << sourceText(i * 16);
    for (auto _ : state) {
        for (const QString &s : texts)
            benchmark::DoNotOptimize(t.translateText(s));
    }
}
BENCHMARK(BM_LookupWindowTexts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
