#include "EditingDriver.h"

#include "EditingSession.h"

#include <random>

namespace linovex::editing {

namespace {

constexpr const char *OpNames[] = { "tool", "ctrl-down", "ctrl-up", "deactivate", "press",
    "release", "move", "close", "break", "new-lines", "zoom", "scroll", "wheel", "undo", "redo",
    "width", "colour", "recovery", "picture" };
static_assert(std::size(OpNames) == static_cast<std::size_t>(Op::Count));

// How often each operation comes up in a seeded run, out of the sum of all weights. Moves,
// presses and releases dominate, as they do in use; a press is soon followed by a release.
struct Weight
{
    Op op;
    int weight;
};
constexpr Weight Weights[] = {
    { Op::Tool, 50 },
    { Op::CtrlDown, 25 },
    { Op::CtrlUp, 25 },
    { Op::Deactivate, 5 },
    { Op::Press, 200 },
    { Op::Release, 150 },
    { Op::Move, 404 },
    { Op::Close, 15 },
    { Op::Break, 15 },
    { Op::NewLines, 1 },
    { Op::Zoom, 30 },
    { Op::Scroll, 20 },
    { Op::Wheel, 20 },
    { Op::Undo, 8 },
    { Op::Redo, 8 },
    { Op::Width, 8 },
    { Op::Colour, 8 },
    { Op::Recovery, 8 },
    { Op::Picture, 4 },
};

} // namespace

std::vector<Event> decodeEvents(std::span<const std::uint8_t> bytes)
{
    std::vector<Event> events;
    events.reserve(bytes.size() / EventBytes);
    for (std::size_t i = 0; i + EventBytes <= bytes.size(); i += EventBytes) {
        events.push_back({ static_cast<std::uint8_t>(bytes[i] % static_cast<int>(Op::Count)),
            bytes[i + 1], bytes[i + 2], bytes[i + 3] });
    }
    return events;
}

std::vector<std::uint8_t> encodeEvents(const std::vector<Event> &events)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(events.size() * EventBytes);
    for (const Event &e : events)
        bytes.insert(bytes.end(), { e.op, e.arg, e.x, e.y });
    return bytes;
}

std::string describe(const std::vector<Event> &events)
{
    std::string text;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event &e = events[i];
        text += std::to_string(i) + ": " + OpNames[e.op % static_cast<int>(Op::Count)] + " "
            + std::to_string(e.arg) + " " + std::to_string(e.x) + " " + std::to_string(e.y) + "\n";
    }
    return text;
}

std::vector<Event> randomEvents(std::uint32_t seed, int count)
{
    // The engine's raw numbers are the same everywhere; the standard distributions are not.
    std::mt19937 engine(seed);
    int total = 0;
    for (const Weight &w : Weights)
        total += w.weight;
    // One run in eight never undoes, clears or deletes by area, so that its drawing grows past
    // the first blocks of the element store while the other events go on.
    const bool growing = seed % 8 == 0;
    std::vector<Event> events;
    events.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        int pick = static_cast<int>(engine() % static_cast<std::uint32_t>(total));
        Op op = Op::Move;
        for (const Weight &w : Weights) {
            if (pick < w.weight) {
                op = w.op;
                break;
            }
            pick -= w.weight;
        }
        const std::uint32_t bits = engine();
        if (growing && (op == Op::Undo || op == Op::NewLines))
            op = Op::Press;
        if (growing && op == Op::Move && (bits >> 24) % 2 == 0)
            op = i % 2 == 0 ? Op::Press : Op::Release;
        Event e { static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(bits),
            static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16) };
        // The drawing tools more often than the others, so that the drawing grows.
        // Clearing the drawing comes only about once in four runs, or few drawings would grow
        // past the first block of the element store.
        if (op == Op::NewLines && (bits >> 24) % 4 != 0)
            e.op = static_cast<std::uint8_t>(Op::Move);
        // The area delete takes much at once, so it comes up less.
        if (op == Op::Tool
            && ((bits >> 24) % 2 == 0 || (e.arg % 10 == 8 && (growing || (bits >> 28) % 4 != 0))))
            e.arg = static_cast<std::uint8_t>(2 + (bits >> 25) % 4);
        // Mostly the left button, and for moves and releases mostly small steps, so that drags
        // stay near the points they picked up; the rest of the time any button and position.
        if (op == Op::Press || op == Op::Release || op == Op::Move) {
            const std::uint32_t shape = bits >> 24;
            if (shape % 4 != 0)
                e.arg &= 0xF0;
            if (op != Op::Press && shape % 3 != 0)
                e.arg = static_cast<std::uint8_t>((e.arg & 0xCF) | 0x20);
        }
        events.push_back(e);
    }
    return events;
}

std::string runEvents(const std::vector<Event> &events, const RunOptions &options)
{
    Session session(options);
    for (std::size_t i = 0; i < events.size(); ++i) {
        session.play(events[i]);
        std::string problem = session.checkDocument();
        if (problem.empty())
            problem = session.paintIfDue(false);
        if (!problem.empty())
            return "after event " + std::to_string(i) + ": " + problem;
    }
    const std::string problem = session.checkEnd();
    return problem.empty() ? problem : "at the end: " + problem;
}

std::vector<Event> shrinkEvents(
    std::vector<Event> events, const std::function<bool(const std::vector<Event> &)> &fails)
{
    for (std::size_t chunk = std::max<std::size_t>(events.size() / 2, 1);; chunk /= 2) {
        bool dropped = true;
        while (dropped) {
            dropped = false;
            for (std::size_t at = 0; at < events.size();) {
                std::vector<Event> candidate = events;
                const std::size_t end = std::min(at + chunk, candidate.size());
                candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(at),
                    candidate.begin() + static_cast<std::ptrdiff_t>(end));
                if (fails(candidate)) {
                    events = std::move(candidate);
                    dropped = true;
                } else {
                    at += chunk;
                }
            }
        }
        if (chunk == 1)
            break;
    }
    return events;
}

} // namespace linovex::editing
