#pragma once

#include "ui/EditorTypes.h"

#include <cstdint>

namespace plugin::vst3 {

// The VST 3 key codes of IPlugView::onKeyDown and onKeyUp (the SDK's
// VirtualKeyCodes, whose header this copy of the SDK does not ship) that
// the translation names.
enum Vst3KeyCode : int16_t {
    kVst3KeyNone = 0,
    kVst3KeySpace = 7,
    kVst3KeyEquals = 57,
    kVst3FirstAsciiKey = 128, // codes from here on are ASCII + 80
};
// VST 3 key modifiers.
enum Vst3KeyModifier : int16_t {
    kVst3ShiftKey = 1 << 0,
    kVst3AlternateKey = 1 << 1,
    kVst3CommandKey = 1 << 2, // the control key off the Mac
};

// [any] A VST 3 key event as the editor sees it: the text from the
// character (or, when that is 0, from an ASCII key code, or a space for the
// space key), Windows' virtual key for the key code, and the modifiers.
ui::IKeyEvent TranslateVst3Key(char16_t character, int16_t keyCode, int16_t modifiers);

// [any] The virtual key of a VST 3 key code; text is the key's text, used
// where the code leaves the key to the character (none and equals).
int32_t VirtualKeyForVst3Code(int16_t keyCode, const char* text);

} // namespace plugin::vst3
