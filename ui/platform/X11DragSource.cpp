#include "ui/platform/X11DragSource.h"

#include "ui/platform/X11EventTranslation.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace ui::x11 {

namespace {

using Kind = WindowEvent::Kind;

constexpr uint32_t kOurVersion = 5;
constexpr uint32_t kOldestVersion = 3;
constexpr uint32_t kGrabEvents =
    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
constexpr int kGrabAttempts = 20;
constexpr auto kGrabRetryDelay = std::chrono::milliseconds(5);
// Deeper window trees than this are not searched for a target.
constexpr int kMaxTreeDepth = 32;
// The Escape key's X symbol.
constexpr xcb_keysym_t kEscapeKeysym = 0xFF1B;

} // namespace

X11DragSource::X11DragSource(const XcbConnection& xcb, xcb_window_t source, xcb_cursor_t dragCursor)
    : connection(xcb), window(source), cursor(dragCursor), selection(xcb, source, "XdndSelection") {
    atoms =
        connection.InternAtoms({"XdndAware", "XdndProxy", "XdndEnter", "XdndPosition", "XdndStatus",
                                "XdndLeave", "XdndDrop", "XdndFinished", "XdndActionCopy",
                                "text/uri-list", "text/plain;charset=utf-8", "UTF8_STRING"});
}

bool X11DragSource::Run(const std::string& path, xcb_timestamp_t time, ModalLoop& loop) {
    current = {};
    statusPending = positionQueued = accepted = released = awaitingFinish = ended = dropped = false;
    lastTime = time;
    if (path.empty() || !connection.IsOpen() || !selection.Own(FileOffers(path), time))
        return false;
    xcb_connection_t* c = connection.Get();
    bool grabbed = false;
    for (int attempt = 0; attempt < kGrabAttempts && !grabbed; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(kGrabRetryDelay);
        auto reply =
            GetReply(c,
                     xcb_grab_pointer(c, 0, window, kGrabEvents, XCB_GRAB_MODE_ASYNC,
                                      XCB_GRAB_MODE_ASYNC, XCB_NONE, cursor, XCB_CURRENT_TIME),
                     xcb_grab_pointer_reply);
        grabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    }
    if (!grabbed) {
        selection.Release();
        return false;
    }
    auto keyboard = GetReply(
        c,
        xcb_grab_keyboard(c, 0, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        xcb_grab_keyboard_reply);
    const bool keyboardGrabbed = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS;

    // The drag starts where the pointer is.
    if (auto pointer = GetReply(c, xcb_query_pointer(c, window), xcb_query_pointer_reply)) {
        rootX = pointer->root_x;
        rootY = pointer->root_y;
        current = FindTarget(rootX, rootY);
        if (current.window != XCB_NONE) {
            Enter(current);
            SendPosition();
        }
    }
    xcb_flush(c);
    const auto handler = [this](const xcb_generic_event_t& event) { return Handle(event); };
    loop.Run(
        handler, [this] { return ended || awaitingFinish; }, -1);
    if (awaitingFinish && !ended)
        loop.Run(
            handler, [this] { return ended; }, kFinishTimeoutMs);

    xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    if (keyboardGrabbed)
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    selection.Release();
    xcb_flush(c);
    return true;
}

bool X11DragSource::AwareVersion(xcb_window_t candidate, uint32_t& version) const {
    xcb_connection_t* c = connection.Get();
    auto reply = GetReply(c, xcb_get_property(c, 0, candidate, atoms[kAware], XCB_ATOM_ATOM, 0, 1),
                          xcb_get_property_reply);
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
        return false;
    version = *static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return version >= kOldestVersion;
}

X11DragSource::Target X11DragSource::FindTarget(int16_t x, int16_t y) const {
    xcb_connection_t* c = connection.Get();
    const xcb_window_t root = connection.Screen()->root;
    xcb_window_t parent = root;
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        auto child = GetReply(c, xcb_translate_coordinates(c, root, parent, x, y),
                              xcb_translate_coordinates_reply);
        if (!child || child->child == XCB_NONE)
            break;
        const xcb_window_t candidate = child->child;
        // A proxy takes the messages when it names itself as a proxy too.
        xcb_window_t messages = candidate;
        auto proxy =
            GetReply(c, xcb_get_property(c, 0, candidate, atoms[kProxy], XCB_ATOM_WINDOW, 0, 1),
                     xcb_get_property_reply);
        if (proxy && proxy->format == 32 && xcb_get_property_value_length(proxy.get()) >= 4) {
            const xcb_window_t named =
                *static_cast<const xcb_window_t*>(xcb_get_property_value(proxy.get()));
            auto self =
                GetReply(c, xcb_get_property(c, 0, named, atoms[kProxy], XCB_ATOM_WINDOW, 0, 1),
                         xcb_get_property_reply);
            if (self && self->format == 32 && xcb_get_property_value_length(self.get()) >= 4 &&
                *static_cast<const xcb_window_t*>(xcb_get_property_value(self.get())) == named)
                messages = named;
        }
        uint32_t version = 0;
        if (AwareVersion(messages, version))
            return Target{candidate, messages, std::min(version, kOurVersion)};
        parent = candidate;
    }
    return {};
}

