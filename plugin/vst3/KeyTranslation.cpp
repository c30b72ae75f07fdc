#include "plugin/vst3/KeyTranslation.h"

#include "plugin/vst3/HostParameters.h"
#include "ui/VirtualKeys.h"

#include <cstring>

namespace plugin::vst3 {

namespace {

constexpr int16_t kAsciiCodeOffset = 80;

// Key codes 1 to 56 in order, as Windows' virtual keys.
constexpr int32_t kVirtualKeys[] = {
    ui::kVKBack,        ui::kVKTab,         ui::kVKClear,       ui::kVKReturn,      // 1-4
    ui::kVKPause,       ui::kVKEscape,      ui::kVKSpace,                           // 5-7
    ui::kVKNext,        ui::kVKEnd,         ui::kVKHome,                            // 8-10
    ui::kVKLeft,        ui::kVKUp,          ui::kVKRight,       ui::kVKDown,        // 11-14
    ui::kVKPrior,       ui::kVKNext,                                                // 15-16
    ui::kVKSelect,      ui::kVKPrint,       ui::kVKReturn,      ui::kVKSnapshot,    // 17-20
    ui::kVKInsert,      ui::kVKDelete,      ui::kVKHelp,                            // 21-23
    ui::kVKNumpad0,     ui::kVKNumpad0 + 1, ui::kVKNumpad0 + 2, ui::kVKNumpad0 + 3, // 24-27
    ui::kVKNumpad0 + 4, ui::kVKNumpad0 + 5, ui::kVKNumpad0 + 6, ui::kVKNumpad0 + 7, // 28-31
    ui::kVKNumpad0 + 8, ui::kVKNumpad0 + 9,                                         // 32-33
    ui::kVKMultiply,    ui::kVKAdd,         ui::kVKSeparator,   ui::kVKSubtract,    // 34-37
    ui::kVKDecimal,     ui::kVKDivide,                                              // 38-39
    ui::kVKF1,          ui::kVKF1 + 1,      ui::kVKF1 + 2,      ui::kVKF1 + 3,      // 40-43
    ui::kVKF1 + 4,      ui::kVKF1 + 5,      ui::kVKF1 + 6,      ui::kVKF1 + 7,      // 44-47
    ui::kVKF1 + 8,      ui::kVKF1 + 9,      ui::kVKF1 + 10,     ui::kVKF1 + 11,     // 48-51
    ui::kVKNumLock,     ui::kVKScroll,                                              // 52-53
    ui::kVKShift,       ui::kVKControl,     ui::kVKMenu,                            // 54-56
};
static_assert(sizeof(kVirtualKeys) / sizeof(kVirtualKeys[0]) == 56);

} // namespace

int32_t VirtualKeyForVst3Code(int16_t keyCode, const char* text) {
    if (keyCode == kVst3KeyNone || keyCode == kVst3KeyEquals) {
        // The key scan of the text's first byte, sign-extended: -1 for a
        // character no key types (and for no text).
        const char first = text != nullptr ? text[0] : '\0';
        return first == '\0' ? -1 : ui::KeyScanForCharacter(first);
    }
    if (keyCode >= 1 && keyCode <= 56)
        return kVirtualKeys[keyCode - 1];
    if (keyCode >= kVst3FirstAsciiKey)
        return keyCode - kAsciiCodeOffset;
    return 0;
}

ui::IKeyEvent TranslateVst3Key(char16_t character, int16_t keyCode, int16_t modifiers) {
    ui::IKeyEvent key;
    char16_t text = character;
    if (text == 0) {
        if (keyCode >= kVst3FirstAsciiKey)
            text = static_cast<char16_t>(keyCode - kAsciiCodeOffset);
        else if (keyCode == kVst3KeySpace)
            text = u' ';
    }
    if (text != 0) {
        const char16_t units[2] = {text, 0};
        const std::string utf8 = Utf16ToUtf8(units, 1);
        if (utf8.size() < sizeof(key.utf8))
            std::memcpy(key.utf8, utf8.c_str(), utf8.size() + 1);
    }
    key.virtualKey = VirtualKeyForVst3Code(keyCode, key.utf8);
    key.shift = (modifiers & kVst3ShiftKey) != 0;
    key.control = (modifiers & kVst3CommandKey) != 0;
    key.alt = (modifiers & kVst3AlternateKey) != 0;
    return key;
}

} // namespace plugin::vst3
