#pragma once

// Text in the window's own small surfaces (the text field, menus, message
// boxes): a font id's font from the window-font cache, sized by the editor's
// rule (the size is the distance from the ascender line to the descender
// line), measured and drawn with Cairo.

#include "ui/EditorTypes.h"
#include "ui/platform/CairoHandles.h"

#include <string>

namespace ui {

class WindowFonts;

class SurfaceFont {
public:
    // [ui] The font cached for the text field under fontId (looked up under
    // the cache's lock), else the system's sans-serif; cellHeight in pixels.
    SurfaceFont(const WindowFonts& fonts, const char* fontId, double cellHeight);

    // [ui] Advance width of well-formed UTF-8 text, in pixels.
    double Width(const std::string& utf8) const;
    double Ascent() const noexcept { return ascent; }
    double Descent() const noexcept { return descent; }
    double CellHeight() const noexcept { return cellHeight; }
    // [ui] Draws the text with its baseline starting at (x, y).
    void Draw(cairo_t* cr, const std::string& utf8, double x, double y,
              const IColour& colour) const;

private:
    CairoFontFace face;
    CairoScaledFont scaled;
    CairoFontOptions options;
    double emSize = 0.0;
    double cellHeight = 0.0;
    double ascent = 0.0;
    double descent = 0.0;
};

// [any] A Cairo source colour from an IColour (channels clamped to 0..255).
void SetSourceColour(cairo_t* cr, const IColour& colour);

} // namespace ui
