#include "ui/platform/X11FrameClock.h"

#include <xcb/present.h>

namespace ui::x11 {

X11FrameClock::X11FrameClock(const XcbConnection& xcb, xcb_window_t target)
    : connection(xcb), window(target) {
    xcb_connection_t* c = connection.Get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_present_id);
    if (extension == nullptr || extension->present == 0)
        return;
    auto version = GetReply(
        c, xcb_present_query_version(c, XCB_PRESENT_MAJOR_VERSION, XCB_PRESENT_MINOR_VERSION),
        xcb_present_query_version_reply);
    if (!version)
        return;
    const uint32_t id = connection.NewId();
    if (id == 0)
        return;
    if (!CheckRequest(c, xcb_present_select_input_checked(c, id, window,
                                                          XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY)))
        return;
    opcode = extension->major_opcode;
    eventId = id;
}

X11FrameClock::~X11FrameClock() {
    if (eventId != 0 && connection.IsOpen())
        xcb_present_select_input(connection.Get(), eventId, window, 0);
}

void X11FrameClock::RequestNextFrame(uint32_t serial) {
    if (eventId == 0 || !connection.IsOpen())
        return;
    // Target 0 with divisor 1: the first frame after the current one.
    xcb_present_notify_msc(connection.Get(), window, serial, 0, 1, 0);
}

} // namespace ui::x11
