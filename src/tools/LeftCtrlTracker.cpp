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

void LeftCtrlTracker::pointerPressed()
{
    if (!m_query)
        return;
    if (const std::optional<bool> down = m_query())
        m_leftDown = *down;
}
