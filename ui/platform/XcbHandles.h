#pragma once

// Ownership of the things XCB hands out: replies, events and errors are
// malloc'ed and must be freed; a connection must be disconnected. Nothing
// here talks to the server by itself.

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace ui::x11 {

struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};

// A reply, event or error from XCB.
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// [ui] The reply of a request, or null with *error (when given) holding the
// server's error. Wraps the xcb_*_reply functions, which all share this shape.
template <typename Reply, typename Cookie>
XcbPtr<Reply> GetReply(xcb_connection_t* connection, Cookie cookie,
                       Reply* (*replyFunction)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                       XcbPtr<xcb_generic_error_t>* error = nullptr) {
    xcb_generic_error_t* raw = nullptr;
    XcbPtr<Reply> reply(replyFunction(connection, cookie, &raw));
    XcbPtr<xcb_generic_error_t> owned(raw);
    if (error != nullptr)
        *error = std::move(owned);
    return reply;
}

// [ui] True when a checked request succeeded.
inline bool CheckRequest(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    XcbPtr<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    return error == nullptr;
}

// One client connection to an X server, opened for one editor.
class XcbConnection {
public:
    // [ui] Connects to displayName, or to $DISPLAY when empty. Check
    // IsOpen(): XCB always returns an object, even when it failed.
    explicit XcbConnection(const std::string& displayName = "");
    // [ui] Disconnects, which closes the descriptor and lets the server
    // release everything this client still held (grabs, hidden cursors).
    ~XcbConnection();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    // [ui]
    bool IsOpen() const noexcept;
    xcb_connection_t* Get() const noexcept { return connection; }
    xcb_screen_t* Screen() const noexcept { return screen; }
    int ScreenNumber() const noexcept { return screenNumber; }
    // [ui] The descriptor the run loop watches; -1 when not open.
    int Fd() const noexcept;
    // [ui] Largest request in bytes (big requests when the server has them).
    size_t MaximumRequestBytes() const noexcept;

    // [ui] Interns all names with one round trip; XCB_ATOM_NONE for names
    // that failed.
    std::vector<xcb_atom_t> InternAtoms(const std::vector<const char*>& names) const;
    // [ui] A fresh resource id, or 0 when the client ran out.
    uint32_t NewId() const;

private:
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
    int screenNumber = 0;
};

} // namespace ui::x11
