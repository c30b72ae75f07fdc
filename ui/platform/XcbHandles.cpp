#include "ui/platform/XcbHandles.h"

#include <cstring>

namespace ui::x11 {

XcbConnection::XcbConnection(const std::string& displayName) {
    connection = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection) != 0)
        return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it)) {
        if (i == screenNumber) {
            screen = it.data;
            break;
        }
    }
}

XcbConnection::~XcbConnection() {
    // Also for a failed connection: XCB allocated an error object for it.
    if (connection != nullptr)
        xcb_disconnect(connection);
}

bool XcbConnection::IsOpen() const noexcept {
    return connection != nullptr && xcb_connection_has_error(connection) == 0 && screen != nullptr;
}

int XcbConnection::Fd() const noexcept {
    return IsOpen() ? xcb_get_file_descriptor(connection) : -1;
}

size_t XcbConnection::MaximumRequestBytes() const noexcept {
    if (!IsOpen())
        return 0;
    // In units of four bytes; covers big requests when the server has them.
    return static_cast<size_t>(xcb_get_maximum_request_length(connection)) * 4u;
}

std::vector<xcb_atom_t> XcbConnection::InternAtoms(const std::vector<const char*>& names) const {
    std::vector<xcb_atom_t> atoms(names.size(), XCB_ATOM_NONE);
    if (!IsOpen())
        return atoms;
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(names.size());
    for (const char* name : names)
        cookies.push_back(
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name));
    for (size_t i = 0; i < cookies.size(); ++i) {
        auto reply = GetReply(connection, cookies[i], xcb_intern_atom_reply);
        if (reply)
            atoms[i] = reply->atom;
    }
    return atoms;
}

uint32_t XcbConnection::NewId() const {
    if (!IsOpen())
        return 0;
    const uint32_t id = xcb_generate_id(connection);
    return id == static_cast<uint32_t>(-1) ? 0 : id;
}

} // namespace ui::x11
