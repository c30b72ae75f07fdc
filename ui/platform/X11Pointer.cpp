#include "ui/platform/X11Pointer.h"

#include <xcb/xfixes.h>

namespace ui::x11 {

std::atomic<int32_t> X11Pointer::outstandingHides{0};

namespace {

// XFixes 4 brought HideCursor and ShowCursor.
constexpr uint32_t kXFixesMajor = 4;
constexpr uint32_t kXFixesMinor = 0;
constexpr uint32_t kGrabEvents = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                 XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                 XCB_EVENT_MASK_LEAVE_WINDOW;

size_t ShapeIndex(CursorShape shape) {
    const auto value = static_cast<int32_t>(shape);
    return value >= 0 && value <= 13 ? static_cast<size_t>(value) : 0;
}

} // namespace

std::array<const char*, 2> CursorNamesFor(CursorShape shape) {
    switch (shape) {
    case CursorShape::TextBeam:
        return {"text", "xterm"};
    case CursorShape::Wait:
        return {"wait", "watch"};
    case CursorShape::Cross:
        return {"crosshair", "crosshair"};
    case CursorShape::UpArrow:
        return {"up-arrow", "center_ptr"};
    case CursorShape::SizeNWSE:
        return {"nwse-resize", "bottom_right_corner"};
    case CursorShape::SizeNESW:
        return {"nesw-resize", "bottom_left_corner"};
    case CursorShape::SizeWE:
        return {"ew-resize", "sb_h_double_arrow"};
    case CursorShape::SizeNS:
        return {"ns-resize", "sb_v_double_arrow"};
    case CursorShape::Move:
        return {"move", "fleur"};
    case CursorShape::Forbidden:
        return {"not-allowed", "crossed_circle"};
    case CursorShape::Hand:
        return {"pointer", "hand2"};
    case CursorShape::ArrowWait:
        return {"progress", "left_ptr_watch"};
    case CursorShape::Help:
        return {"help", "question_arrow"};
    case CursorShape::Arrow:
    default:
        return {"default", "left_ptr"};
    }
}

X11Pointer::X11Pointer(const XcbConnection& xcb, xcb_window_t target)
    : connection(xcb), window(target) {
    xcb_connection_t* c = connection.Get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (extension == nullptr || extension->present == 0)
        return;
    // The version must be announced before any other XFixes request.
    auto version = GetReply(c, xcb_xfixes_query_version(c, kXFixesMajor, kXFixesMinor),
                            xcb_xfixes_query_version_reply);
    xfixes = version && version->major_version >= kXFixesMajor;
}

X11Pointer::~X11Pointer() {
    Ungrab();
    Show();
    if (connection.IsOpen()) {
        xcb_connection_t* c = connection.Get();
        for (xcb_cursor_t cursor : cursors)
            if (cursor != XCB_NONE)
                xcb_free_cursor(c, cursor);
        if (invisible != XCB_NONE)
            xcb_free_cursor(c, invisible);
    }
    if (cursorContext != nullptr)
        xcb_cursor_context_free(cursorContext);
}

void X11Pointer::Hide() {
    if (hidden || !connection.IsOpen())
        return;
    // XFixes counts hides per client and screen; the window only names the
    // screen. The root does that too, and outlives the editor's window.
    if (xfixes)
        xcb_xfixes_hide_cursor(connection.Get(), connection.Screen()->root);
    else {
        const uint32_t cursor = InvisibleCursor();
        xcb_change_window_attributes(connection.Get(), window, XCB_CW_CURSOR, &cursor);
    }
    hidden = true;
    ++outstandingHides;
}

void X11Pointer::Show() {
    if (!hidden)
        return;
    hidden = false;
    --outstandingHides;
    // A closed connection has shown it already: the server drops a client's
    // hides with the client.
    if (!connection.IsOpen())
        return;
    if (xfixes)
        xcb_xfixes_show_cursor(connection.Get(), connection.Screen()->root);
    else {
        const uint32_t cursor = CursorFor(shape);
        xcb_change_window_attributes(connection.Get(), window, XCB_CW_CURSOR, &cursor);
    }
}

void X11Pointer::Grab() {
    if (grabbed || !connection.IsOpen())
        return;
    xcb_connection_t* c = connection.Get();
    const auto cookie = xcb_grab_pointer(c, 0, window, kGrabEvents, XCB_GRAB_MODE_ASYNC,
                                         XCB_GRAB_MODE_ASYNC, window, XCB_NONE, XCB_CURRENT_TIME);
    // The answer does not change what the editor does: a refused grab
    // only means the pointer may leave the window while dragging.
    xcb_discard_reply(c, cookie.sequence);
    grabbed = true;
}

void X11Pointer::Ungrab() {
    if (!grabbed)
        return;
    grabbed = false;
    if (connection.IsOpen())
        xcb_ungrab_pointer(connection.Get(), XCB_CURRENT_TIME);
}

uint32_t X11Pointer::Warp(int16_t x, int16_t y) {
    if (!connection.IsOpen())
        return 0;
    return xcb_warp_pointer(connection.Get(), XCB_NONE, window, 0, 0, 0, 0, x, y).sequence;
}

xcb_cursor_t X11Pointer::CursorFor(CursorShape wanted) {
    const size_t index = ShapeIndex(wanted);
    if (index == 0)
        return XCB_NONE; // the parent's cursor: the host's arrow
    if (cursors[index] != XCB_NONE)
        return cursors[index];
    if (cursorContext == nullptr && !cursorContextFailed) {
        // Reads the theme settings from the server: done once, on first use.
        cursorContextFailed =
            xcb_cursor_context_new(connection.Get(), connection.Screen(), &cursorContext) < 0;
        if (cursorContextFailed)
            cursorContext = nullptr;
    }
    if (cursorContext == nullptr)
        return XCB_NONE;
    for (const char* name : CursorNamesFor(wanted)) {
        const xcb_cursor_t cursor = xcb_cursor_load_cursor(cursorContext, name);
        if (cursor != XCB_NONE) {
            cursors[index] = cursor;
            return cursor;
        }
    }
    return XCB_NONE;
}

xcb_cursor_t X11Pointer::InvisibleCursor() {
    if (invisible != XCB_NONE)
        return invisible;
    xcb_connection_t* c = connection.Get();
    const xcb_pixmap_t pixmap = connection.NewId();
    const xcb_gcontext_t gc = connection.NewId();
    const xcb_cursor_t cursor = connection.NewId();
    if (pixmap == 0 || gc == 0 || cursor == 0)
        return XCB_NONE;
    // A 1x1 cursor whose mask, cleared to 0, shows nothing.
    xcb_create_pixmap(c, 1, pixmap, window, 1, 1);
    const uint32_t clear = 0;
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &clear);
    const xcb_rectangle_t whole{0, 0, 1, 1};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &whole);
    xcb_create_cursor(c, cursor, pixmap, pixmap, 0, 0, 0, 0, 0, 0, 0, 0);
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, pixmap);
    invisible = cursor;
    return invisible;
}

void X11Pointer::SetShape(CursorShape wanted) {
    shape = wanted;
    if (hidden && !xfixes)
        return; // shown again with this shape
    if (!connection.IsOpen())
        return;
    const uint32_t cursor = CursorFor(wanted);
    if (cursor == XCB_NONE && ShapeIndex(wanted) != 0)
        return;
    xcb_change_window_attributes(connection.Get(), window, XCB_CW_CURSOR, &cursor);
}

} // namespace ui::x11
