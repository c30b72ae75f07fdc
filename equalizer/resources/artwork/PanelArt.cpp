#include "equalizer/resources/artwork/PanelArt.h"

#include "equalizer/resources/artwork/Palette.h"
#include "equalizer/resources/artwork/PanelLayout.h"
#include "equalizer/resources/artwork/PixelEffects.h"

#include <cmath>

namespace artwork {

namespace {

constexpr uint64_t kGrainSeed = 0x4C554D41524F3031ull;

// Module boundaries between the sections, engraved from top to bottom.
constexpr double kDividers[] = {134.0, 243.0, 346.0, 451.0, 556.0};
constexpr double kDividerTop = 12.0, kDividerBottom = 203.0;
// Screws at the ends of the channel, as on a strip laid on its side.
constexpr Point kScrews[] = {{10.0, 107.5}, {654.0, 107.5}};
constexpr double kScrewSlotDegrees[] = {28.0, -61.0};

void DrawBase(cairo_t* cr) {
    PatternPtr fill = CheckedPattern(cairo_pattern_create_linear(0, 0, 0, kPanelHeight));
    AddStop(fill.get(), 0.0, palette::kPanelTop);
    AddStop(fill.get(), 1.0, palette::kPanelBottom);
    cairo_set_source(cr, fill.get());
    cairo_paint(cr);
}

void DrawVignette(cairo_t* cr) {
    SavedState saved(cr);
    // An ellipse over the panel's proportions, darkening towards the edges
    // and a little more away from the light.
    cairo_translate(cr, kPanelWidth * 0.46, kPanelHeight * 0.42);
    cairo_scale(cr, 1.0, kPanelHeight / kPanelWidth * 1.9);
    PatternPtr shade = CheckedPattern(
        cairo_pattern_create_radial(0, 0, kPanelWidth * 0.22, 0, 0, kPanelWidth * 0.62));
    cairo_pattern_add_color_stop_rgba(shade.get(), 0.0, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(shade.get(), 1.0, 0, 0, 0, 0.30);
    cairo_set_source(cr, shade.get());
    cairo_paint(cr);
}

// A lit top and left edge, a shaded bottom and right: the panel's bevel.
void DrawPanelEdges(cairo_t* cr) {
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_move_to(cr, 0, 0.5);
    cairo_line_to(cr, kPanelWidth, 0.5);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.05);
    cairo_move_to(cr, 0.5, 1);
    cairo_line_to(cr, 0.5, kPanelHeight);
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_move_to(cr, 0, kPanelHeight - 0.5);
    cairo_line_to(cr, kPanelWidth, kPanelHeight - 0.5);
    cairo_stroke(cr);
    cairo_move_to(cr, kPanelWidth - 0.5, 0);
    cairo_line_to(cr, kPanelWidth - 0.5, kPanelHeight - 1);
    cairo_stroke(cr);
}

// A groove: its upper-left wall in shadow, its lower-right lip in the light.
void DrawDividers(cairo_t* cr) {
    cairo_set_line_width(cr, 1.0);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (double x : kDividers) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
        cairo_move_to(cr, x + 0.5, kDividerTop);
        cairo_line_to(cr, x + 0.5, kDividerBottom);
        cairo_stroke(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
        cairo_move_to(cr, x + 1.5, kDividerTop);
        cairo_line_to(cr, x + 1.5, kDividerBottom);
        cairo_stroke(cr);
    }
}

void DrawScrew(cairo_t* cr, Point centre, double slotDegrees) {
    SavedState saved(cr);
    cairo_translate(cr, centre.x, centre.y);
    constexpr double kHead = 4.1;
    // The countersink: darker towards the light, where its wall faces away.
    PatternPtr sink = CheckedPattern(cairo_pattern_create_linear(-kHead, -kHead, kHead, kHead));
    cairo_pattern_add_color_stop_rgba(sink.get(), 0.0, 0, 0, 0, 0.55);
    cairo_pattern_add_color_stop_rgba(sink.get(), 1.0, 1, 1, 1, 0.10);
    cairo_arc(cr, 0, 0, kHead + 0.9, 0, 2 * kPi);
    cairo_set_source(cr, sink.get());
    cairo_fill(cr);

    PatternPtr head = CheckedPattern(cairo_pattern_create_radial(-1.4, -1.6, 0.3, 0, 0, kHead));
    AddStop(head.get(), 0.0, FromHex(0x9DA1A6));
    AddStop(head.get(), 0.6, FromHex(0x6B6F75));
    AddStop(head.get(), 1.0, FromHex(0x43464B));
    cairo_arc(cr, 0, 0, kHead, 0, 2 * kPi);
    cairo_set_source(cr, head.get());
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);

    cairo_rotate(cr, slotDegrees * kPi / 180.0);
    cairo_rectangle(cr, -kHead * 0.82, -0.6, kHead * 1.64, 1.2);
    SetColour(cr, FromHex(0x17181A));
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.22);
    cairo_set_line_width(cr, 0.35);
    cairo_move_to(cr, -kHead * 0.8, 0.75);
    cairo_line_to(cr, kHead * 0.8, 0.75);
    cairo_stroke(cr);
}

// The coloured cap of a gain knob, seen through the knob's open centre: a
// low dome lit from the top left.
void DrawGainCap(cairo_t* cr, const GainKnob& knob) {
    SavedState saved(cr);
    const Point c = knob.Centre();
    cairo_translate(cr, c.x, c.y);
    PatternPtr dome = CheckedPattern(cairo_pattern_create_radial(-3.6, -4.2, 0.5, 0, 0, 13.0));
    AddStop(dome.get(), 0.0, Shade(knob.cap, 0.28));
    AddStop(dome.get(), 0.5, knob.cap);
    AddStop(dome.get(), 1.0, Shade(knob.cap, -0.30));
    cairo_arc(cr, 0, 0, kGainCapRadius, 0, 2 * kPi);
    cairo_set_source(cr, dome.get());
    cairo_fill(cr);

    PatternPtr glint =
        CheckedPattern(cairo_pattern_create_radial(-3.8, -4.4, 0.0, -3.8, -4.4, 5.0));
    cairo_pattern_add_color_stop_rgba(glint.get(), 0.0, 1, 1, 1, 0.30);
    cairo_pattern_add_color_stop_rgba(glint.get(), 1.0, 1, 1, 1, 0.0);
    cairo_arc(cr, 0, 0, kGainCapRadius, 0, 2 * kPi);
    cairo_set_source(cr, glint.get());
    cairo_fill(cr);
}

} // namespace

SurfacePtr RenderPanel(const FontLibrary& fonts, double scale) {
    const int width = static_cast<int>(std::lround(kPanelWidth * scale));
    const int height = static_cast<int>(std::lround(kPanelHeight * scale));
    SurfacePtr surface = MakeImage(CAIRO_FORMAT_RGB24, width, height);
    ContextPtr context = MakeContext(surface.get());
    cairo_t* cr = context.get();
    cairo_scale(cr, scale, scale);

    DrawBase(cr);
    BrushMetal(surface.get(), scale, kGrainSeed);
    DrawVignette(cr);
    DrawPanelEdges(cr);
    DrawDividers(cr);
    for (size_t i = 0; i < std::size(kScrews); ++i)
        DrawScrew(cr, kScrews[i], kScrewSlotDegrees[i]);
    for (const GainKnob& knob : layout::kGainKnobs)
        DrawGainCap(cr, knob);
    DrawLegends(cr, fonts);

    ThrowIfFailed(cairo_status(cr), "panel drawing");
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace artwork
