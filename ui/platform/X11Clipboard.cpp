#include "ui/platform/X11Clipboard.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace ui::x11 {

namespace {

constexpr uint8_t kResponseTypeMask = 0x7F;

// The clipboards of this process's editors, for reading one another.
struct Registry {
    std::mutex mutex;
    std::vector<const X11Clipboard*> clipboards;
    std::vector<const X11Selection*> selections;
};

Registry& Clipboards() {
    static Registry registry;
    return registry;
}

} // namespace

X11Clipboard::X11Clipboard(const XcbConnection& xcb, xcb_window_t owner)
    : connection(xcb), window(owner), selection(xcb, owner, "CLIPBOARD") {
    const auto atoms = connection.InternAtoms({"UTF8_STRING", "LUMARO_CLIPBOARD", "INCR"});
    utf8Atom = atoms[0];
    propertyAtom = atoms[1];
    incrAtom = atoms[2];
    Registry& registry = Clipboards();
    std::lock_guard lock(registry.mutex);
    registry.clipboards.push_back(this);
    registry.selections.push_back(&selection);
}

X11Clipboard::~X11Clipboard() {
    Registry& registry = Clipboards();
    std::lock_guard lock(registry.mutex);
    const auto at = std::find(registry.clipboards.begin(), registry.clipboards.end(), this);
    if (at != registry.clipboards.end()) {
        registry.selections.erase(registry.selections.begin() + (at - registry.clipboards.begin()));
        registry.clipboards.erase(at);
    }
    // The window goes with the connection right after: the server drops
    // the ownership then.
}

bool X11Clipboard::WriteText(const std::string& utf8, xcb_timestamp_t time) {
    return selection.Own(utf8.empty() ? std::vector<SelectionOffer>{} : TextOffers(utf8), time);
}

bool X11Clipboard::WriteFile(const std::string& path, xcb_timestamp_t time) {
    return !path.empty() && selection.Own(FileOffers(path), time);
}

bool X11Clipboard::Handle(const WindowEvent& event) {
    return selection.Handle(event);
}

bool X11Clipboard::ReadText(std::string& text, xcb_timestamp_t time, const EventWait& wait) {
    text.clear();
    if (!connection.IsOpen() || selection.Atom() == XCB_ATOM_NONE)
        return false;
    xcb_connection_t* c = connection.Get();
    auto owner =
        GetReply(c, xcb_get_selection_owner(c, selection.Atom()), xcb_get_selection_owner_reply);
    if (!owner || owner->owner == XCB_NONE)
        return false;
    {
        // This process's own editors answer directly.
        Registry& registry = Clipboards();
        std::lock_guard lock(registry.mutex);
        for (const X11Selection* local : registry.selections) {
            if (local->Window() != owner->owner || !local->Owns())
                continue;
            const SelectionOffer* offer = local->Find("UTF8_STRING");
            if (offer == nullptr)
                return false;
            text = offer->bytes;
            return true;
        }
    }
    std::string bytes;
    if (Fetch(utf8Atom, bytes, time, wait)) {
        text = std::move(bytes);
        return true;
    }
    if (Fetch(XCB_ATOM_STRING, bytes, time, wait)) {
        text = Latin1ToUtf8(bytes);
        return true;
    }
    return false;
}

bool X11Clipboard::Fetch(xcb_atom_t target, std::string& bytes, xcb_timestamp_t time,
                         const EventWait& wait) {
    xcb_connection_t* c = connection.Get();
    xcb_delete_property(c, window, propertyAtom);
    xcb_convert_selection(c, window, selection.Atom(), target, propertyAtom, time);
    xcb_flush(c);
    const xcb_atom_t clipboard = selection.Atom();
    auto notify = wait(
        [&](const xcb_generic_event_t& event) {
            if ((event.response_type & kResponseTypeMask) != XCB_SELECTION_NOTIFY)
                return false;
            const auto& e = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
            // The time tells this answer from a late one to an earlier read.
            return e.requestor == window && e.selection == clipboard && e.target == target &&
                   e.time == time;
        },
        kReadTimeoutMs);
    if (!notify)
        return false;
    const auto& e = reinterpret_cast<const xcb_selection_notify_event_t&>(*notify);
    if (e.property == XCB_ATOM_NONE)
        return false; // the owner cannot give this target
    xcb_atom_t type = XCB_ATOM_NONE;
    if (!ReadProperty(bytes, type) || type == XCB_ATOM_NONE)
        return false;
    if (type == incrAtom)
        return FetchIncrementally(bytes, wait);
    return true;
}

bool X11Clipboard::ReadProperty(std::string& bytes, xcb_atom_t& type) {
    xcb_connection_t* c = connection.Get();
    auto reply = GetReply(c,
                          xcb_get_property(c, 1, window, propertyAtom, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                           static_cast<uint32_t>(kMaxReadBytes / 4)),
                          xcb_get_property_reply);
    if (!reply || reply->bytes_after > 0)
        return false; // none, or more than we take
    type = reply->type;
    bytes.clear();
    if (type == XCB_ATOM_NONE || type == incrAtom)
        return true; // not there (yet), or the data follows in pieces
    if (reply->format != 8)
        return false;
    bytes.assign(static_cast<const char*>(xcb_get_property_value(reply.get())),
                 static_cast<size_t>(xcb_get_property_value_length(reply.get())));
    return true;
}

bool X11Clipboard::FetchIncrementally(std::string& bytes, const EventWait& wait) {
    // The owner sends piece after piece, each after we deleted the last
    // (ReadProperty deletes); an empty piece ends it.
    bytes.clear();
    const xcb_atom_t property = propertyAtom;
    const xcb_window_t requestor = window;
    while (true) {
        auto event = wait(
            [&](const xcb_generic_event_t& any) {
                if ((any.response_type & kResponseTypeMask) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto& e = reinterpret_cast<const xcb_property_notify_event_t&>(any);
                return e.window == requestor && e.atom == property &&
                       e.state == XCB_PROPERTY_NEW_VALUE;
            },
            kReadTimeoutMs);
        if (!event)
            return false;
        std::string piece;
        xcb_atom_t type = XCB_ATOM_NONE;
        if (!ReadProperty(piece, type))
            return false;
        if (type == XCB_ATOM_NONE)
            continue; // an older notification: the piece is still to come
        if (piece.empty())
            return true;
        if (bytes.size() + piece.size() > kMaxReadBytes)
            return false;
        bytes += piece;
    }
}

} // namespace ui::x11
