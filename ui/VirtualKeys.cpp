#include "ui/VirtualKeys.h"

namespace ui {

namespace {

struct Punctuation {
    char plain;
    char shifted;
    int32_t key;
};

// US layout: the punctuation keys and the digit row's shifted characters.
constexpr Punctuation kPunctuation[] = {
    {';', ':', kVKOem1},     {'=', '+', kVKOemPlus},   {',', '<', kVKOemComma},
    {'-', '_', kVKOemMinus}, {'.', '>', kVKOemPeriod}, {'/', '?', kVKOem2},
    {'`', '~', kVKOem3},     {'[', '{', kVKOem4},      {'\\', '|', kVKOem5},
    {']', '}', kVKOem6},     {'\'', '"', kVKOem7},
};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

} // namespace

int32_t KeyScanForCharacter(char character) {
    if (character >= 'a' && character <= 'z')
        return kVKA + (character - 'a');
    if (character >= 'A' && character <= 'Z')
        return kKeyScanShift + kVKA + (character - 'A');
    if (character >= '0' && character <= '9')
        return kVK0 + (character - '0');
    for (int digit = 0; digit < 10; ++digit)
        if (kShiftedDigits[digit] == character)
            return kKeyScanShift + kVK0 + digit;
    for (const Punctuation& entry : kPunctuation) {
        if (entry.plain == character)
            return entry.key;
        if (entry.shifted == character)
            return kKeyScanShift + entry.key;
    }
    switch (character) {
    case ' ':
        return kVKSpace;
    case '\t':
        return kVKTab;
    case '\r':
        return kVKReturn;
    case '\b':
        return kVKBack;
    case 0x1B:
        return kVKEscape;
    default:
        return -1;
    }
}

} // namespace ui
