#include "ui/platform/X11Keyboard.h"

#include "ui/VirtualKeys.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <cstring>

namespace ui::x11 {

namespace {

struct KeysymKey {
    xkb_keysym_t keysym;
    int32_t key;
};

// Keys that type no character, and the keypad.
constexpr KeysymKey kKeysymKeys[] = {
    {XKB_KEY_BackSpace, kVKBack},
    {XKB_KEY_Tab, kVKTab},
    {XKB_KEY_ISO_Left_Tab, kVKTab},
    {XKB_KEY_Clear, kVKClear},
    {XKB_KEY_Return, kVKReturn},
    {XKB_KEY_KP_Enter, kVKReturn},
    {XKB_KEY_Pause, kVKPause},
    {XKB_KEY_Escape, kVKEscape},
    {XKB_KEY_space, kVKSpace},
    {XKB_KEY_KP_Space, kVKSpace},
    {XKB_KEY_Prior, kVKPrior},
    {XKB_KEY_Next, kVKNext},
    {XKB_KEY_End, kVKEnd},
    {XKB_KEY_Home, kVKHome},
    {XKB_KEY_Left, kVKLeft},
    {XKB_KEY_Up, kVKUp},
    {XKB_KEY_Right, kVKRight},
    {XKB_KEY_Down, kVKDown},
    {XKB_KEY_KP_Prior, kVKPrior},
    {XKB_KEY_KP_Next, kVKNext},
    {XKB_KEY_KP_End, kVKEnd},
    {XKB_KEY_KP_Home, kVKHome},
    {XKB_KEY_KP_Left, kVKLeft},
    {XKB_KEY_KP_Up, kVKUp},
    {XKB_KEY_KP_Right, kVKRight},
    {XKB_KEY_KP_Down, kVKDown},
    {XKB_KEY_Select, kVKSelect},
    {XKB_KEY_Print, kVKSnapshot},
    {XKB_KEY_Insert, kVKInsert},
    {XKB_KEY_KP_Insert, kVKInsert},
    {XKB_KEY_Delete, kVKDelete},
    {XKB_KEY_KP_Delete, kVKDelete},
    {XKB_KEY_Help, kVKHelp},
    {XKB_KEY_KP_Multiply, kVKMultiply},
    {XKB_KEY_KP_Add, kVKAdd},
    {XKB_KEY_KP_Separator, kVKSeparator},
    {XKB_KEY_KP_Subtract, kVKSubtract},
    {XKB_KEY_KP_Decimal, kVKDecimal},
    {XKB_KEY_KP_Divide, kVKDivide},
    {XKB_KEY_Num_Lock, kVKNumLock},
    {XKB_KEY_Scroll_Lock, kVKScroll},
    {XKB_KEY_Shift_L, kVKShift},
    {XKB_KEY_Shift_R, kVKShift},
    {XKB_KEY_Control_L, kVKControl},
    {XKB_KEY_Control_R, kVKControl},
    {XKB_KEY_Alt_L, kVKMenu},
    {XKB_KEY_Alt_R, kVKMenu},
    {XKB_KEY_Meta_L, kVKMenu},
    {XKB_KEY_Meta_R, kVKMenu},
    {XKB_KEY_ISO_Level3_Shift, kVKMenu}, // AltGr
};

// The X modifier bits xkbcommon understands as the plain modifiers.
constexpr uint16_t kModifierBits = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_LOCK | XCB_MOD_MASK_CONTROL |
                                   XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_3 |
                                   XCB_MOD_MASK_4 | XCB_MOD_MASK_5;

} // namespace

int32_t VirtualKeyForKeysym(xkb_keysym_t keysym) {
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9)
        return kVKNumpad0 + static_cast<int32_t>(keysym - XKB_KEY_KP_0);
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24)
        return kVKF1 + static_cast<int32_t>(keysym - XKB_KEY_F1);
    for (const KeysymKey& entry : kKeysymKeys)
        if (entry.keysym == keysym)
            return entry.key;
    // Latin-1 symbols are their characters; the key is the one that types
    // the character on a US keyboard, without its Shift.
    if (keysym > 0x20 && keysym < 0x7F) {
        const int32_t scan = KeyScanForCharacter(static_cast<char>(keysym));
        return scan < 0 ? 0 : scan & 0xFF;
    }
    return 0;
}

X11Keyboard::~X11Keyboard() {
    Reset();
    if (context != nullptr)
        xkb_context_unref(context);
}

void X11Keyboard::Reset() {
    if (state != nullptr)
        xkb_state_unref(state);
    if (keymap != nullptr)
        xkb_keymap_unref(keymap);
    state = nullptr;
    keymap = nullptr;
    failed = false;
}

bool X11Keyboard::Setup(xcb_connection_t* connection) {
    if (state != nullptr)
        return true;
    if (failed || connection == nullptr)
        return false;
    failed = true; // until everything below worked
    if (xkb_x11_setup_xkb_extension(
            connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) != 1)
        return false;
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0)
        return false;
    if (context == nullptr)
        context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context == nullptr)
        return false;
    keymap =
        xkb_x11_keymap_new_from_device(context, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap == nullptr)
        return false;
    state = xkb_x11_state_new_from_device(keymap, connection, device);
    if (state == nullptr) {
        xkb_keymap_unref(keymap);
        keymap = nullptr;
        return false;
    }
    failed = false;
    return true;
}

IKeyEvent X11Keyboard::Translate(xcb_keycode_t keycode, uint16_t keyState) {
    IKeyEvent key;
    key.shift = (keyState & XCB_MOD_MASK_SHIFT) != 0;
    key.control = (keyState & XCB_MOD_MASK_CONTROL) != 0;
    key.alt = (keyState & XCB_MOD_MASK_1) != 0;
    if (state == nullptr)
        return key;

    // The event carries the modifiers and, in bits 13-14, the layout group.
    const xkb_layout_index_t group = (keyState >> 13) & 0x3;
    xkb_state_update_mask(state, keyState & kModifierBits, 0, 0, 0, 0, group);

    // The key is named by its unshifted symbol ('1' for '!'), except on the
    // keypad, where Num Lock decides between digits and movement.
    const xkb_keysym_t current = xkb_state_key_get_one_sym(state, keycode);
    if (current >= XKB_KEY_KP_Space && current <= XKB_KEY_KP_9) {
        key.virtualKey = VirtualKeyForKeysym(current);
    } else {
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state, keycode);
        const xkb_keysym_t* baseSyms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(
            keymap, keycode, layout == XKB_LAYOUT_INVALID ? 0 : layout, 0, &baseSyms);
        if (count > 0)
            key.virtualKey = VirtualKeyForKeysym(baseSyms[0]);
    }

    char text[sizeof(key.utf8)] = {};
    const int length = xkb_state_key_get_utf8(state, keycode, text, sizeof(text));
    // Control characters (Return, Escape, Control+letter) are keys, not text.
    if (length > 0 && length < static_cast<int>(sizeof(key.utf8)) &&
        static_cast<unsigned char>(text[0]) >= 0x20 && text[0] != 0x7F)
        std::memcpy(key.utf8, text, static_cast<size_t>(length) + 1);
    return key;
}

} // namespace ui::x11
