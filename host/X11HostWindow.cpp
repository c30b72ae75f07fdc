#include "host/X11HostWindow.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <cstring>

namespace vst3host {

namespace {

template <typename T> struct Freed {
    explicit Freed(T* reply) : reply(reply) {}
    ~Freed() { std::free(reply); }
    Freed(const Freed&) = delete;
    Freed& operator=(const Freed&) = delete;
    T* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
    T* reply;
};

} // namespace

std::unique_ptr<X11HostWindow> X11HostWindow::Open(const std::string& display, uint16_t width,
                                                   uint16_t height, std::string& whyNot) {
    std::unique_ptr<X11HostWindow> host(new X11HostWindow);
    int screenNumber = 0;
    host->connection = xcb_connect(display.c_str(), &screenNumber);
    if (xcb_connection_has_error(host->connection) != 0) {
        whyNot = "cannot connect to X display " + display;
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(host->connection));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i)
        xcb_screen_next(&it);
    const xcb_screen_t* screen = it.data;
    host->root = screen->root;
    host->window = xcb_generate_id(host->connection);
    const uint32_t values[] = {screen->black_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(host->connection, XCB_COPY_FROM_PARENT, host->window, host->root, 0, 0, width,
                      height, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    xcb_map_window(host->connection, host->window);
    host->Sync();
    return host;
}

X11HostWindow::~X11HostWindow() {
    DestroyWindow();
    xcb_disconnect(connection);
}

void X11HostWindow::Sync() {
    Freed<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    // Events for this connection (its window's configure notifies) are not
    // used; drop them so they do not pile up.
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection))
        std::free(event);
}

void X11HostWindow::Resize(uint16_t width, uint16_t height) {
    if (window == XCB_NONE)
        return;
    const uint32_t values[] = {width, height};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    Sync();
}

void X11HostWindow::DestroyWindow() {
    if (window == XCB_NONE)
        return;
    xcb_destroy_window(connection, window);
    window = XCB_NONE;
    Sync();
}

std::vector<xcb_window_t> X11HostWindow::Children(xcb_window_t of) {
    std::vector<xcb_window_t> children;
    if (of == XCB_NONE)
        of = window;
    if (of == XCB_NONE)
        return children;
    Freed<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, of), nullptr));
    if (!tree)
        return children;
    const xcb_window_t* list = xcb_query_tree_children(tree.reply);
    children.assign(list, list + xcb_query_tree_children_length(tree.reply));
    return children;
}

bool X11HostWindow::Geometry(xcb_window_t of, int16_t& x, int16_t& y, uint16_t& width,
                             uint16_t& height) {
    Freed<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, of), nullptr));
    if (!geometry)
        return false;
    x = geometry->x;
    y = geometry->y;
    width = geometry->width;
    height = geometry->height;
    return true;
}

std::vector<uint32_t> X11HostWindow::ReadPixels(xcb_window_t of, int16_t x, int16_t y, uint16_t w,
                                                uint16_t h) {
    std::vector<uint32_t> pixels;
    Freed<xcb_get_image_reply_t> image(xcb_get_image_reply(
        connection, xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, of, x, y, w, h, ~0u),
        nullptr));
    if (!image || xcb_get_image_data_length(image.reply) < static_cast<int>(w) * h * 4)
        return pixels;
    pixels.resize(static_cast<size_t>(w) * h);
    std::memcpy(pixels.data(), xcb_get_image_data(image.reply), pixels.size() * 4);
    return pixels;
}

void X11HostWindow::MovePointer(int16_t x, int16_t y, xcb_window_t of) {
    if (of == XCB_NONE)
        of = window;
    Freed<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, of, root, x, y), nullptr));
    if (!at)
        return;
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, at->dst_x,
                        at->dst_y, 0);
    Sync();
}

void X11HostWindow::PressButton(uint8_t button) {
    xcb_test_fake_input(connection, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    Sync();
}

void X11HostWindow::ReleaseButton(uint8_t button) {
    xcb_test_fake_input(connection, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    Sync();
}

bool X11HostWindow::PointerPosition(int16_t& x, int16_t& y, xcb_window_t of) {
    if (of == XCB_NONE)
        of = window;
    Freed<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, of), nullptr));
    if (!pointer)
        return false;
    x = pointer->win_x;
    y = pointer->win_y;
    return true;
}

void X11HostWindow::SetResources(const std::string& text) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, XCB_ATOM_RESOURCE_MANAGER,
                        XCB_ATOM_STRING, 8, static_cast<uint32_t>(text.size()), text.data());
    Sync();
}

} // namespace vst3host
