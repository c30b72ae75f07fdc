#pragma once

#include "ui/platform/X11Selection.h"

#include <functional>
#include <string>

namespace ui::x11 {

// Waits up to timeoutMs for the first event of the editor's connection that
// `match` takes and returns it (null when none came); the window keeps the
// other events for its next turn.
using EventWait = std::function<XcbPtr<xcb_generic_event_t>(
    const std::function<bool(const xcb_generic_event_t&)>& match, int32_t timeoutMs)>;

// The CLIPBOARD selection of one editor window: owned with the text or file
// it was given for as long as the window lives (or until another client
// takes it), and read from whichever client owns it. Reading what an editor
// of this process owns is done directly: both are served by the same
// thread, so one could not answer the other while it waits. [ui]
class X11Clipboard {
public:
    // Longest text read; the owner's answer is refused beyond it.
    static constexpr size_t kMaxReadBytes = 4u << 20;
    // How long a read waits for the owner.
    static constexpr int32_t kReadTimeoutMs = 1000;

    X11Clipboard(const XcbConnection& connection, xcb_window_t window);
    ~X11Clipboard();
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // Owns CLIPBOARD with the text; an empty text owns it with nothing on
    // offer (the clipboard is empty).
    bool WriteText(const std::string& utf8, xcb_timestamp_t time);
    // Owns CLIPBOARD with a file, as a file manager's copy offers it.
    bool WriteFile(const std::string& path, xcb_timestamp_t time);
    // The clipboard's text: as UTF8_STRING, else STRING. False (and text
    // empty) when there is none or the owner does not answer in time.
    bool ReadText(std::string& text, xcb_timestamp_t time, const EventWait& wait);
    // Serves requests for our data; true when the event was the clipboard's.
    bool Handle(const WindowEvent& event);
    bool Owns() const noexcept { return selection.Owns(); }

private:
    bool Fetch(xcb_atom_t target, std::string& bytes, xcb_timestamp_t time, const EventWait& wait);
    bool ReadProperty(std::string& bytes, xcb_atom_t& type);
    bool FetchIncrementally(std::string& bytes, const EventWait& wait);

    const XcbConnection& connection;
    xcb_window_t window;
    X11Selection selection;
    xcb_atom_t utf8Atom = XCB_ATOM_NONE;
    xcb_atom_t propertyAtom = XCB_ATOM_NONE;
    xcb_atom_t incrAtom = XCB_ATOM_NONE;
};

} // namespace ui::x11
