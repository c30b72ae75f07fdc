#include "ui/platform/X11Selection.h"

#include "ui/platform/DialogRequests.h"
#include "ui/platform/TextUtf8.h"

#include <cstring>

namespace ui::x11 {

namespace {

// Bytes of a request besides the data of a ChangeProperty.
constexpr size_t kChangePropertyHeader = 24;

// Decodes one character of well-formed UTF-8 text at i.
char32_t Decode(const std::string& text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t value = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
    for (size_t k = 1; k < length && i + k < text.size(); ++k)
        value = (value << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    return value;
}

} // namespace

std::vector<SelectionOffer> TextOffers(const std::string& utf8) {
    const std::string text = WellFormedUtf8(utf8);
    std::string latin1;
    for (size_t i = 0; i < text.size();) {
        const char32_t c = Decode(text, i);
        latin1 += c < 0x100 ? static_cast<char>(c) : '?';
    }
    return {{"UTF8_STRING", "UTF8_STRING", text},
            {"text/plain;charset=utf-8", "text/plain;charset=utf-8", text},
            {"TEXT", "UTF8_STRING", text},
            {"STRING", "STRING", latin1}};
}

std::vector<SelectionOffer> FileOffers(const std::string& path) {
    const std::string uri = FileUri(path);
    const std::string text = WellFormedUtf8(path);
    return {{"text/uri-list", "text/uri-list", uri + "\r\n"},
            {"x-special/gnome-copied-files", "x-special/gnome-copied-files", "copy\n" + uri},
            {"UTF8_STRING", "UTF8_STRING", text},
            {"text/plain;charset=utf-8", "text/plain;charset=utf-8", text}};
}

std::string Latin1ToUtf8(const std::string& latin1) {
    std::string utf8;
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

X11Selection::X11Selection(const XcbConnection& xcb, xcb_window_t owner, const char* name)
    : connection(xcb), window(owner) {
    const auto atoms = connection.InternAtoms({name, "TARGETS", "TIMESTAMP"});
    selection = atoms[0];
    targetsAtom = atoms[1];
    timestampAtom = atoms[2];
}

bool X11Selection::Own(std::vector<SelectionOffer> data, xcb_timestamp_t time) {
    if (selection == XCB_ATOM_NONE || !connection.IsOpen())
        return false;
    std::vector<const char*> names;
    for (const SelectionOffer& offer : data) {
        names.push_back(offer.target.c_str());
        names.push_back(offer.type.c_str());
    }
    const std::vector<xcb_atom_t> atoms = connection.InternAtoms(names);
    offerTargets.clear();
    offerTypes.clear();
    for (size_t i = 0; i < data.size(); ++i) {
        offerTargets.push_back(atoms[2 * i]);
        offerTypes.push_back(atoms[2 * i + 1]);
    }
    offers = std::move(data);

    xcb_connection_t* c = connection.Get();
    xcb_set_selection_owner(c, window, selection, time);
    auto owner = GetReply(c, xcb_get_selection_owner(c, selection), xcb_get_selection_owner_reply);
    owns = owner && owner->owner == window;
    ownedSince = time;
    if (!owns)
        offers.clear();
    return owns;
}

void X11Selection::Release() {
    if (owns && connection.IsOpen())
        xcb_set_selection_owner(connection.Get(), XCB_NONE, selection, ownedSince);
    owns = false;
    offers.clear();
}

const SelectionOffer* X11Selection::Find(const std::string& target) const {
    for (const SelectionOffer& offer : offers)
        if (offer.target == target)
            return &offer;
    return nullptr;
}

bool X11Selection::Handle(const WindowEvent& event) {
    if (event.selection != selection || event.window != window)
        return false;
    if (event.kind == WindowEvent::Kind::SelectionClear) {
        // Another client owns it now: nothing of ours is served any more.
        owns = false;
        offers.clear();
        return true;
    }
    if (event.kind != WindowEvent::Kind::SelectionRequest)
        return false;
    Answer(event);
    return true;
}

void X11Selection::Answer(const WindowEvent& request) {
    xcb_connection_t* c = connection.Get();
    // Clients from before ICCCM 2 name no property: the target is used.
    const xcb_atom_t property =
        request.property != XCB_ATOM_NONE ? request.property : request.target;
    bool answered = false;
    // A request from before we owned the selection is not ours to answer.
    const bool current = owns && (request.time == XCB_CURRENT_TIME || request.time >= ownedSince);
    if (current && request.target == targetsAtom) {
        std::vector<xcb_atom_t> targets{targetsAtom, timestampAtom};
        for (xcb_atom_t target : offerTargets)
            if (target != XCB_ATOM_NONE)
                targets.push_back(target);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM,
                            32, static_cast<uint32_t>(targets.size()), targets.data());
        answered = true;
    } else if (current && request.target == timestampAtom) {
        const uint32_t time = ownedSince;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER,
                            32, 1, &time);
        answered = true;
    } else if (current) {
        for (size_t i = 0; i < offers.size(); ++i) {
            if (offerTargets[i] != request.target || offerTargets[i] == XCB_ATOM_NONE)
                continue;
            const std::string& bytes = offers[i].bytes;
            if (bytes.size() + kChangePropertyHeader > connection.MaximumRequestBytes())
                break; // refused: too large for one request
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                offerTypes[i], 8, static_cast<uint32_t>(bytes.size()),
                                bytes.data());
            answered = true;
            break;
        }
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = answered ? property : xcb_atom_t{XCB_ATOM_NONE};
    xcb_send_event(c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
}

} // namespace ui::x11
