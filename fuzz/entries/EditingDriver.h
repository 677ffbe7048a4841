#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace linovex::editing {

// What the user can do to the drawing area and the controls around it, as the main window
// receives it. Each event is four bytes (operation, argument, two values), so an event list is
// a byte string that a seed, a fuzzer or a file can supply and that replays exactly.
enum class Op : std::uint8_t {
    Tool, // a tool button: argument modulo 10, 0 = none down
    CtrlDown, // argument bit 0: 0 left, 1 right Ctrl key
    CtrlUp,
    Deactivate, // another window takes the focus
    Press, // argument bits 0-1: button (left, middle, right, other); bits 4-5: position kind
    Release,
    Move,
    Close, // CloseBtn
    Break, // BreakBtn
    NewLines, // "Linien Neu", answered yes
    Zoom, // argument bits 0-1: step in, step out, a value from a list, any value
    Scroll, // argument bit 0: horizontal or vertical bar; bits 1-2: set, small or large step
    Wheel, // argument bit 0: up or down
    Undo,
    Redo,
    Width, // the width field: 0.10 ... 10.00
    Colour, // the colour dialog: argument, x and y are red, green and blue
    Recovery, // the recovery timer fires
    Picture, // a command of the "Bild" menu: argument modulo 7 chooses it, x and y its points
    Count,
};

struct Event
{
    std::uint8_t op = 0;
    std::uint8_t arg = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
};

constexpr std::size_t EventBytes = 4;

// Every whole group of four bytes is an event; the operation byte is taken modulo Op::Count.
std::vector<Event> decodeEvents(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encodeEvents(const std::vector<Event> &events);

// One line per event, for failure reports.
std::string describe(const std::vector<Event> &events);

// `count` events drawn from `seed` with weights that resemble use: mostly moves, presses and
// releases, now and then a tool, a key, a button, the view, undo or a setting. The same seed
// gives the same events on every platform.
std::vector<Event> randomEvents(std::uint32_t seed, int count);

struct RunOptions
{
    // The painter draws the document after every paintEvery-th event that asked for a
    // repaint, and always at the end.
    int paintEvery = 1;
    // Steps the undo history keeps; a small number makes the oldest steps go during a run.
    int undoSteps = 100;
    // Folder for the recovery file; empty: no recovery writes.
    QString scratchDir;
};

// Plays the events on a fresh editor (an empty drawing, a small white picture) and checks the
// invariants after every event and at the end. Returns what was wrong, with the number of the
// event after which it was seen, or an empty string.
std::string runEvents(const std::vector<Event> &events, const RunOptions &options);

// Delta debugging: drops chunks of events, halving their size down to single events, as long
// as `fails` still holds for what is left. Returns the shortest list it found.
std::vector<Event> shrinkEvents(
    std::vector<Event> events, const std::function<bool(const std::vector<Event> &)> &fails);

} // namespace linovex::editing
