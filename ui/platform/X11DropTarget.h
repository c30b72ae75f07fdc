#pragma once

#include "ui/platform/X11EventTranslation.h"
#include "ui/platform/XcbHandles.h"

#include <functional>
#include <string>
#include <vector>

namespace ui::x11 {

// [any] The local file paths of a text/uri-list (RFC 2483): one URI a line,
// comment lines skipped, "file:" URIs of this machine (no host or
// "localhost") percent-decoded; every other URI is left out.
std::vector<std::string> ParseUriList(const std::string& list);

// Accepts files dropped on the window through XDND (version 5): offers a
// copy while text/uri-list is on offer, fetches the list on the drop and
// hands the paths over with the drop point in window pixels. [ui]
class X11DropTarget {
public:
    using DropFunction =
        std::function<void(const std::vector<std::string>& paths, int32_t x, int32_t y)>;

    X11DropTarget(const XcbConnection& connection, xcb_window_t window, DropFunction onDrop);
    X11DropTarget(const X11DropTarget&) = delete;
    X11DropTarget& operator=(const X11DropTarget&) = delete;

    // [ui] True when the event was part of a drop (and is dealt with).
    bool Handle(const WindowEvent& event);

private:
    enum AtomIndex {
        kAware,
        kEnter,
        kPosition,
        kStatus,
        kLeave,
        kDrop,
        kFinished,
        kSelection,
        kActionCopy,
        kTypeList,
        kUriList,
        kProperty,
        kAtomCount
    };

    bool SourceOffersUriList(const WindowEvent& enter);
    void SendToSource(xcb_atom_t type, const uint32_t (&data)[5]);
    void OnPosition(const WindowEvent& event);
    void OnDrop(const WindowEvent& event);
    void OnSelection(const WindowEvent& event);
    void Finish(bool accepted);

    const XcbConnection& connection;
    xcb_window_t window;
    DropFunction onDrop;
    std::vector<xcb_atom_t> atoms;
    xcb_window_t source = XCB_NONE;
    bool offersUriList = false;
    bool fetching = false;
    int32_t dropX = 0;
    int32_t dropY = 0;
};

} // namespace ui::x11
