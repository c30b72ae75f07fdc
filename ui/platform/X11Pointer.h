#pragma once

#include "ui/EditorTypes.h"
#include "ui/platform/XcbHandles.h"

#include <xcb/xcb_cursor.h>

#include <array>
#include <atomic>
#include <cstdint>

namespace ui::x11 {

// [any] The cursor theme names tried for a shape, the freedesktop name
// first, then the X cursor-font name; unknown shapes are the arrow's.
std::array<const char*, 2> CursorNamesFor(CursorShape shape);

// The pointer of one editor window: hiding (XFixes, counted by the server
// per client, so every hide here is matched by a show before the window
// goes), a grab that keeps it inside the window during a locked drag,
// warping, and cursor shapes from the user's cursor theme. [ui]
class X11Pointer {
public:
    X11Pointer(const XcbConnection& connection, xcb_window_t window);
    // Shows a hidden pointer, ends a grab and frees the cursors.
    ~X11Pointer();
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    // [ui] Idempotent each.
    void Hide();
    void Show();
    bool IsHidden() const noexcept { return hidden; }

    // [ui] Confines the pointer to the window until Ungrab (or the window
    // is unmapped). Does not wait for the server's answer.
    void Grab();
    void Ungrab();
    bool IsGrabbed() const noexcept { return grabbed; }
    // [ui] The grab ended on the server's side (an unmap, for instance).
    void GrabLost() noexcept { grabbed = false; }

    // [ui] Moves the pointer to window pixel (x, y); returns the request's
    // sequence number, after which motion is measured from there.
    uint32_t Warp(int16_t x, int16_t y);

    // [ui] Makes the shape the window's cursor; the arrow is the host's
    // own cursor. Shapes the theme lacks leave the cursor as it was.
    void SetShape(CursorShape shape);

    // [ui] The theme's cursor for a shape (for the window's own small
    // windows: the text field's I-beam, a drag); XCB_NONE when it has none.
    // Owned here, freed with the pointer.
    xcb_cursor_t ThemeCursor(CursorShape shape) { return CursorFor(shape); }

    // [any] Hides issued and not yet shown again, over every pointer of the
    // process (for leak checks).
    static int32_t OutstandingHides() noexcept { return outstandingHides.load(); }

private:
    xcb_cursor_t CursorFor(CursorShape shape);
    xcb_cursor_t InvisibleCursor();

    const XcbConnection& connection;
    xcb_window_t window;
    bool xfixes = false;
    bool hidden = false;
    bool grabbed = false;
    xcb_cursor_context_t* cursorContext = nullptr;
    bool cursorContextFailed = false;
    std::array<xcb_cursor_t, 14> cursors{}; // by shape; 0 = not loaded
    xcb_cursor_t invisible = XCB_NONE;      // without XFixes
    CursorShape shape = CursorShape::Arrow;

    static std::atomic<int32_t> outstandingHides;
};

} // namespace ui::x11