void X11DragSource::Send(const Target& to, AtomIndex type, const uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = to.window;
    message.type = atoms[type];
    std::memcpy(message.data.data32, data, sizeof(data));
    xcb_send_event(connection.Get(), 0, to.messages, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
}

void X11DragSource::Enter(const Target& target) {
    // Three types fit into the message itself.
    const uint32_t data[5] = {window, target.version << 24, atoms[kUriList], atoms[kPlainText],
                              atoms[kUtf8]};
    Send(target, kEnter, data);
    accepted = false;
    statusPending = false;
}

void X11DragSource::SendPosition() {
    const uint32_t point =
        (static_cast<uint32_t>(static_cast<uint16_t>(rootX)) << 16) | static_cast<uint16_t>(rootY);
    const uint32_t data[5] = {window, 0, point, lastTime, atoms[kActionCopy]};
    Send(current, kPosition, data);
    statusPending = true;
    positionQueued = false;
}

void X11DragSource::Leave() {
    if (current.window == XCB_NONE)
        return;
    const uint32_t data[5] = {window, 0, 0, 0, 0};
    Send(current, kLeave, data);
    current = {};
    accepted = statusPending = positionQueued = false;
}

bool X11DragSource::Handle(const xcb_generic_event_t& event) {
    TranslationContext context;
    context.window = window;
    context.root = connection.Screen()->root;
    const WindowEvent e = TranslateEvent(event, context);
    switch (e.kind) {
    case Kind::PointerMove: {
        if (released)
            return true;
        rootX = e.rootX;
        rootY = e.rootY;
        lastTime = e.time;
        const Target target = FindTarget(rootX, rootY);
        if (target.window != current.window) {
            Leave();
            current = target;
            if (current.window != XCB_NONE)
                Enter(current);
        }
        if (current.window != XCB_NONE) {
            if (statusPending)
                positionQueued = true;
            else
                SendPosition();
        }
        xcb_flush(connection.Get());
        return true;
    }
    case Kind::ButtonRelease:
        if (released)
            return true;
        released = true;
        if (current.window != XCB_NONE && accepted) {
            const uint32_t data[5] = {window, 0, e.time, 0, 0};
            Send(current, kDrop, data);
            awaitingFinish = true;
        } else {
            Leave();
            ended = true;
        }
        xcb_flush(connection.Get());
        return true;
    case Kind::KeyPress: {
        // Escape is asked of the server's key mapping (the first symbol of
        // the key), which needs no keyboard layout of our own.
        xcb_connection_t* c = connection.Get();
        auto mapping =
            GetReply(c, xcb_get_keyboard_mapping(c, e.keycode, 1), xcb_get_keyboard_mapping_reply);
        const bool escape = mapping && mapping->keysyms_per_keycode > 0 &&
                            xcb_get_keyboard_mapping_keysyms(mapping.get())[0] == kEscapeKeysym;
        if (escape && !released) {
            Leave();
            released = ended = true;
            xcb_flush(c);
        }
        return true;
    }
    case Kind::ButtonPress:
    case Kind::KeyRelease:
    case Kind::Wheel:
        return true;
    case Kind::ClientMessage:
        if (e.atom == atoms[kStatus] && e.data[0] == current.window) {
            statusPending = false;
            accepted = (e.data[1] & 1u) != 0;
            if (positionQueued && !released)
                SendPosition();
            xcb_flush(connection.Get());
            return true;
        }
        if (e.atom == atoms[kFinished] && awaitingFinish && e.data[0] == current.window) {
            // Version 5 says whether the target took the file.
            dropped = current.version < 5 || (e.data[1] & 1u) != 0;
            ended = true;
            return true;
        }
        return false;
    case Kind::SelectionRequest:
    case Kind::SelectionClear:
        return selection.Handle(e);
    default:
        return false;
    }
}

} // namespace ui::x11
