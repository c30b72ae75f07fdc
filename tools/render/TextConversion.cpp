#include "tools/render/TextConversion.h"

#include "plugin/vst3/FactoryStrings.h"

namespace render {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kString128Units = 128;

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u < 0xDC00;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u < 0xE000;
}

} // namespace

std::string Utf8FromString128(const Steinberg::Vst::String128 text) {
    std::string out;
    for (int i = 0; i < kString128Units && text[i] != 0; ++i) {
        const char32_t unit = static_cast<char16_t>(text[i]);
        if (IsHighSurrogate(unit) && i + 1 < kString128Units &&
            IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            const char32_t low = static_cast<char16_t>(text[++i]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

void String128FromUtf8(const std::string& text, Steinberg::Vst::String128 out) {
    plugin::vst3::CopyUtf16Field(reinterpret_cast<char16_t*>(out), kString128Units, text.c_str());
}

} // namespace render
