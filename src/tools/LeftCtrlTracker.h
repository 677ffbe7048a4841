#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// Qt's keyboard modifiers do not tell the left Ctrl key from the right one, but the circle
// constraint needs exactly the left one. The window feeds every key press and release of the
// drawing area's window to this tracker, which follows the left key by its X11 keysym (also
// what Qt reports on Wayland).
//
// Key events alone miss a key that went down while another window was active: its press went
// there, so the circle could not be drawn until the key was pressed again. Where the window
// system can say which keys are down, the window hands the tracker a query that is asked when
// a mouse button goes down, and the answer replaces what the key events said.
class LeftCtrlTracker
{
public:
    static constexpr std::uint32_t LeftCtrlKeysym = 0xFFE3;
    static constexpr std::uint32_t RightCtrlKeysym = 0xFFE4;

    // Whether the left Ctrl key is down now, or no value where the window system cannot tell
    // (no X server, for instance); then the key events decide alone.
    using KeyboardQuery = std::function<std::optional<bool>()>;

    void setKeyboardQuery(KeyboardQuery query) { m_query = std::move(query); }

    void keyPressed(std::uint32_t nativeVirtualKey);
    void keyReleased(std::uint32_t nativeVirtualKey);

    // A mouse button went down: the keyboard's own state, where it can be asked, is the truth.
    void pointerPressed();

    // A release that happens while another window has the focus never arrives; the window
    // calls this when it loses the focus so that the key is not believed held forever.
    void reset() { m_leftDown = false; }

    // Whether the left Ctrl key is down. `anyCtrlHeld` is Qt's modifier state at the event;
    // when it says no Ctrl key is down, a missed release cannot keep the left one held.
    bool held(bool anyCtrlHeld) const { return m_leftDown && anyCtrlHeld; }

private:
    KeyboardQuery m_query;
    bool m_leftDown = false;
};
