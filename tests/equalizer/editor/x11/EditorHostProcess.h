#pragma once

// Steinberg's editorhost as a child process on the test's X server, and
// what a test needs to find and read the editor window it opens.

#include "host/X11HostWindow.h"
#include "ui/platform/XcbHandles.h"

#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace panelx11 {

class EditorHostProcess {
public:
    // Starts editorhost on the display with the bundle; it inherits the
    // test's environment (the zoom preference's folder, for one).
    EditorHostProcess(const std::string& tool, const std::string& display,
                      const std::string& bundle) {
        child = fork();
        if (child == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            execl(tool.c_str(), tool.c_str(), bundle.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~EditorHostProcess() {
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
    bool Started() const { return child > 0; }
    bool Running() const { return child > 0 && waitpid(child, nullptr, WNOHANG) == 0; }

private:
    pid_t child = -1;
};

// editorhost wants the XEMBED atoms on the root window before it starts.
inline bool SetRootXembedAtoms(vst3host::X11HostWindow& host) {
    xcb_connection_t* c = host.Connection();
    const char* names[] = {"_XEMBED_INFO", "_XEMBED"};
    const uint32_t values[2][2] = {{0, 1}, {0, 0}};
    const uint32_t counts[] = {2, 1};
    for (int i = 0; i < 2; ++i) {
        auto atom = ui::x11::GetReply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(names[i])), names[i]),
            xcb_intern_atom_reply);
        if (!atom)
            return false;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, host.Root(), atom->atom, XCB_ATOM_CARDINAL,
                            32, counts[i], values[i]);
    }
    host.Sync();
    return true;
}

// A shown window anywhere on the screen that carries an embedded editor's
// _XEMBED_INFO (version 0, flags 0).
inline xcb_window_t FindEmbeddedEditor(vst3host::X11HostWindow& host) {
    xcb_connection_t* c = host.Connection();
    auto atom =
        ui::x11::GetReply(c, xcb_intern_atom(c, 1, 12, "_XEMBED_INFO"), xcb_intern_atom_reply);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return XCB_NONE;
    std::function<xcb_window_t(xcb_window_t)> search = [&](xcb_window_t w) -> xcb_window_t {
        for (xcb_window_t child : host.Children(w)) {
            auto info =
                ui::x11::GetReply(c, xcb_get_property(c, 0, child, atom->atom, atom->atom, 0, 2),
                                  xcb_get_property_reply);
            auto attributes = ui::x11::GetReply(c, xcb_get_window_attributes(c, child),
                                                xcb_get_window_attributes_reply);
            if (info && xcb_get_property_value_length(info.get()) == 8 && attributes &&
                attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
                const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(info.get()));
                if (v[0] == 0 && v[1] == 0)
                    return child;
            }
            if (const xcb_window_t found = search(child))
                return found;
        }
        return XCB_NONE;
    };
    return search(host.Root());
}

struct Visible {
    int32_t w = 0;
    int32_t h = 0;
};

// The part of a window, from its top-left corner, that no ancestor's edge
// cuts off (editorhost's frame hides the editor's last row and column).
inline Visible VisibleArea(vst3host::X11HostWindow& host, xcb_window_t window) {
    xcb_connection_t* c = host.Connection();
    const auto origin = [&](xcb_window_t w, int32_t& x, int32_t& y) {
        auto at = ui::x11::GetReply(c, xcb_translate_coordinates(c, w, host.Root(), 0, 0),
                                    xcb_translate_coordinates_reply);
        x = at ? at->dst_x : 0;
        y = at ? at->dst_y : 0;
    };
    int32_t left = 0, top = 0;
    origin(window, left, top);
    int16_t gx = 0, gy = 0;
    uint16_t gw = 0, gh = 0;
    host.Geometry(window, gx, gy, gw, gh);
    int32_t right = left + gw;
    int32_t bottom = top + gh;
    for (xcb_window_t w = window; w != host.Root();) {
        auto tree = ui::x11::GetReply(c, xcb_query_tree(c, w), xcb_query_tree_reply);
        if (!tree)
            break;
        w = tree->parent;
        int32_t px = 0, py = 0;
        origin(w, px, py);
        host.Geometry(w, gx, gy, gw, gh);
        right = std::min(right, px + gw);
        bottom = std::min(bottom, py + gh);
    }
    return Visible{right - left, bottom - top};
}

} // namespace panelx11
