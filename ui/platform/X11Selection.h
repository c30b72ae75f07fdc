#pragma once

#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/XcbHandles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ui::x11 {

// One form a selection's owner offers its data in.
struct SelectionOffer {
    std::string target; // the target a requestor asks for ("UTF8_STRING")
    std::string type;   // the type the data is stored with
    std::string bytes;
};

// [any] A text's forms: UTF8_STRING, text/plain;charset=utf-8, TEXT (as
// UTF-8) and STRING (Latin-1, "?" for what Latin-1 lacks).
std::vector<SelectionOffer> TextOffers(const std::string& utf8);
// [any] A file's forms, as file managers copy files: text/uri-list,
// x-special/gnome-copied-files, and the path as text.
std::vector<SelectionOffer> FileOffers(const std::string& path);
// [any] Latin-1 bytes as UTF-8 (what a STRING answer holds).
std::string Latin1ToUtf8(const std::string& latin1);

// The owner's side of one selection (CLIPBOARD, or XdndSelection during a
// drag) for a window of the editor's connection: it takes ownership with a
// server time, answers TARGETS, TIMESTAMP and the offered targets, refuses
// everything else (MULTIPLE included) and forgets its data when another
// client takes the selection. Data too large for one request is refused
// rather than sent in pieces. [ui]
class X11Selection {
public:
    X11Selection(const XcbConnection& connection, xcb_window_t window, const char* selectionName);
    X11Selection(const X11Selection&) = delete;
    X11Selection& operator=(const X11Selection&) = delete;

    // True when the server made the window the owner at `time`.
    bool Own(std::vector<SelectionOffer> offers, xcb_timestamp_t time);
    // Gives ownership up (when still held) and forgets the data.
    void Release();
    bool Owns() const noexcept { return owns; }
    xcb_atom_t Atom() const noexcept { return selection; }
    xcb_window_t Window() const noexcept { return window; }
    // The offer for a target name, or null.
    const SelectionOffer* Find(const std::string& target) const;

    // Answers a request or notes the loss; true when the event was about
    // this selection.
    bool Handle(const WindowEvent& event);

private:
    void Answer(const WindowEvent& request);

    const XcbConnection& connection;
    xcb_window_t window;
    xcb_atom_t selection = XCB_ATOM_NONE;
    xcb_atom_t targetsAtom = XCB_ATOM_NONE;
    xcb_atom_t timestampAtom = XCB_ATOM_NONE;
    std::vector<SelectionOffer> offers;
    std::vector<xcb_atom_t> offerTargets; // interned with offers
    std::vector<xcb_atom_t> offerTypes;
    xcb_timestamp_t ownedSince = 0;
    bool owns = false;
};

} // namespace ui::x11
