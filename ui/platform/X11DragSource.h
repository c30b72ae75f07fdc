#pragma once

#include "ui/platform/X11ModalLoop.h"
#include "ui/platform/X11Selection.h"

#include <string>

namespace ui::x11 {

// A file dragged out of the editor through XDND (version 5) as the source:
// the pointer and keyboard are grabbed by the editor's window, the window
// under the pointer that is XDND-aware (or its proxy) is told of the drag,
// the drop hands the file over as text/uri-list through XdndSelection,
// and Escape or a release where nothing accepts cancels. [ui]
class X11DragSource {
public:
    // How long a drop waits for the target to finish.
    static constexpr int32_t kFinishTimeoutMs = 3000;

    X11DragSource(const XcbConnection& connection, xcb_window_t window, xcb_cursor_t cursor);
    X11DragSource(const X11DragSource&) = delete;
    X11DragSource& operator=(const X11DragSource&) = delete;

    // Runs the drag; true when it ran (to a drop or a cancel), false when
    // the pointer could not be grabbed or the selection not owned.
    bool Run(const std::string& path, xcb_timestamp_t time, ModalLoop& loop);
    // Whether the last drag ended with a drop the target accepted.
    bool Dropped() const noexcept { return dropped; }

private:
    enum AtomIndex {
        kAware,
        kProxy,
        kEnter,
        kPosition,
        kStatus,
        kLeave,
        kDrop,
        kFinished,
        kActionCopy,
        kUriList,
        kPlainText,
        kUtf8,
        kAtomCount
    };
    struct Target {
        xcb_window_t window = XCB_NONE;   // named in the messages
        xcb_window_t messages = XCB_NONE; // where they go (a proxy, or the window)
        uint32_t version = 0;
    };

    Target FindTarget(int16_t rootX, int16_t rootY) const;
    bool AwareVersion(xcb_window_t window, uint32_t& version) const;
    void Send(const Target& to, AtomIndex type, const uint32_t (&data)[5]);
    void Enter(const Target& target);
    void SendPosition();
    void Leave();
    bool Handle(const xcb_generic_event_t& event);

    const XcbConnection& connection;
    xcb_window_t window;
    xcb_cursor_t cursor;
    X11Selection selection;
    std::vector<xcb_atom_t> atoms;
    Target current;
    int16_t rootX = 0;
    int16_t rootY = 0;
    xcb_timestamp_t lastTime = 0;
    bool statusPending = false;  // a position went out, its status is not back
    bool positionQueued = false; // the pointer moved meanwhile
    bool accepted = false;
    bool released = false; // the button came up (or Escape)
    bool awaitingFinish = false;
    bool ended = false;
    bool dropped = false;
};

} // namespace ui::x11
