#include "tools/LeftCtrlTracker.h"

void LeftCtrlTracker::keyPressed(std::uint32_t nativeVirtualKey)
{
    if (nativeVirtualKey == LeftCtrlKeysym)
        m_leftDown = true;
}

void LeftCtrlTracker::keyReleased(std::uint32_t nativeVirtualKey)
{
    if (nativeVirtualKey == LeftCtrlKeysym)
        m_leftDown = false;
}
