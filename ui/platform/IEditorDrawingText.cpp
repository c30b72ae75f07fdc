// Text of the drawing backend: typefaces from font bytes, the size rule,
// layout in the layout box, measuring and drawing.

#include "ui/platform/IEditorDrawing.h"

#include "ui/platform/CairoPaint.h"
#include "ui/platform/TextUtf8.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>

namespace ui {

namespace {

constexpr double kFontScale = 1.0;
constexpr double kMaxChannel = 255.0;

struct GlyphsRelease {
    void operator()(cairo_glyph_t* glyphs) const { cairo_glyph_free(glyphs); }
};

// A font that was never loaded: Cairo's own sans-serif face through
// fontconfig, sized by the same rule from its own extents.
const CairoFontFace& FallbackFace() {
    static const CairoFontFace face(cairo_toy_font_face_create(
        "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL));
    return face;
}

CairoScaledFont MakeScaledFont(cairo_font_face_t* face, double emSize,
                               const cairo_font_options_t* options) {
    cairo_matrix_t fontMatrix, ctm;
    cairo_matrix_init_scale(&fontMatrix, emSize, emSize);
    cairo_matrix_init_identity(&ctm);
    CairoScaledFont font(cairo_scaled_font_create(face, &fontMatrix, &ctm, options));
    if (cairo_scaled_font_status(font.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return font;
}

// The font of a style, measured in logical units (the metrics are unhinted,
// so they do not depend on the device scale).
struct StyleFont {
    CairoFontFace face;
    double emSize = 0.0;
    CairoScaledFont scaled;
};

StyleFont SetUpFont(const ITextStyle& style, const cairo_font_options_t* options) {
    StyleFont font;
    if (!std::isfinite(style.size) || style.size <= 0.0f) {
        return font;
    }
    const std::string fontId(style.font, strnlen(style.font, ITextStyle::kFontIdBytes));
    TypefaceCache& cache = ProcessTypefaceCache();
    std::lock_guard lock(cache.Lock());
    if (const Typeface* typeface = cache.Find(fontId, kFontScale)) {
        font.face = typeface->face;
        font.emSize = typeface->EmSizeFor(style.size);
    } else {
        font.face = FallbackFace();
        CairoScaledFont unit = MakeScaledFont(font.face.get(), 1.0, options);
        if (!unit) {
            return {};
        }
        cairo_font_extents_t extents;
        cairo_scaled_font_extents(unit.get(), &extents);
        const double height = extents.ascent + extents.descent;
        font.emSize = height > 0.0 ? style.size / height : style.size;
    }
    font.scaled = MakeScaledFont(font.face.get(), font.emSize, options);
    return font;
}

struct TextLayout {
    double x = 0.0; // baseline origin
    double y = 0.0;
    IRectangle box;
};

// Alignment in the layout box. The style's size, not the font's measured
// height, centres the text vertically.
TextLayout LayOut(const ITextStyle& style, cairo_scaled_font_t* font, const std::string& text,
                  const IRectangle& bounds) {
    cairo_text_extents_t textExtents;
    cairo_scaled_font_text_extents(font, text.c_str(), &textExtents);
    cairo_font_extents_t fontExtents;
    cairo_scaled_font_extents(font, &fontExtents);
    const double advance = textExtents.x_advance;
    const double ascent = -fontExtents.ascent; // negative: above the baseline
    const double descent = fontExtents.descent;
    const double size = style.size;

    TextLayout layout;
    switch (style.align) {
    case kAlignNear:
        layout.x = bounds.L;
        break;
    case kAlignFar:
        layout.x = bounds.R - advance;
        break;
    default:
        layout.x = (bounds.L + bounds.R) * 0.5 - advance * 0.5;
        break;
    }
    switch (style.valign) {
    case kVAlignTop:
        layout.y = bounds.T - ascent;
        break;
    case kVAlignBottom:
        layout.y = bounds.B - descent;
        break;
    default:
        layout.y = (bounds.T + bounds.B) * 0.5 - descent + size * 0.5;
        break;
    }
    layout.box = IRectangle(static_cast<float>(layout.x), static_cast<float>(layout.y + ascent),
                            static_cast<float>(layout.x + advance),
                            static_cast<float>(layout.y + ascent + size));
    return layout;
}

} // namespace

bool IEditorDrawing::LoadTypeface(const char* fontId, const PlatformFont& font) {
    const std::string id = fontId ? fontId : "";
    TypefaceCache& cache = ProcessTypefaceCache();
    std::lock_guard lock(cache.Lock());
    if (cache.Find(id, kFontScale)) {
        return true;
    }
    FontData data = font.ReadFontData();
    if (data.bytes.empty() || data.faceIndex < 0 || !data.descriptor.IsValid()) {
        return false;
    }
    Typeface typeface;
    typeface.unitsPerEm = data.descriptor.unitsPerEm;
    typeface.ascender = data.descriptor.ascender;
    typeface.descender = data.descriptor.descender;
    typeface.face = CreateFontFace(std::move(data));
    if (!typeface.face) {
        return false;
    }
    cache.Add(id, kFontScale, std::move(typeface));
    return true;
}

float IEditorDrawing::MeasureTextRun(const ITextStyle& style, const char* utf8,
                                     IRectangle& bounds) {
    const StyleFont font = SetUpFont(style, fontOptions.get());
    if (!font.scaled) {
        return 0.0f;
    }
    const TextLayout layout =
        LayOut(style, font.scaled.get(), WellFormedUtf8(utf8 ? utf8 : ""), bounds);
    // Rotated text turns about the layout box's centre (RenderTextRun), so
    // the measured box is the unrotated one.
    bounds = layout.box;
    return bounds.W();
}

void IEditorDrawing::RenderTextRun(const ITextStyle& style, const char* utf8,
                                   const IRectangle& bounds, const IBlendMode* blend) {
    if (!CanDraw() || !utf8 || !*utf8) {
        return;
    }
    const StyleFont font = SetUpFont(style, fontOptions.get());
    if (!font.scaled) {
        return;
    }
    const std::string text = WellFormedUtf8(utf8);
    const TextLayout layout = LayOut(style, font.scaled.get(), text, bounds);

    cairo_glyph_t* glyphList = nullptr;
    int glyphCount = 0;
    if (cairo_scaled_font_text_to_glyphs(font.scaled.get(), layout.x, layout.y, text.c_str(),
                                         static_cast<int>(text.size()), &glyphList, &glyphCount,
                                         nullptr, nullptr, nullptr) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    const std::unique_ptr<cairo_glyph_t, GlyphsRelease> glyphs(glyphList);

    cairo_matrix_t saved;
    cairo_get_matrix(canvas, &saved);
    if (style.angle != 0.0f && std::isfinite(style.angle)) {
        const double cx = bounds.MW();
        const double cy = bounds.MH();
        cairo_translate(canvas, cx, cy);
        cairo_rotate(canvas, style.angle * std::numbers::pi / 180.0);
        cairo_translate(canvas, -cx, -cy);
    }
    cairo_set_font_face(canvas, font.face.get());
    cairo_set_font_size(canvas, font.emSize);
    cairo_set_font_options(canvas, fontOptions.get());
    const IColour& c = style.color;
    cairo_set_source_rgba(
        canvas, std::clamp(c.R, 0, 255) / kMaxChannel, std::clamp(c.G, 0, 255) / kMaxChannel,
        std::clamp(c.B, 0, 255) / kMaxChannel, WeightedAlpha(c.A, blend) / kMaxChannel);
    cairo_set_operator(canvas, CAIRO_OPERATOR_OVER);
    cairo_show_glyphs(canvas, glyphs.get(), glyphCount);
    cairo_set_matrix(canvas, &saved);
}

} // namespace ui
