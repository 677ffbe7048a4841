#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace linovex::fuzz {

// One way of feeding arbitrary bytes to the program: a reader or an export together with the
// checks its result must pass. run() returns what was wrong with the result, or an empty string
// when it was sound; crashes, hangs and sanitizer reports are caught by the tool that calls it.
// The same entries drive the libFuzzer programs and the replay test of the normal suite, so a
// saved input reproduces exactly the path on which it was found.
struct Entry
{
    const char *name; // also the folder name of the entry's corpus and regression inputs
    std::string (*run)(std::span<const std::uint8_t> data);
};

std::span<const Entry> entries();
// The entry of that name, or null.
const Entry *findEntry(const char *name);

std::string projectReader(std::span<const std::uint8_t> data);
std::string openDib(std::span<const std::uint8_t> data);
std::string translationTable(std::span<const std::uint8_t> data);
std::string translateTextLookup(std::span<const std::uint8_t> data);
std::string splineDxf(std::span<const std::uint8_t> data);
std::string cncDxf(std::span<const std::uint8_t> data);
std::string emfExport(std::span<const std::uint8_t> data);
std::string editing(std::span<const std::uint8_t> data);

} // namespace linovex::fuzz
