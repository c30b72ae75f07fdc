#pragma once

// Roboto through FreeType, set as Cairo glyphs: unhinted outlines and
// unhinted advances, so the legends keep their shapes and spacing at every
// scale and the program writes the same pixels on every run.

#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <string_view>

#include "equalizer/resources/artwork/CairoHandles.h"
#include "equalizer/resources/artwork/PanelLayout.h"

namespace artwork {

// The three Roboto weights the panel prints with. Outlives every surface
// drawn with it: its destructor empties Cairo's font caches before it closes
// FreeType.
class FontLibrary {
public:
    explicit FontLibrary(const std::string& directory);
    ~FontLibrary();
    FontLibrary(const FontLibrary&) = delete;
    FontLibrary& operator=(const FontLibrary&) = delete;

    cairo_font_face_t* Regular() const { return regular.get(); }
    cairo_font_face_t* Medium() const { return medium.get(); }
    cairo_font_face_t* Bold() const { return bold.get(); }

private:
    FontFacePtr Load(const std::string& path);

    FT_Library library = nullptr;
    FontFacePtr regular, medium, bold;
};

struct TextStyle {
    cairo_font_face_t* face = nullptr;
    double size = 8.0;     // em size in logical units
    double tracking = 0.0; // extra space after each character, logical units
};

struct TextMetrics {
    double width = 0.0;     // advance of the whole string, tracking included
    double capHeight = 0.0; // height of a capital, which the digits share
};

// Applies the style and the program's font options to the context.
void UseTextStyle(cairo_t* cr, const TextStyle& style);

TextMetrics MeasureText(cairo_t* cr, const TextStyle& style, std::string_view text);

// Draws the text in the current source with the middle of its cap-height box
// at the given point.
void ShowTextCentred(cairo_t* cr, const TextStyle& style, std::string_view text, Point centre);

// Draws the text with its baseline starting at the given point.
void ShowTextAt(cairo_t* cr, const TextStyle& style, std::string_view text, Point baseline);

} // namespace artwork
