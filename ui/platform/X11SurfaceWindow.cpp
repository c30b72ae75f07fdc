#include "ui/platform/X11SurfaceWindow.h"

#include <algorithm>

namespace ui::x11 {

X11SurfaceWindow::X11SurfaceWindow(const XcbConnection& xcb, Kind kind, xcb_window_t parent,
                                   int16_t left, int16_t top, uint16_t w, uint16_t h,
                                   uint32_t eventMask)
    : connection(xcb), x(left), y(top), width(std::max<uint16_t>(w, 1)),
      height(std::max<uint16_t>(h, 1)) {
    if (!connection.IsOpen() || parent == XCB_NONE)
        return;
    xcb_connection_t* c = connection.Get();
    const xcb_screen_t& screen = *connection.Screen();
    const xcb_window_t id = connection.NewId();
    if (id == 0)
        return;
    // No background: the surface covers every pixel, and nothing flashes
    // before it is sent.
    const uint32_t mask = XCB_CW_BACK_PIXMAP | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                          XCB_CW_SAVE_UNDER | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const uint32_t values[] = {
        XCB_BACK_PIXMAP_NONE,          0,         kind == Kind::Popup ? 1u : 0u,
        kind == Kind::Popup ? 1u : 0u, eventMask, screen.default_colormap};
    const auto cookie =
        xcb_create_window_checked(c, screen.root_depth, id, parent, x, y, width, height, 0,
                                  XCB_WINDOW_CLASS_INPUT_OUTPUT, screen.root_visual, mask, values);
    if (!CheckRequest(c, cookie))
        return;
    window = id;
    surface = CairoSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        surface.reset();
        return;
    }
    canvas = CairoContext(cairo_create(surface.get()));
    presenter = std::make_unique<X11Presenter>(connection, window, screen.root_depth, false);
}

X11SurfaceWindow::~X11SurfaceWindow() {
    presenter.reset();
    if (window != XCB_NONE && connection.IsOpen()) {
        xcb_destroy_window(connection.Get(), window);
        xcb_flush(connection.Get());
    }
}

void X11SurfaceWindow::Map() {
    if (Exists())
        xcb_map_window(connection.Get(), window);
}

void X11SurfaceWindow::MoveTo(int16_t left, int16_t top) {
    if (!Exists())
        return;
    x = left;
    y = top;
    const uint32_t values[] = {static_cast<uint32_t>(static_cast<int32_t>(left)),
                               static_cast<uint32_t>(static_cast<int32_t>(top))};
    xcb_configure_window(connection.Get(), window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y,
                         values);
}

void X11SurfaceWindow::Present() {
    if (!Exists() || !surface || !presenter)
        return;
    cairo_surface_flush(surface.get());
    const PixelView view{cairo_image_surface_get_data(surface.get()), width, height,
                         cairo_image_surface_get_stride(surface.get())};
    const PixelRect whole{0, 0, width, height};
    presenter->Present(view, std::span(&whole, 1));
}

void X11SurfaceWindow::SetCursor(xcb_cursor_t cursor) {
    if (Exists())
        xcb_change_window_attributes(connection.Get(), window, XCB_CW_CURSOR, &cursor);
}

} // namespace ui::x11
