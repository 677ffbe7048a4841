// The libFuzzer program of one entry; the build names the entry in LINOVEX_FUZZ_ENTRY.
#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>

namespace {

const linovex::fuzz::Entry &entry()
{
    static const linovex::fuzz::Entry *e = linovex::fuzz::findEntry(LINOVEX_FUZZ_ENTRY);
    if (!e) {
        std::fprintf(stderr, "no fuzz entry named %s\n", LINOVEX_FUZZ_ENTRY);
        std::abort();
    }
    return *e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string problem = entry().run({ data, size });
    if (!problem.empty()) {
        // A wrong result is a finding just like a crash: abort so libFuzzer keeps the input.
        std::fprintf(stderr, "%s: %s\n", LINOVEX_FUZZ_ENTRY, problem.c_str());
        std::abort();
    }
    return 0;
}
