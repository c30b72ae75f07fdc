#pragma once

// Installed fonts, found by family name through fontconfig.

#include <cstdint>
#include <optional>
#include <string>

namespace ui {

struct SystemFontFile {
    std::string path;
    int32_t faceIndex = 0; // the face within the file
};

// [any] fontconfig's best match for the family, weight and slant, when one of
// the matched font's family names equals family byte for byte (fontconfig
// always answers with some font; another family is no answer).
std::optional<SystemFontFile> MatchSystemFont(const std::string& family, bool bold, bool italic);

} // namespace ui
