#pragma once

#include "ui/EditorTypes.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>

namespace ui::x11 {

// [any] The virtual key of a key's unshifted symbol (see ui/VirtualKeys.h);
// 0 for symbols without one.
int32_t VirtualKeyForKeysym(xkb_keysym_t keysym);

// The keyboard layout of one connection, through xkbcommon: a key event's
// keycode and modifier state become an IKeyEvent. Set up on first use,
// since compiling a keymap costs more than opening the rest of the editor.
class X11Keyboard {
public:
    X11Keyboard() = default;
    // [ui]
    ~X11Keyboard();
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;

    // [ui] False when the server has no usable keyboard extension.
    bool Setup(xcb_connection_t* connection);
    bool IsReady() const noexcept { return state != nullptr; }
    // [ui] The keymap changed (a mapping notify): read it again next time.
    void Reset();

    // [ui] keyState is the X state mask of the event. Without a keymap the
    // record has virtual key 0 and no text.
    IKeyEvent Translate(xcb_keycode_t keycode, uint16_t keyState);

private:
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* state = nullptr;
    bool failed = false;
};

} // namespace ui::x11
