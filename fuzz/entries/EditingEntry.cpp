#include "EditingDriver.h"
#include "FuzzBytes.h"
#include "FuzzEntries.h"

namespace linovex::fuzz {

std::string editing(std::span<const std::uint8_t> data)
{
    // The first byte chooses how long the undo history is, so that some inputs see the oldest
    // steps go; the rest are the events. The painter draws after every fourth repaint, which
    // keeps long inputs fast and still paints every state a few events later.
    ByteReader in(data);
    editing::RunOptions options;
    options.undoSteps = 1 + in.byte() % 128;
    options.paintEvery = 4;
    options.scratchDir = scratchDir();
    return editing::runEvents(editing::decodeEvents(in.rest()), options);
}

} // namespace linovex::fuzz
