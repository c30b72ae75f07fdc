#include "ui/platform/X11DropTarget.h"

#include <cstring>

namespace ui::x11 {

namespace {

constexpr uint32_t kXdndVersion = 5;
constexpr uint32_t kMoreThanThreeTypes = 1;
constexpr uint32_t kAccept = 1;
constexpr uint32_t kTypeListMaxAtoms = 64;
constexpr uint32_t kUriListMaxWords = 1 << 20; // 4 MiB of paths is plenty

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-decoding; false for a broken escape or an encoded NUL.
bool PercentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

} // namespace

std::vector<std::string> ParseUriList(const std::string& list) {
    std::vector<std::string> paths;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        constexpr const char* kScheme = "file:";
        if (line.compare(0, std::strlen(kScheme), kScheme) != 0)
            continue;
        std::string rest = line.substr(std::strlen(kScheme));
        if (rest.compare(0, 2, "//") == 0) {
            const size_t slash = rest.find('/', 2);
            if (slash == std::string::npos)
                continue;
            const std::string host = rest.substr(2, slash - 2);
            if (!host.empty() && host != "localhost")
                continue; // another machine's file
            rest = rest.substr(slash);
        }
        if (rest.empty() || rest[0] != '/')
            continue;
        std::string path;
        if (PercentDecode(rest, path))
            paths.push_back(std::move(path));
    }
    return paths;
}

X11DropTarget::X11DropTarget(const XcbConnection& xcb, xcb_window_t target, DropFunction drop)
    : connection(xcb), window(target), onDrop(std::move(drop)) {
    atoms =
        connection.InternAtoms({"XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave",
                                "XdndDrop", "XdndFinished", "XdndSelection", "XdndActionCopy",
                                "XdndTypeList", "text/uri-list", "LUMARO_DROPPED_FILES"});
    if (atoms[kAware] != XCB_ATOM_NONE) {
        const uint32_t version = kXdndVersion;
        xcb_change_property(connection.Get(), XCB_PROP_MODE_REPLACE, window, atoms[kAware],
                            XCB_ATOM_ATOM, 32, 1, &version);
    }
}

bool X11DropTarget::Handle(const WindowEvent& event) {
    if (event.kind == WindowEvent::Kind::SelectionReady && fetching) {
        OnSelection(event);
        return true;
    }
    if (event.kind != WindowEvent::Kind::ClientMessage || event.atom == XCB_ATOM_NONE)
        return false;
    if (event.atom == atoms[kEnter]) {
        source = event.data[0];
        offersUriList = SourceOffersUriList(event);
        fetching = false;
        return true;
    }
    if (event.data[0] != source || source == XCB_NONE)
        return event.atom == atoms[kPosition] || event.atom == atoms[kLeave] ||
               event.atom == atoms[kDrop];
    if (event.atom == atoms[kPosition]) {
        OnPosition(event);
        return true;
    }
    if (event.atom == atoms[kLeave]) {
        source = XCB_NONE;
        offersUriList = false;
        return true;
    }
    if (event.atom == atoms[kDrop]) {
        OnDrop(event);
        return true;
    }
    return false;
}

bool X11DropTarget::SourceOffersUriList(const WindowEvent& enter) {
    const xcb_atom_t uriList = atoms[kUriList];
    if ((enter.data[1] & kMoreThanThreeTypes) == 0) {
        for (size_t i = 2; i < 5; ++i)
            if (enter.data[i] == uriList)
                return true;
        return false;
    }
    xcb_connection_t* c = connection.Get();
    auto reply = GetReply(
        c, xcb_get_property(c, 0, source, atoms[kTypeList], XCB_ATOM_ATOM, 0, kTypeListMaxAtoms),
        xcb_get_property_reply);
    if (!reply || reply->format != 32)
        return false;
    const auto* types = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    for (int i = 0; i < count; ++i)
        if (types[i] == uriList)
            return true;
    return false;
}

void X11DropTarget::SendToSource(xcb_atom_t type, const uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = source;
    message.type = type;
    std::memcpy(message.data.data32, data, sizeof(data));
    xcb_send_event(connection.Get(), 0, source, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
}

void X11DropTarget::OnPosition(const WindowEvent& event) {
    // The point comes in root coordinates.
    const auto rootX = static_cast<int16_t>(event.data[2] >> 16);
    const auto rootY = static_cast<int16_t>(event.data[2] & 0xFFFF);
    xcb_connection_t* c = connection.Get();
    auto translated =
        GetReply(c, xcb_translate_coordinates(c, connection.Screen()->root, window, rootX, rootY),
                 xcb_translate_coordinates_reply);
    if (translated) {
        dropX = translated->dst_x;
        dropY = translated->dst_y;
    }
    const uint32_t status[5] = {window, offersUriList ? kAccept : 0u, 0, 0,
                                offersUriList ? atoms[kActionCopy] : 0u};
    SendToSource(atoms[kStatus], status);
}

void X11DropTarget::OnDrop(const WindowEvent& event) {
    if (!offersUriList) {
        Finish(false);
        return;
    }
    fetching = true;
    xcb_convert_selection(connection.Get(), window, atoms[kSelection], atoms[kUriList],
                          atoms[kProperty], event.data[2]);
}

void X11DropTarget::OnSelection(const WindowEvent& event) {
    fetching = false;
    std::vector<std::string> paths;
    if (event.atom != XCB_ATOM_NONE) {
        xcb_connection_t* c = connection.Get();
        auto reply = GetReply(
            c, xcb_get_property(c, 1, window, atoms[kProperty], XCB_ATOM_ANY, 0, kUriListMaxWords),
            xcb_get_property_reply);
        if (reply && reply->format == 8) {
            const auto* bytes = static_cast<const char*>(xcb_get_property_value(reply.get()));
            paths = ParseUriList(std::string(
                bytes, static_cast<size_t>(xcb_get_property_value_length(reply.get()))));
        }
    }
    if (!paths.empty() && onDrop)
        onDrop(paths, dropX, dropY);
    Finish(!paths.empty());
}

void X11DropTarget::Finish(bool accepted) {
    if (source == XCB_NONE)
        return;
    const uint32_t finished[5] = {window, accepted ? kAccept : 0u,
                                  accepted ? atoms[kActionCopy] : 0u, 0, 0};
    SendToSource(atoms[kFinished], finished);
    source = XCB_NONE;
    offersUriList = false;
}

} // namespace ui::x11
