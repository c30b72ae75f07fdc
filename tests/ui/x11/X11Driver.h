#pragma once

// A client of the test's X server of its own, for the user's side of a
// test: XTest input (pointer in screen pixels, keys by their symbols) and
// a look at the windows on the screen. It may run on a helper thread while
// the editor's thread sits in a modal loop; each thread uses its own driver.

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace x11test {

class X11Driver {
public:
    explicit X11Driver(const std::string& display)
        : connection(xcb_connect(display.c_str(), nullptr)) {
        if (xcb_connection_has_error(connection) == 0)
            root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~X11Driver() { xcb_disconnect(connection); }
    X11Driver(const X11Driver&) = delete;
    X11Driver& operator=(const X11Driver&) = delete;

    bool IsOpen() const { return root != XCB_NONE; }
    xcb_connection_t* Get() const { return connection; }
    xcb_window_t Root() const { return root; }

    void Sync() {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    void MoveTo(int32_t x, int32_t y) {
        xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root,
                            static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
        Sync();
    }
    void Press(uint8_t button) {
        xcb_test_fake_input(connection, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        Sync();
    }
    void Release(uint8_t button) {
        xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0,
                            0, 0);
        Sync();
    }
    void ClickAt(int32_t x, int32_t y, uint8_t button = 1) {
        MoveTo(x, y);
        Press(button);
        Release(button);
    }

    // Types one key symbol (Shift added where the layout needs it); false
    // when no key of the layout makes it.
    bool TypeKeysym(uint32_t keysym) {
        LoadKeymap();
        for (size_t i = 0; i < keysyms.size(); ++i) {
            const size_t column = i % perKeycode;
            if (keysyms[i] != keysym || column > 1)
                continue;
            const auto keycode = static_cast<uint8_t>(minKeycode + i / perKeycode);
            const uint8_t shift = ShiftKeycode();
            if (column == 1)
                xcb_test_fake_input(connection, XCB_KEY_PRESS, shift, XCB_CURRENT_TIME, XCB_NONE, 0,
                                    0, 0);
            xcb_test_fake_input(connection, XCB_KEY_PRESS, keycode, XCB_CURRENT_TIME, XCB_NONE, 0,
                                0, 0);
            xcb_test_fake_input(connection, XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME, XCB_NONE, 0,
                                0, 0);
            if (column == 1)
                xcb_test_fake_input(connection, XCB_KEY_RELEASE, shift, XCB_CURRENT_TIME, XCB_NONE,
                                    0, 0, 0);
            Sync();
            return true;
        }
        return false;
    }
    // Printable ASCII: its Latin-1 symbols.
    bool Type(const std::string& text) {
        for (char c : text)
            if (!TypeKeysym(static_cast<unsigned char>(c)))
                return false;
        return true;
    }
    static constexpr uint32_t kReturn = 0xFF0D;
    static constexpr uint32_t kEscape = 0xFF1B;
    static constexpr uint32_t kDown = 0xFF54;

    // Mapped children of the root, with or without override-redirect.
    std::vector<xcb_window_t> MappedTopLevels(bool overrideRedirect) {
        std::vector<xcb_window_t> found;
        auto* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
        if (tree == nullptr)
            return found;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* attributes = xcb_get_window_attributes_reply(
                connection, xcb_get_window_attributes(connection, children[i]), nullptr);
            if (attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                (attributes->override_redirect != 0) == overrideRedirect)
                found.push_back(children[i]);
            std::free(attributes);
        }
        std::free(tree);
        return found;
    }

    // Where a window is on the screen, and its size.
    bool Placement(xcb_window_t window, int32_t& x, int32_t& y, int32_t& w, int32_t& h) {
        auto* geometry =
            xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
        auto* origin = xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, window, root, 0, 0), nullptr);
        const bool ok = geometry != nullptr && origin != nullptr;
        if (ok) {
            x = origin->dst_x;
            y = origin->dst_y;
            w = geometry->width;
            h = geometry->height;
        }
        std::free(geometry);
        std::free(origin);
        return ok;
    }

    xcb_atom_t Atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    // A property's bytes (any type), empty when it is not there.
    std::string Property(xcb_window_t window, xcb_atom_t property) {
        auto* reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, XCB_ATOM_ANY, 0, 1 << 16),
            nullptr);
        std::string bytes;
        if (reply != nullptr)
            bytes.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         static_cast<size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
        return bytes;
    }

    // Polls until match finds a window among the mapped top-level ones.
    xcb_window_t WaitForTopLevel(bool overrideRedirect,
                                 const std::function<bool(xcb_window_t)>& match,
                                 int timeoutMs = 3000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            for (xcb_window_t window : MappedTopLevels(overrideRedirect))
                if (match(window))
                    return window;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return XCB_NONE;
    }

    // Polls until the window has the keyboard focus.
    bool WaitForFocus(xcb_window_t window, int timeoutMs = 3000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            auto* focus =
                xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr);
            const bool has = focus != nullptr && focus->focus == window;
            std::free(focus);
            if (has)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

private:
    void LoadKeymap() {
        if (!keysyms.empty())
            return;
        const xcb_setup_t* setup = xcb_get_setup(connection);
        minKeycode = setup->min_keycode;
        const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
        auto* mapping = xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, minKeycode, count), nullptr);
        if (mapping == nullptr)
            return;
        perKeycode = mapping->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
        keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(mapping));
        std::free(mapping);
    }
    uint8_t ShiftKeycode() {
        constexpr uint32_t kShiftL = 0xFFE1;
        for (size_t i = 0; i < keysyms.size(); ++i)
            if (keysyms[i] == kShiftL)
                return static_cast<uint8_t>(minKeycode + i / perKeycode);
        return 50;
    }

    xcb_connection_t* connection;
    xcb_window_t root = XCB_NONE;
    std::vector<xcb_keysym_t> keysyms;
    size_t perKeycode = 1;
    uint8_t minKeycode = 8;
};

} // namespace x11test
