#pragma once

#include "trace/InkBitmap.h"
#include "trace/Outline.h"

#include <memory>
#include <vector>

// Owners of potrace's objects, so every exit frees them exactly once.
struct PotraceStateFree
{
    void operator()(potrace_state_t *s) const { potrace_state_free(s); }
};
struct PotraceParamFree
{
    void operator()(potrace_param_t *p) const { potrace_param_free(p); }
};
using PotraceState = std::unique_ptr<potrace_state_t, PotraceStateFree>;
using PotraceParams = std::unique_ptr<potrace_param_t, PotraceParamFree>;

struct PotraceOutlines
{
    bool ok = false; // false when potrace ran out of memory
    std::vector<Outline> outlines;
};

// Finds the boundaries of the ink with potrace: ink and paper areas of at most `speckSize`
// pixels are ignored, `alphaMax` sets how round the corners become. Potrace's corners become
// two lines meeting at a corner point, its curves cubic pieces. `progress` receives 0..1.
PotraceOutlines findOutlines(const InkBitmap &bitmap, int speckSize, double alphaMax,
    const std::function<void(double)> &progress = {});
