// Turning and straightening an A0 scan at 600 dpi (19866 x 28087, 24 bits), with the peak
// resident memory of the process next to the time.

#include "picture/PictureOps.h"
#include "../support/ProcessMemory.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

const Dib &scan()
{
    static const Dib picture = [] {
        Dib d = Dib::create(19866, 28087, 24);
        // Every page is touched, as a loaded picture's would be, with rows that differ.
        for (int y = 0; y < d.height(); ++y)
            std::memset(d.rec().Bits + static_cast<std::ptrdiff_t>(y) * d.rec().BytesPerLine,
                y & 0xFF, static_cast<std::size_t>(d.rec().BytesPerLine));
        return d;
    }();
    return picture;
}

void measure(benchmark::State &state, const std::function<PictureChange(const Dib &)> &operation)
{
    const Dib &picture = scan();
    if (picture.isNull()) {
        state.SkipWithError("no memory for the picture");
        return;
    }
    const double pictureMegabytes =
        static_cast<double>(picture.rec().BytesPerLine) * picture.height() / 1E6;
    const double before = benchmemory::resetPeak();
    for (auto _ : state) {
        const PictureChange change = operation(picture);
        if (!change.ok())
            state.SkipWithError("operation refused");
    }
    const double peak = benchmemory::statusMegabytes("VmHWM");
    state.counters["picture_MB"] = pictureMegabytes;
    state.counters["peak_rss_MB"] = peak;
    state.counters["operation_peak_MB"] = peak - before;
}

void BM_QuarterTurnA0(benchmark::State &state)
{
    measure(state, [](const Dib &p) { return rotateQuarter(p, 1); });
}

void BM_StraightenA0(benchmark::State &state)
{
    const double rise = 10000 * std::tan(0.4 * M_PI / 180);
    measure(state, [rise](const Dib &p) {
        return straightenPicture(p, { 0, 0 }, { 10000, rise });
    });
}

} // namespace

BENCHMARK(BM_QuarterTurnA0)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_StraightenA0)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
