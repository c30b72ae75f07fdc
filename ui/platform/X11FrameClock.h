#pragma once

#include "ui/platform/XcbHandles.h"

#include <cstdint>

namespace ui::x11 {

// Frame notifications from the X Present extension: a request for the next
// frame of a window's display is answered by a completion event when that
// frame starts. Repaints wait for it, so that they follow the display. [ui]
class X11FrameClock {
public:
    X11FrameClock(const XcbConnection& connection, xcb_window_t window);
    // Stops the window's frame events.
    ~X11FrameClock();
    X11FrameClock(const X11FrameClock&) = delete;
    X11FrameClock& operator=(const X11FrameClock&) = delete;

    // False when the server has no Present extension.
    bool IsAvailable() const noexcept { return eventId != 0; }
    uint8_t MajorOpcode() const noexcept { return opcode; }
    uint32_t EventId() const noexcept { return eventId; }

    // [ui] Asks for a completion with this serial at the next frame.
    void RequestNextFrame(uint32_t serial);

private:
    const XcbConnection& connection;
    xcb_window_t window;
    uint8_t opcode = 0;
    uint32_t eventId = 0;
};

} // namespace ui::x11
