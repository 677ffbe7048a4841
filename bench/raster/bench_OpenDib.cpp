// OpenDib against Qt's own image reader on an A4 page scanned at 600 dpi (4960 x 7016 pixels,
// 24 bits), as PNG and as JPEG. The pictures are drawn and written to a temporary folder at
// start. After the run the ratio of OpenDib to the faster reader is printed per format.
#include "raster/DibRec.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

namespace {

QString g_png;
QString g_jpeg;

// A drawing on paper: a faint tint across the page, a grid of lines and some dense hatching,
// roughly what a scanned technical drawing looks like to a decoder.
QImage scannedPage()
{
    QImage page(4960, 7016, QImage::Format_RGB32);
    for (int y = 0; y < page.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < page.width(); ++x)
            row[x] = qRgb(250 - (x >> 8), 248 - (y >> 9), 240 + ((x ^ y) & 7));
    }
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(20, 20, 60), 6));
    for (int i = 0; i < 60; ++i) {
        painter.drawLine(100, 100 + i * 110, 4860, 300 + i * 105);
        painter.drawEllipse(QPoint(2480, 3508), 200 + i * 35, 150 + i * 40);
    }
    painter.setPen(QPen(QColor(160, 30, 30), 2));
    for (int i = 0; i < 400; ++i)
        painter.drawLine(600 + i * 5, 5000, 1400 + i * 5, 6800);
    return page;
}

void openDib(benchmark::State &state, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    for (auto _ : state) {
        TDibRec rec;
        OpenDib(rec, name.constData());
        if (!rec.Bits)
            state.SkipWithError("OpenDib failed");
        benchmark::DoNotOptimize(rec.Bits);
        deldib(rec);
    }
}

void imageReader(benchmark::State &state, const QString &path)
{
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setAllocationLimit(0);
        QImage image = reader.read();
        if (image.isNull())
            state.SkipWithError("QImageReader failed");
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_OpenDib_Png(benchmark::State &state)
{
    openDib(state, g_png);
}
void BM_QImageReader_Png(benchmark::State &state)
{
    imageReader(state, g_png);
}
void BM_OpenDib_Jpeg(benchmark::State &state)
{
    openDib(state, g_jpeg);
}
void BM_QImageReader_Jpeg(benchmark::State &state)
{
    imageReader(state, g_jpeg);
}

BENCHMARK(BM_OpenDib_Png)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_QImageReader_Png)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_OpenDib_Jpeg)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_QImageReader_Jpeg)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Remembers the time per iteration of every run so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const std::string name = run.benchmark_name();
            const std::string base = name.substr(0, name.find('/'));
            wall[base] = run.GetAdjustedRealTime();
            cpu[base] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> wall;
    std::map<std::string, double> cpu;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_png = dir.filePath(QStringLiteral("page.png"));
    g_jpeg = dir.filePath(QStringLiteral("page.jpg"));
    {
        const QImage page = scannedPage().convertToFormat(QImage::Format_RGB888);
        if (!page.save(g_png, "PNG") || !page.save(g_jpeg, "JPEG", 90))
            return 1;
    }
    std::printf("PNG %lld bytes, JPEG %lld bytes\n", static_cast<long long>(QFile(g_png).size()),
        static_cast<long long>(QFile(g_jpeg).size()));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char *format : { "Png", "Jpeg" }) {
        const std::string ours = std::string("BM_OpenDib_") + format;
        const std::string qt = std::string("BM_QImageReader_") + format;
        // CPU time is the fairer figure on a shared machine; both are shown.
        if (reporter.wall.count(ours) && reporter.wall.count(qt))
            std::printf("%s: OpenDib / QImageReader = %.2f wall, %.2f CPU (target: at most 1.25)\n",
                format, reporter.wall[ours] / reporter.wall[qt],
                reporter.cpu[ours] / reporter.cpu[qt]);
    }
    benchmark::Shutdown();
    return 0;
}
