#include "ui/platform/SystemFonts.h"

#include <fontconfig/fontconfig.h>

#include <cstring>
#include <memory>

namespace ui {

namespace {

struct PatternRelease {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using Pattern = std::unique_ptr<FcPattern, PatternRelease>;

// FC_INDEX carries a variable font's named instance in its upper 16 bits.
constexpr int kFaceIndexMask = 0xFFFF;

bool HasFamily(FcPattern* font, const std::string& family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (family == reinterpret_cast<const char*>(name)) {
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<SystemFontFile> MatchSystemFont(const std::string& family, bool bold, bool italic) {
    Pattern wanted(FcPatternCreate());
    if (!wanted ||
        !FcPatternAddString(wanted.get(), FC_FAMILY,
                            reinterpret_cast<const FcChar8*>(family.c_str())) ||
        !FcPatternAddInteger(wanted.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR) ||
        !FcPatternAddInteger(wanted.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN) ||
        !FcConfigSubstitute(nullptr, wanted.get(), FcMatchPattern)) {
        return std::nullopt;
    }
    FcDefaultSubstitute(wanted.get());
    FcResult result = FcResultNoMatch;
    Pattern match(FcFontMatch(nullptr, wanted.get(), &result));
    if (!match || result != FcResultMatch || !HasFamily(match.get(), family)) {
        return std::nullopt;
    }
    FcChar8* file = nullptr;
    int index = 0;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) {
        return std::nullopt;
    }
    if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) {
        index = 0;
    }
    return SystemFontFile{reinterpret_cast<const char*>(file), index & kFaceIndexMask};
}

} // namespace ui
