#pragma once

#include "ui/platform/XcbHandles.h"

#include <cstdint>

namespace ui::x11 {

// The editor's own window: a child of the window the host hands over,
// carrying _XEMBED_INFO (version 0, flags 0) and mapped by itself. It has
// the screen's default visual, so that the drawing backend's pixels can be
// sent as they are, and no background, so that the server never clears
// what the editor drew. [ui]
class X11EmbedWindow {
public:
    // Events the window always listens to; key events are added only while
    // the editor wants the keyboard (so that a host's shortcuts keep working
    // while the pointer is over the editor).
    static constexpr uint32_t kEventMask =
        XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_BUTTON_PRESS |
        XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
        XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_FOCUS_CHANGE |
        XCB_EVENT_MASK_PROPERTY_CHANGE;
    static constexpr uint32_t kKeyEventMask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE;

    explicit X11EmbedWindow(const XcbConnection& connection) : connection(connection) {}
    // Destroys the window unless the server already did.
    ~X11EmbedWindow();
    X11EmbedWindow(const X11EmbedWindow&) = delete;
    X11EmbedWindow& operator=(const X11EmbedWindow&) = delete;

    // [ui] False when parent does not exist or the screen's pixels are not
    // the backend's (see IsNativePixelFormat); nothing is left behind then.
    bool Create(xcb_window_t parent, int16_t x, int16_t y, uint16_t width, uint16_t height);
    // [ui]
    void Destroy();
    // [ui] The server destroyed the window (with its parent).
    void MarkDestroyed() noexcept;

    // [ui]
    void Resize(uint16_t width, uint16_t height);
    // [ui] Key events on or off.
    void ListenToKeys(bool listen);
    // [ui] Asks the server for the keyboard focus (while a value is typed).
    void TakeFocus();

    xcb_window_t Id() const noexcept { return window; }
    xcb_window_t Parent() const noexcept { return parent; }
    bool Exists() const noexcept { return window != XCB_NONE && alive; }
    uint8_t Depth() const noexcept { return depth; }
    int16_t X() const noexcept { return x; }
    int16_t Y() const noexcept { return y; }
    uint16_t Width() const noexcept { return width; }
    uint16_t Height() const noexcept { return height; }
    // [ui] Keeps the size the server reported (a host resized the window).
    void SizeChanged(uint16_t w, uint16_t h) noexcept;

private:
    const XcbConnection& connection;
    xcb_window_t window = XCB_NONE;
    xcb_window_t parent = XCB_NONE;
    bool alive = false;
    uint8_t depth = 0;
    int16_t x = 0;
    int16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    bool listeningToKeys = false;
};

// [ui] The parent of window and its size, or false (for the root, or a
// window that is gone).
struct WindowGeometry {
    xcb_window_t window = XCB_NONE;
    xcb_window_t parent = XCB_NONE;
    xcb_window_t root = XCB_NONE;
    uint16_t width = 0;
    uint16_t height = 0;
};
bool QueryWindowGeometry(const XcbConnection& connection, xcb_window_t window,
                         WindowGeometry& geometry);

} // namespace ui::x11
