#include "equalizer/resources/artwork/Typography.h"

#include <cairo-ft.h>

#include <stdexcept>
#include <vector>

namespace artwork {

namespace {

const cairo_user_data_key_t kFreeTypeFaceKey{};

void CloseFreeTypeFace(void* face) {
    FT_Done_Face(static_cast<FT_Face>(face));
}

// Glyphs of a string laid out from the origin with the style's tracking, and
// the advance after the last one.
struct GlyphRun {
    std::vector<cairo_glyph_t> glyphs;
    double advance = 0.0;
};

GlyphRun LayOut(cairo_t* cr, const TextStyle& style, std::string_view text, Point origin) {
    UseTextStyle(cr, style);
    cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    const cairo_status_t status = cairo_scaled_font_text_to_glyphs(
        font, origin.x, origin.y, text.data(), static_cast<int>(text.size()), &glyphs, &count,
        nullptr, nullptr, nullptr);
    ThrowIfFailed(status, "text layout");
    GlyphRun run;
    run.glyphs.assign(glyphs, glyphs + count);
    cairo_glyph_free(glyphs);
    for (int i = 0; i < count; ++i)
        run.glyphs[i].x += style.tracking * i;
    if (count > 0) {
        cairo_text_extents_t last;
        cairo_scaled_font_glyph_extents(font, &run.glyphs[count - 1], 1, &last);
        run.advance = run.glyphs[count - 1].x + last.x_advance - origin.x + style.tracking;
    }
    return run;
}

double CapHeight(cairo_t* cr, const TextStyle& style) {
    UseTextStyle(cr, style);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "H", &extents);
    return extents.height;
}

} // namespace

FontLibrary::FontLibrary(const std::string& directory) {
    if (FT_Init_FreeType(&library) != 0)
        throw std::runtime_error("FreeType could not be initialised");
    try {
        regular = Load(directory + "/Roboto-Regular.ttf");
        medium = Load(directory + "/Roboto-Medium.ttf");
        bold = Load(directory + "/Roboto-Bold.ttf");
    } catch (...) {
        regular.reset();
        medium.reset();
        bold.reset();
        cairo_debug_reset_static_data();
        FT_Done_FreeType(library);
        throw;
    }
}

FontLibrary::~FontLibrary() {
    regular.reset();
    medium.reset();
    bold.reset();
    // Cairo keeps scaled fonts cached after their last user; emptying the
    // caches closes the FreeType faces before the library goes.
    cairo_debug_reset_static_data();
    FT_Done_FreeType(library);
}

FontFacePtr FontLibrary::Load(const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0)
        throw std::runtime_error("cannot open the font " + path);
    FontFacePtr cairoFace(cairo_ft_font_face_create_for_ft_face(face, 0));
    if (cairo_font_face_status(cairoFace.get()) != CAIRO_STATUS_SUCCESS) {
        FT_Done_Face(face);
        throw std::runtime_error("cannot use the font " + path);
    }
    const cairo_status_t status =
        cairo_font_face_set_user_data(cairoFace.get(), &kFreeTypeFaceKey, face, CloseFreeTypeFace);
    if (status != CAIRO_STATUS_SUCCESS) {
        FT_Done_Face(face);
        throw std::runtime_error("cannot use the font " + path);
    }
    return cairoFace;
}

void UseTextStyle(cairo_t* cr, const TextStyle& style) {
    cairo_set_font_face(cr, style.face);
    cairo_set_font_size(cr, style.size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

TextMetrics MeasureText(cairo_t* cr, const TextStyle& style, std::string_view text) {
    const GlyphRun run = LayOut(cr, style, text, {0.0, 0.0});
    // The tracking after the last character is not part of the printed width.
    return {run.advance - style.tracking, CapHeight(cr, style)};
}

void ShowTextCentred(cairo_t* cr, const TextStyle& style, std::string_view text, Point centre) {
    const TextMetrics metrics = MeasureText(cr, style, text);
    ShowTextAt(cr, style, text, {centre.x - metrics.width / 2, centre.y + metrics.capHeight / 2});
}

void ShowTextAt(cairo_t* cr, const TextStyle& style, std::string_view text, Point baseline) {
    GlyphRun run = LayOut(cr, style, text, baseline);
    cairo_show_glyphs(cr, run.glyphs.data(), static_cast<int>(run.glyphs.size()));
}

} // namespace artwork
