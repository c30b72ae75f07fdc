#include "ui/platform/FontCache.h"

#include <charconv>

namespace ui {

uint64_t Fnv1a64(std::string_view text) {
    constexpr uint64_t kOffsetBasis = 0xcbf29ce484222325ull;
    constexpr uint64_t kPrime = 0x100000001b3ull;
    uint64_t hash = kOffsetBasis;
    for (const char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= kPrime;
    }
    return hash;
}

std::string FontCacheKey(std::string_view fontId, double scale) {
    // "-%.1fx", without the process locale's say in the decimal point.
    char number[400];
    const auto result =
        std::to_chars(number, number + sizeof number, scale, std::chars_format::fixed, 1);
    std::string key(fontId);
    key += '-';
    key.append(number, result.ec == std::errc() ? result.ptr : number);
    key += 'x';
    return key;
}

} // namespace ui
