#pragma once

// Typefaces of the drawing backend: Cairo font faces over FreeType, made
// from a font file's bytes, and the process-wide cache that holds them.

#include "ui/platform/CairoHandles.h"
#include "ui/platform/FontCache.h"
#include "ui/platform/PlatformFont.h"

#include <cstdint>

namespace ui {

// One cached typeface: the face (which keeps the FreeType face and the font
// bytes alive for as long as Cairo holds it) and the metrics of the size rule.
struct Typeface {
    CairoFontFace face;
    uint16_t unitsPerEm = 0;
    int16_t ascender = 0;
    int16_t descender = 0;

    // [any] A style's size is the distance from the ascender line to the
    // descender line; Cairo's size is the em size. A font whose metrics give
    // no positive height keeps the style's size.
    double EmSizeFor(double styleSize) const {
        const int32_t height = int32_t{ascender} - int32_t{descender};
        return unitsPerEm > 0 && height > 0 ? styleSize * unitsPerEm / height : styleSize;
    }
};

using TypefaceCache = FontCache<Typeface>;

// [any] The cache of every editor's backend in the process.
TypefaceCache& ProcessTypefaceCache();

// [any] A Cairo face for face data.faceIndex of data.bytes, which the face
// takes over; empty when FreeType cannot read the face.
CairoFontFace CreateFontFace(FontData&& data);

} // namespace ui
