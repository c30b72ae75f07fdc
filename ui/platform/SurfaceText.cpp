#include "ui/platform/SurfaceText.h"

#include "ui/platform/TextUtf8.h"
#include "ui/platform/Typefaces.h"
#include "ui/platform/WindowFonts.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

constexpr double kMaxChannel = 255.0;

} // namespace

void SetSourceColour(cairo_t* cr, const IColour& c) {
    cairo_set_source_rgba(
        cr, std::clamp(c.R, 0, 255) / kMaxChannel, std::clamp(c.G, 0, 255) / kMaxChannel,
        std::clamp(c.B, 0, 255) / kMaxChannel, std::clamp(c.A, 0, 255) / kMaxChannel);
}

SurfaceFont::SurfaceFont(const WindowFonts& fonts, const char* fontId, double height)
    : options(cairo_font_options_create()), cellHeight(height) {
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_SLIGHT);
    double unitsPerEm = 0.0;
    double fontHeight = 0.0;
    if (const auto record = fonts.FindWindowFont(fontId); record && record->bytes) {
        FontData data;
        data.bytes = *record->bytes;
        data.faceIndex = record->faceIndex;
        data.descriptor = ReadFontDescriptor(data.bytes.data(), data.bytes.size(), data.faceIndex);
        if (data.descriptor.IsValid()) {
            unitsPerEm = data.descriptor.unitsPerEm;
            fontHeight = int32_t{data.descriptor.ascender} - int32_t{data.descriptor.descender};
            face = CreateFontFace(std::move(data));
        }
    }
    if (!face) {
        face = CairoFontFace(cairo_toy_font_face_create("sans-serif", CAIRO_FONT_SLANT_NORMAL,
                                                        CAIRO_FONT_WEIGHT_NORMAL));
        unitsPerEm = 0.0;
    }
    cairo_matrix_t unit, identity;
    cairo_matrix_init_identity(&identity);
    if (unitsPerEm <= 0.0 || fontHeight <= 0.0) {
        // The face's own extents at one unit give its height per em.
        cairo_matrix_init_scale(&unit, 1.0, 1.0);
        CairoScaledFont probe(
            cairo_scaled_font_create(face.get(), &unit, &identity, options.get()));
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(probe.get(), &extents);
        unitsPerEm = 1.0;
        fontHeight =
            extents.ascent + extents.descent > 0.0 ? extents.ascent + extents.descent : 1.0;
    }
    emSize = cellHeight * unitsPerEm / fontHeight;
    cairo_matrix_init_scale(&unit, emSize, emSize);
    scaled = CairoScaledFont(cairo_scaled_font_create(face.get(), &unit, &identity, options.get()));
    if (cairo_scaled_font_status(scaled.get()) != CAIRO_STATUS_SUCCESS) {
        scaled.reset();
        return;
    }
    cairo_font_extents_t extents;
    cairo_scaled_font_extents(scaled.get(), &extents);
    ascent = extents.ascent;
    descent = extents.descent;
}

double SurfaceFont::Width(const std::string& utf8) const {
    if (!scaled || utf8.empty())
        return 0.0;
    cairo_text_extents_t extents;
    cairo_scaled_font_text_extents(scaled.get(), WellFormedUtf8(utf8).c_str(), &extents);
    return extents.x_advance;
}

void SurfaceFont::Draw(cairo_t* cr, const std::string& utf8, double x, double y,
                       const IColour& colour) const {
    if (!scaled || utf8.empty())
        return;
    cairo_set_scaled_font(cr, scaled.get());
    SetSourceColour(cr, colour);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, WellFormedUtf8(utf8).c_str());
}

} // namespace ui
