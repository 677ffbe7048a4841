#pragma once

#include "tools/LeftCtrlTracker.h"

// Asks the X server whether the left Ctrl key is down, from its key map and the key codes
// that the current keyboard mapping gives the left Ctrl keysym. Without an X connection (on
// Wayland, or the offscreen platform of the tests) the query is empty, and the left Ctrl
// tracker follows the key events alone.
LeftCtrlTracker::KeyboardQuery x11LeftCtrlQuery();
