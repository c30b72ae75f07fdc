#pragma once

#include <cstdint>

namespace ui {

// Windows virtual-key codes: the key numbers an IKeyEvent carries on every
// platform, so that controls and plug-ins compare against one table.
enum VirtualKey : int32_t {
    kVKBack = 8,
    kVKTab = 9,
    kVKClear = 12,
    kVKReturn = 13,
    kVKShift = 16,
    kVKControl = 17,
    kVKMenu = 18, // Alt
    kVKPause = 19,
    kVKEscape = 27,
    kVKSpace = 32,
    kVKPrior = 33, // page up
    kVKNext = 34,  // page down
    kVKEnd = 35,
    kVKHome = 36,
    kVKLeft = 37,
    kVKUp = 38,
    kVKRight = 39,
    kVKDown = 40,
    kVKSelect = 41,
    kVKPrint = 42,
    kVKSnapshot = 44, // print screen
    kVKInsert = 45,
    kVKDelete = 46,
    kVKHelp = 47,
    kVK0 = 48,       // '0' to '9' are 48 to 57
    kVKA = 65,       // 'A' to 'Z' are 65 to 90
    kVKNumpad0 = 96, // to 105
    kVKMultiply = 106,
    kVKAdd = 107,
    kVKSeparator = 108,
    kVKSubtract = 109,
    kVKDecimal = 110,
    kVKDivide = 111,
    kVKF1 = 112, // to F24 = 135
    kVKNumLock = 144,
    kVKScroll = 145,
    kVKOem1 = 0xBA,      // ; :
    kVKOemPlus = 0xBB,   // = +
    kVKOemComma = 0xBC,  // , <
    kVKOemMinus = 0xBD,  // - _
    kVKOemPeriod = 0xBE, // . >
    kVKOem2 = 0xBF,      // / ?
    kVKOem3 = 0xC0,      // ` ~
    kVKOem4 = 0xDB,      // [ {
    kVKOem5 = 0xDC,      // \ |
    kVKOem6 = 0xDD,      // ] }
    kVKOem7 = 0xDE,      // ' "
};

// Added to a key-scan result when the character needs Shift.
inline constexpr int32_t kKeyScanShift = 0x100;

// [any] The key that types an ASCII character on a US keyboard, in the form
// Windows' key scan reports it: the virtual key in the low byte, plus
// kKeyScanShift when Shift is needed; -1 for a character no key types.
int32_t KeyScanForCharacter(char character);

} // namespace ui
