// Opening pictures the way the editor does: the page list and one page of a 10-page PDF, an A4
// page with the cost of the resolution lookup, and an A0 scan at 600 dpi as a plain BMP
// (19866 x 28087, 24 bits, 1.67 GB) with the peak memory it takes. The files are written to a
// temporary folder at start and removed at the end.

#include "../support/ProcessMemory.h"
#include "raster/DibRec.h"
#include "raster/JpegResolution.h"
#include "raster/PdfPages.h"
#include "raster/PictureResolution.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

namespace {

QString g_pdf;
QString g_jpeg;
QString g_bmp;

constexpr int kA0Width = 19866;
constexpr int kA0Height = 28087;

// Ten A4 pages of a technical drawing: a frame, a grid of lines, circles and lettering.
bool writePdf(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(1200);
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    const int w = writer.width();
    const int h = writer.height();
    for (int page = 0; page < 10; ++page) {
        if (page > 0)
            writer.newPage();
        painter.setPen(QPen(Qt::black, 8));
        painter.drawRect(200, 200, w - 400, h - 400);
        for (int i = 0; i < 200; ++i) {
            painter.drawLine(300, 300 + i * 60, w - 300, 500 + i * 55);
            painter.drawEllipse(QPoint(w / 2, h / 2), 100 + i * 15, 80 + i * 20);
        }
        painter.setFont(QFont(QStringLiteral("Sans"), 10));
        for (int i = 0; i < 40; ++i)
            painter.drawText(
                400, 600 + i * 300, QStringLiteral("Blatt %1, Position %2").arg(page).arg(i));
    }
    return painter.end();
}

// The BMP is written row by row so that the benchmark holds no copy of the picture itself.
bool writeA0Bmp(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qint64 stride = (kA0Width * 3 + 3) / 4 * 4;
    const qint64 pixels = stride * kA0Height;
    unsigned char header[54] = { 'B', 'M' };
    const auto put32 = [&](int at, qint64 v) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(2, 54 + pixels);
    put32(10, 54);
    put32(14, 40);
    put32(18, kA0Width);
    put32(22, kA0Height);
    header[26] = 1;
    header[28] = 24;
    put32(34, pixels);
    put32(38, 23622); // 600 dpi
    put32(42, 23622);
    if (file.write(reinterpret_cast<const char *>(header), 54) != 54)
        return false;
    std::vector<char> row(static_cast<std::size_t>(stride));
    for (int y = 0; y < kA0Height; ++y) {
        std::memset(row.data(), (y * 7) & 0xFF, row.size());
        if (file.write(row.data(), stride) != stride)
            return false;
    }
    return file.flush();
}

void BM_PdfPageList(benchmark::State &state)
{
    for (auto _ : state) {
        PdfFile pdf(g_pdf);
        double area = 0;
        for (int page = 0; page < pdf.pageCount(); ++page) {
            const QSizeF size = pdf.pageSizeMm(page);
            area += size.width() * size.height();
        }
        if (pdf.pageCount() != 10)
            state.SkipWithError("the PDF did not open with its 10 pages");
        benchmark::DoNotOptimize(area);
    }
}

void BM_PdfRenderA4At300(benchmark::State &state)
{
    PdfFile pdf(g_pdf);
    for (auto _ : state) {
        const Dib page = pdf.render({ 4, 300.0, false });
        if (page.isNull())
            state.SkipWithError("the page was not rendered");
        benchmark::DoNotOptimize(page.rec().Bits);
    }
}

// Loading as the editor does it, against the same loading with the resolution lookup made a
// second time (the walk through the JPEG headers and the reading of the record), so that the
// ratio of the two shows what the lookup costs. The two alternate within one run, so a change in
// the machine's load touches both alike.
void BM_LoadPicture(benchmark::State &state)
{
    using Clock = std::chrono::steady_clock;
    QFile file(g_jpeg);
    if (!file.open(QIODevice::ReadOnly))
        state.SkipWithError("the picture is missing");
    Clock::duration plain {}, twice {};
    for (auto _ : state) {
        for (const bool again : { false, true }) {
            const Clock::time_point start = Clock::now();
            const Dib picture = Dib::open(g_jpeg);
            if (picture.isNull())
                state.SkipWithError("the picture did not open");
            std::optional<double> dpi = declaredResolution(picture.rec());
            if (again) {
                file.seek(0);
                benchmark::DoNotOptimize(jpegDeclaredDotsPerMetre(file.read(1 << 16)));
                dpi = declaredResolution(picture.rec());
            }
            benchmark::DoNotOptimize(dpi);
            (again ? twice : plain) += Clock::now() - start;
        }
    }
    const auto ms = [&](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count()
            / static_cast<double>(state.iterations());
    };
    state.counters["load_ms"] = ms(plain);
    state.counters["load_with_second_lookup_ms"] = ms(twice);
}

void BM_LoadA0Bmp(benchmark::State &state)
{
    const double pictureMegabytes =
        static_cast<double>((kA0Width * 3 + 3) / 4 * 4) * kA0Height / 1E6;
    const double before = benchmemory::resetPeak();
    for (auto _ : state) {
        const Dib picture = Dib::open(g_bmp);
        if (picture.isNull())
            state.SkipWithError("the picture did not open");
        benchmark::DoNotOptimize(picture.rec().Bits);
    }
    state.counters["picture_MB"] = pictureMegabytes;
    state.counters["operation_peak_MB"] = benchmemory::statusMegabytes("VmHWM") - before;
}

} // namespace

BENCHMARK(BM_PdfPageList)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PdfRenderA4At300)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadPicture)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_LoadA0Bmp)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_pdf = dir.filePath(QStringLiteral("drawing.pdf"));
    g_jpeg = dir.filePath(QStringLiteral("page.jpg"));
    g_bmp = dir.filePath(QStringLiteral("a0.bmp"));
    {
        // An A4 page at 300 dpi that declares its resolution.
        QImage page(2480, 3508, QImage::Format_RGB888);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.setPen(QPen(Qt::black, 4));
        for (int i = 0; i < 100; ++i)
            painter.drawLine(50, 50 + i * 34, 2430, 150 + i * 33);
        painter.end();
        page.setDotsPerMeterX(11811);
        page.setDotsPerMeterY(11811);
        if (!writePdf(g_pdf) || !page.save(g_jpeg, "JPEG", 90) || !writeA0Bmp(g_bmp))
            return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
