#pragma once

#include <cstddef>
#include <span>

// One group of the constant parts of a DXF file: the code and its value line as written.
struct FixedGroup
{
    int code;
    const char *value;
};

// The constant stretches of the file between its variable parts, in file order. Their
// handles (1 to 1A) lie below the first handle the document gives out (20).
namespace FixedBlocks {
extern const std::span<const FixedGroup> A;
extern const std::span<const FixedGroup> B;
extern const std::span<const FixedGroup> C;
extern const std::span<const FixedGroup> D;
extern const std::span<const FixedGroup> E;
extern const std::span<const FixedGroup> E2;
extern const std::span<const FixedGroup> F;
extern const std::span<const FixedGroup> G;
extern const std::span<const FixedGroup> H14;
extern const std::span<const FixedGroup> H2000;
extern const std::span<const FixedGroup> J;
} // namespace FixedBlocks
