#include "equalizer/resources/artwork/SwitchArt.h"

#include "equalizer/resources/artwork/Palette.h"
#include "equalizer/resources/artwork/PanelArt.h"
#include "equalizer/resources/artwork/PanelLayout.h"

#include <cmath>

namespace artwork {

namespace {

constexpr double kCentre = layout::kSwitchUnits / 2;
constexpr double kWellHalf = 11.5, kWellCorner = 4.0; // recess in the panel
constexpr double kCapHalf = 8.6, kCapCorner = 2.6;    // the lamp's lens
// The glow ends inside the frame, so the panel around it stays the panel.
constexpr double kGlowReach = 13.6;

void RoundedSquare(cairo_t* cr, double half, double corner) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, half - corner, -half + corner, corner, -kPi / 2, 0);
    cairo_arc(cr, half - corner, half - corner, corner, 0, kPi / 2);
    cairo_arc(cr, -half + corner, half - corner, corner, kPi / 2, kPi);
    cairo_arc(cr, -half + corner, -half + corner, corner, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void DrawWell(cairo_t* cr, bool on) {
    // The lip: in shadow on the far side from the light, lit on the near one.
    RoundedSquare(cr, kWellHalf + 0.8, kWellCorner + 0.8);
    PatternPtr lip =
        CheckedPattern(cairo_pattern_create_linear(-kWellHalf, -kWellHalf, kWellHalf, kWellHalf));
    cairo_pattern_add_color_stop_rgba(lip.get(), 0.0, 0, 0, 0, 0.55);
    cairo_pattern_add_color_stop_rgba(lip.get(), 1.0, 1, 1, 1, 0.16);
    cairo_set_source(cr, lip.get());
    cairo_fill(cr);

    RoundedSquare(cr, kWellHalf, kWellCorner);
    SetColour(cr, on ? FromHex(0x2A1A0C) : FromHex(0x121315));
    cairo_fill_preserve(cr);
    // Depth: the upper-left inner wall falls into shadow.
    PatternPtr depth = CheckedPattern(
        cairo_pattern_create_linear(-kWellHalf, -kWellHalf, kWellHalf * 0.3, kWellHalf * 0.3));
    cairo_pattern_add_color_stop_rgba(depth.get(), 0.0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(depth.get(), 1.0, 0, 0, 0, 0.0);
    cairo_set_source(cr, depth.get());
    cairo_fill(cr);
}

void DrawLens(cairo_t* cr, bool on) {
    // The button stands a little above the floor of the well.
    RoundedSquare(cr, kCapHalf + 0.9, kCapCorner + 0.9);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.65);
    cairo_fill(cr);

    RoundedSquare(cr, kCapHalf, kCapCorner);
    PatternPtr lens =
        CheckedPattern(cairo_pattern_create_radial(-1.0, -1.2, 0.5, 0, 0, kCapHalf * 1.45));
    if (on) {
        AddStop(lens.get(), 0.0, palette::kLampHot);
        AddStop(lens.get(), 0.45, palette::kLampWarm);
        AddStop(lens.get(), 1.0, palette::kLampEdge);
    } else {
        AddStop(lens.get(), 0.0, Shade(palette::kLampCold, 0.10));
        AddStop(lens.get(), 1.0, Shade(palette::kLampCold, -0.45));
    }
    cairo_set_source(cr, lens.get());
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, on ? 0.35 : 0.6);
    cairo_set_line_width(cr, 0.6);
    cairo_stroke(cr);

    // The light's reflection on the upper half of the lens.
    cairo_save(cr);
    RoundedSquare(cr, kCapHalf - 0.8, kCapCorner - 0.4);
    cairo_clip(cr);
    PatternPtr glare = CheckedPattern(cairo_pattern_create_linear(0, -kCapHalf, 0, 0.5));
    cairo_pattern_add_color_stop_rgba(glare.get(), 0.0, 1, 1, 1, on ? 0.30 : 0.16);
    cairo_pattern_add_color_stop_rgba(glare.get(), 1.0, 1, 1, 1, 0.0);
    cairo_rectangle(cr, -kCapHalf, -kCapHalf, 2 * kCapHalf, kCapHalf * 0.9);
    cairo_set_source(cr, glare.get());
    cairo_fill(cr);
    cairo_restore(cr);
}

// Warm light spilling from the lit lens over the well and the lip.
void DrawGlow(cairo_t* cr) {
    PatternPtr glow =
        CheckedPattern(cairo_pattern_create_radial(0, 0, kCapHalf * 0.6, 0, 0, kGlowReach));
    const Rgb warm = palette::kLampWarm;
    cairo_pattern_add_color_stop_rgba(glow.get(), 0.0, warm.r, warm.g, warm.b, 0.55);
    cairo_pattern_add_color_stop_rgba(glow.get(), 0.55, warm.r, warm.g, warm.b, 0.30);
    cairo_pattern_add_color_stop_rgba(glow.get(), 1.0, warm.r, warm.g, warm.b, 0.0);
    cairo_arc(cr, 0, 0, kGlowReach, 0, 2 * kPi);
    cairo_set_source(cr, glow.get());
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

void DrawButton(cairo_t* cr, bool on) {
    DrawWell(cr, on);
    if (on)
        DrawGlow(cr);
    DrawLens(cr, on);
}

} // namespace

SurfacePtr RenderSwitch(const FontLibrary& fonts, double scale) {
    const SurfacePtr panel = RenderPanel(fonts, scale);
    const int side = static_cast<int>(std::lround(layout::kSwitchUnits * scale));
    SurfacePtr image = MakeImage(CAIRO_FORMAT_RGB24, side, 2 * side);
    ContextPtr context = MakeContext(image.get());
    cairo_t* cr = context.get();
    for (int frame = 0; frame < 2; ++frame) {
        SavedState saved(cr);
        const double top = side * frame;
        cairo_rectangle(cr, 0, top, side, side);
        cairo_clip(cr);
        // The panel pixels under the button's square, copied as they are.
        cairo_set_source_surface(cr, panel.get(), -layout::kSwitchTopLeft.x * scale,
                                 top - layout::kSwitchTopLeft.y * scale);
        cairo_paint(cr);
        cairo_translate(cr, 0, top);
        cairo_scale(cr, scale, scale);
        cairo_translate(cr, kCentre, kCentre);
        DrawButton(cr, frame == 1);
    }
    ThrowIfFailed(cairo_status(cr), "push button");
    cairo_surface_flush(image.get());
    return image;
}

} // namespace artwork
