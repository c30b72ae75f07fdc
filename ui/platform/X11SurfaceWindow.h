#pragma once

#include "ui/platform/CairoHandles.h"
#include "ui/platform/X11Presenter.h"
#include "ui/platform/XcbHandles.h"

#include <cstdint>
#include <memory>

namespace ui::x11 {

// A small window of the editor's connection that draws itself: the text
// field (a child of the editor), a popup menu (override-redirect, above
// everything) or a message box (a managed top-level window). It owns a
// Cairo image surface of its size; Present sends the whole surface. The
// screen's root visual, like the editor's window. [ui]
class X11SurfaceWindow {
public:
    enum class Kind { Child, Popup, TopLevel };

    // Check Exists(): the window may not have been made (no id left, a bad
    // parent). Not mapped yet.
    X11SurfaceWindow(const XcbConnection& connection, Kind kind, xcb_window_t parent, int16_t x,
                     int16_t y, uint16_t width, uint16_t height, uint32_t eventMask);
    ~X11SurfaceWindow();
    X11SurfaceWindow(const X11SurfaceWindow&) = delete;
    X11SurfaceWindow& operator=(const X11SurfaceWindow&) = delete;

    bool Exists() const noexcept { return window != XCB_NONE; }
    xcb_window_t Id() const noexcept { return window; }
    uint16_t Width() const noexcept { return width; }
    uint16_t Height() const noexcept { return height; }
    int16_t X() const noexcept { return x; }
    int16_t Y() const noexcept { return y; }

    void Map();
    void MoveTo(int16_t left, int16_t top);
    // The drawing context of the surface (null without one).
    cairo_t* Canvas() const noexcept { return canvas.get(); }
    // Sends the whole surface to the window.
    void Present();
    // Sets a cursor (from X11Pointer or xcb-cursor); XCB_NONE: the parent's.
    void SetCursor(xcb_cursor_t cursor);

private:
    const XcbConnection& connection;
    xcb_window_t window = XCB_NONE;
    int16_t x;
    int16_t y;
    uint16_t width;
    uint16_t height;
    CairoSurface surface;
    CairoContext canvas;
    std::unique_ptr<X11Presenter> presenter;
};

} // namespace ui::x11
