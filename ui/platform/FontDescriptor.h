#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ui {

// Names and metrics of one face of a TrueType/OpenType file, read from its
// table directory and its "head", "name" and "hhea" tables (big-endian).
struct FontDescriptor {
    // Start of the face's table directory within the font bytes; null when
    // the face does not exist.
    const uint8_t* face = nullptr;
    uint32_t headOffset = 0; // 0: missing
    uint32_t nameOffset = 0;
    uint32_t hheaOffset = 0;
    std::string family;    // name id 1
    std::string style;     // name id 2
    uint16_t macStyle = 0; // bit 0 bold, 1 italic, 2 underline
    uint16_t unitsPerEm = 0;
    int16_t ascender = 0;
    int16_t descender = 0; // negative below the baseline
    int16_t lineGap = 0;

    bool IsValid() const {
        return face != nullptr && headOffset != 0 && nameOffset != 0 && hheaOffset != 0;
    }
};

// [any] Reads face faceIndex of the font in bytes[0, size). Every read is
// bounds-checked: truncated or hostile bytes give an invalid descriptor.
FontDescriptor ReadFontDescriptor(const uint8_t* bytes, size_t size, int32_t faceIndex);

} // namespace ui
