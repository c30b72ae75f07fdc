#include "ui/platform/TextUtf8.h"

#include <cstdint>

namespace ui {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// The length of the well-formed sequence at text[i], or 0.
size_t SequenceLength(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[i + k]); };
    const auto continuation = [&](size_t k) {
        return i + k < text.size() && (byte(k) & 0xC0) == 0x80;
    };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return continuation(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2)) {
            return 0;
        }
        const uint8_t second = byte(1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0)) {
            return 0; // overlong, or a surrogate
        }
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3)) {
            return 0;
        }
        const uint8_t second = byte(1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
            return 0; // overlong, or above U+10FFFF
        }
        return 4;
    }
    return 0;
}

} // namespace

std::string WellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t length = SequenceLength(text, i);
        if (length == 0) {
            out += kReplacementUtf8;
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace ui
