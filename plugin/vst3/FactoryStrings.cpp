#include "plugin/vst3/FactoryStrings.h"

#include <cstdint>
#include <cstring>

namespace plugin::vst3 {

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes one UTF-8 sequence at text, stores its code point and returns the
// number of bytes it used (at least 1, so that decoding always advances).
std::size_t DecodeUtf8(const unsigned char* text, char32_t& codePoint) noexcept {
    const unsigned char lead = text[0];
    std::size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        codePoint = kReplacementCharacter;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        // A zero terminator fails this test too, so a cut-short sequence at
        // the end of the text never reads past it.
        if ((text[i] & 0xC0) != 0x80) {
            codePoint = kReplacementCharacter;
            return i;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    codePoint = (value < smallest || value > 0x10FFFF || surrogate) ? kReplacementCharacter : value;
    return length;
}

} // namespace

void CopyUtf8Field(char* field, std::size_t capacity, const char* text) noexcept {
    if (!field || capacity == 0)
        return;
    std::memset(field, 0, capacity);
    if (!text)
        return;
    std::size_t length = ::strnlen(text, capacity);
    if (length >= capacity) {
        length = capacity - 1;
        // Back off over continuation bytes to the start of the cut sequence.
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    }
    std::memcpy(field, text, length);
}

void CopyUtf16Field(char16_t* field, std::size_t capacity, const char* text) noexcept {
    if (!field || capacity == 0)
        return;
    std::memset(field, 0, capacity * sizeof(char16_t));
    if (!text)
        return;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t written = 0;
    while (*bytes != 0) {
        char32_t codePoint = 0;
        const std::size_t used = DecodeUtf8(bytes, codePoint);
        const std::size_t units = codePoint >= 0x10000 ? 2 : 1;
        if (written + units > capacity - 1)
            break;
        if (units == 2) {
            const char32_t offset = codePoint - 0x10000;
            field[written++] = static_cast<char16_t>(0xD800 + (offset >> 10));
            field[written++] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
        } else {
            field[written++] = static_cast<char16_t>(codePoint);
        }
        bytes += used;
    }
}

} // namespace plugin::vst3
