#pragma once

#include <cstdint>

// Qt's keyboard modifiers do not tell the left Ctrl key from the right one, but the circle
// constraint needs exactly the left one. The window feeds every key press and release of the
// drawing area's window to this tracker, which follows the left key by its X11 keysym (also
// what Qt reports on Wayland).
class LeftCtrlTracker
{
public:
    static constexpr std::uint32_t LeftCtrlKeysym = 0xFFE3;
    static constexpr std::uint32_t RightCtrlKeysym = 0xFFE4;

    void keyPressed(std::uint32_t nativeVirtualKey);
    void keyReleased(std::uint32_t nativeVirtualKey);

    // A release that happens while another window has the focus never arrives; the window
    // calls this when it loses the focus so that the key is not believed held forever.
    void reset() { m_leftDown = false; }

    // Whether the left Ctrl key is down. `anyCtrlHeld` is Qt's modifier state at the event;
    // when it says no Ctrl key is down, a missed release cannot keep the left one held.
    bool held(bool anyCtrlHeld) const { return m_leftDown && anyCtrlHeld; }

private:
    bool m_leftDown = false;
};
