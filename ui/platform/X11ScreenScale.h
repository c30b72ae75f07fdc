#pragma once

#include <xcb/xcb.h>

namespace ui::x11 {

// [any] The whole-number screen factor of a resolution: dpi / 96 rounded
// half away from zero (120 gives 1, 144 gives 2, 240 gives 3), at least 1;
// 1 for unknown or nonsense values (0, negative, NaN, infinite).
float ScreenScaleForDpi(double dpi);

// [any] An Xft.dpi resource value ("144", "96.0", " 120 "); 0 for text that
// is not a positive finite number.
double ParseDpi(const char* text);

// [ui] Xft.dpi from the root window's RESOURCE_MANAGER property of screen;
// 0 when the property or the resource is absent or unreadable.
double ReadXftDpi(xcb_connection_t* connection, xcb_screen_t* screen);

} // namespace ui::x11
