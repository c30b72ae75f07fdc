#include "ui/platform/X11EmbedWindow.h"

#include "ui/platform/X11Presenter.h"

#include <algorithm>

namespace ui::x11 {

namespace {

// _XEMBED_INFO: protocol version 0, no flags.
constexpr uint32_t kXembedInfo[2] = {0, 0};

xcb_visualtype_t* FindVisual(const xcb_screen_t& screen, xcb_visualid_t id, uint8_t& depth) {
    xcb_depth_iterator_t depths = xcb_screen_allowed_depths_iterator(&screen);
    for (; depths.rem > 0; xcb_depth_next(&depths)) {
        xcb_visualtype_iterator_t visuals = xcb_depth_visuals_iterator(depths.data);
        for (; visuals.rem > 0; xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == id) {
                depth = depths.data->depth;
                return visuals.data;
            }
        }
    }
    return nullptr;
}

} // namespace

X11EmbedWindow::~X11EmbedWindow() {
    Destroy();
}

bool X11EmbedWindow::Create(xcb_window_t parentWindow, int16_t left, int16_t top, uint16_t w,
                            uint16_t h) {
    Destroy();
    if (!connection.IsOpen() || parentWindow == XCB_NONE)
        return false;
    xcb_connection_t* c = connection.Get();
    const xcb_screen_t& screen = *connection.Screen();

    uint8_t visualDepth = 0;
    const xcb_visualtype_t* visual = FindVisual(screen, screen.root_visual, visualDepth);
    if (visual == nullptr || !IsNativePixelFormat(*xcb_get_setup(c), *visual, visualDepth))
        return false;

    const xcb_window_t id = connection.NewId();
    if (id == 0)
        return false;
    // The parent's visual may differ from the screen's (a host with an
    // alpha visual): an explicit colormap and border pixel keep the
    // creation valid either way.
    const uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_BIT_GRAVITY |
                          XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 0, XCB_GRAVITY_NORTH_WEST, kEventMask,
                               screen.default_colormap};
    const auto cookie =
        xcb_create_window_checked(c, visualDepth, id, parentWindow, left, top,
                                  std::max<uint16_t>(w, 1), std::max<uint16_t>(h, 1), 0,
                                  XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, mask, values);
    if (!CheckRequest(c, cookie))
        return false;

    const auto atoms = connection.InternAtoms({"_XEMBED_INFO"});
    if (atoms[0] != XCB_ATOM_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atoms[0], atoms[0], 32, 2, kXembedInfo);
    xcb_map_window(c, id);
    xcb_flush(c);

    window = id;
    parent = parentWindow;
    alive = true;
    depth = visualDepth;
    x = left;
    y = top;
    width = std::max<uint16_t>(w, 1);
    height = std::max<uint16_t>(h, 1);
    listeningToKeys = false;
    return true;
}

void X11EmbedWindow::Destroy() {
    if (window == XCB_NONE)
        return;
    if (alive && connection.IsOpen()) {
        xcb_destroy_window(connection.Get(), window);
        xcb_flush(connection.Get());
    }
    window = XCB_NONE;
    parent = XCB_NONE;
    alive = false;
}

void X11EmbedWindow::MarkDestroyed() noexcept {
    alive = false;
}

void X11EmbedWindow::Resize(uint16_t w, uint16_t h) {
    if (!Exists() || !connection.IsOpen())
        return;
    w = std::max<uint16_t>(w, 1);
    h = std::max<uint16_t>(h, 1);
    const uint32_t values[] = {w, h};
    xcb_configure_window(connection.Get(), window,
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    width = w;
    height = h;
}

void X11EmbedWindow::SizeChanged(uint16_t w, uint16_t h) noexcept {
    width = w;
    height = h;
}

void X11EmbedWindow::ListenToKeys(bool listen) {
    if (!Exists() || listen == listeningToKeys || !connection.IsOpen())
        return;
    listeningToKeys = listen;
    const uint32_t mask = kEventMask | (listen ? kKeyEventMask : 0);
    xcb_change_window_attributes(connection.Get(), window, XCB_CW_EVENT_MASK, &mask);
}

void X11EmbedWindow::TakeFocus() {
    if (!Exists() || !connection.IsOpen())
        return;
    xcb_set_input_focus(connection.Get(), XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
}

bool QueryWindowGeometry(const XcbConnection& connection, xcb_window_t window,
                         WindowGeometry& geometry) {
    if (!connection.IsOpen() || window == XCB_NONE)
        return false;
    xcb_connection_t* c = connection.Get();
    const auto treeCookie = xcb_query_tree(c, window);
    const auto geometryCookie = xcb_get_geometry(c, window);
    auto tree = GetReply(c, treeCookie, xcb_query_tree_reply);
    auto size = GetReply(c, geometryCookie, xcb_get_geometry_reply);
    if (!tree || !size)
        return false;
    geometry.window = window;
    geometry.parent = tree->parent;
    geometry.root = tree->root;
    geometry.width = size->width;
    geometry.height = size->height;
    return true;
}

} // namespace ui::x11
