#include "equalizer/resources/artwork/KnobArt.h"

#include "equalizer/resources/artwork/Palette.h"
#include "equalizer/resources/artwork/PanelLayout.h"
#include "equalizer/resources/artwork/PixelEffects.h"

#include <cmath>
#include <functional>

namespace artwork {

namespace {

// One frame's drawing: logical units, the knob's centre at the origin.
using Drawing = std::function<void(cairo_t*)>;

// A layer that does not turn with the knob (shadow, shading, highlights),
// drawn once per strip at the frame's pixel size.
SurfacePtr DrawLayer(int framePixels, double scale, const Drawing& draw) {
    SurfacePtr layer = MakeImage(CAIRO_FORMAT_ARGB32, framePixels, framePixels);
    ContextPtr context = MakeContext(layer.get());
    cairo_translate(context.get(), framePixels / 2.0, framePixels / 2.0);
    cairo_scale(context.get(), scale, scale);
    draw(context.get());
    ThrowIfFailed(cairo_status(context.get()), "knob layer");
    return layer;
}

struct Shadow {
    double radius, offsetX, offsetY, blurUnits, alpha;
};

// A blurred disc of black under the knob, offset away from the light.
SurfacePtr DrawShadow(int framePixels, double scale, const Shadow& shadow) {
    SurfacePtr mask = MakeImage(CAIRO_FORMAT_A8, framePixels, framePixels);
    {
        ContextPtr context = MakeContext(mask.get());
        cairo_t* cr = context.get();
        cairo_translate(cr, framePixels / 2.0, framePixels / 2.0);
        cairo_scale(cr, scale, scale);
        cairo_arc(cr, shadow.offsetX, shadow.offsetY, shadow.radius, 0, 2 * kPi);
        cairo_set_source_rgba(cr, 0, 0, 0, shadow.alpha);
        cairo_fill(cr);
    }
    BlurAlpha(mask.get(), static_cast<int>(std::lround(shadow.blurUnits * scale)));
    return mask;
}

void PaintMask(cairo_t* cr, cairo_surface_t* mask) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_mask_surface(cr, mask, 0, 0);
}

// A circle's rim stroked lighter where it faces the light and darker where
// it faces away.
void StrokeLitRim(cairo_t* cr, double radius, double width, double light, double dark) {
    PatternPtr rim = CheckedPattern(cairo_pattern_create_linear(-radius, -radius, radius, radius));
    cairo_pattern_add_color_stop_rgba(rim.get(), 0.0, 1, 1, 1, light);
    cairo_pattern_add_color_stop_rgba(rim.get(), 0.5, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(rim.get(), 0.5, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(rim.get(), 1.0, 0, 0, 0, dark);
    cairo_arc(cr, 0, 0, radius, 0, 2 * kPi);
    cairo_set_line_width(cr, width);
    cairo_set_source(cr, rim.get());
    cairo_stroke(cr);
}

// The inner wall of an opening: in shadow at the top left, lit at the bottom
// right, where it faces the light.
void StrokeWallRim(cairo_t* cr, double radius, double width, double dark, double light) {
    PatternPtr wall = CheckedPattern(cairo_pattern_create_linear(-radius, -radius, radius, radius));
    cairo_pattern_add_color_stop_rgba(wall.get(), 0.0, 0, 0, 0, dark);
    cairo_pattern_add_color_stop_rgba(wall.get(), 0.5, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(wall.get(), 0.5, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(wall.get(), 1.0, 1, 1, 1, light);
    cairo_arc(cr, 0, 0, radius, 0, 2 * kPi);
    cairo_set_line_width(cr, width);
    cairo_set_source(cr, wall.get());
    cairo_stroke(cr);
}

// Light from the top left across a filled shape already in the path.
void FillLitFrom(cairo_t* cr, double radius, double light, double dark) {
    PatternPtr lit = CheckedPattern(cairo_pattern_create_linear(-radius, -radius, radius, radius));
    cairo_pattern_add_color_stop_rgba(lit.get(), 0.0, 1, 1, 1, light);
    cairo_pattern_add_color_stop_rgba(lit.get(), 0.45, 1, 1, 1, 0.0);
    cairo_pattern_add_color_stop_rgba(lit.get(), 0.55, 0, 0, 0, 0.0);
    cairo_pattern_add_color_stop_rgba(lit.get(), 1.0, 0, 0, 0, dark);
    cairo_set_source(cr, lit.get());
    cairo_fill(cr);
}

void StrokeRadial(cairo_t* cr, double degrees, double inner, double outer) {
    const Direction d = DirectionOf(degrees);
    cairo_move_to(cr, d.x * inner, d.y * inner);
    cairo_line_to(cr, d.x * outer, d.y * outer);
    cairo_stroke(cr);
}

// A pointer line with a faint dark edge, so it reads on light and dark alike.
void DrawPointer(cairo_t* cr, double degrees, double inner, double outer, double width) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, width + 0.9);
    StrokeRadial(cr, degrees, inner, outer);
    SetColour(cr, palette::kPointer);
    cairo_set_line_width(cr, width);
    StrokeRadial(cr, degrees, inner, outer);
}

// Ridges around a ring, each shaded by the way it faces the light.
void DrawRidges(cairo_t* cr, double degrees, int count, double inner, double outer,
                double widthDegrees, Rgb colour, double contrast) {
    for (int i = 0; i < count; ++i) {
        const double at = degrees + 360.0 * i / count;
        const double half = widthDegrees * kPi / 360.0;
        const double a = (at - 90.0) * kPi / 180.0;
        cairo_new_path(cr);
        cairo_arc(cr, 0, 0, outer, a - half, a + half);
        cairo_arc_negative(cr, 0, 0, inner, a + half, a - half);
        cairo_close_path(cr);
        SetColour(cr, Shade(colour, contrast * LightFacing(at)));
        cairo_fill(cr);
    }
}

// Lays out 271 frames in the grid, each clipped to its own cell: the static
// layer under, the turning parts, the static layer over.
SurfacePtr ComposeStrip(int framePixels, double scale, cairo_surface_t* under,
                        cairo_surface_t* over,
                        const std::function<void(cairo_t*, double)>& drawTurning) {
    SurfacePtr strip =
        MakeImage(CAIRO_FORMAT_ARGB32, framePixels * kStripColumns, framePixels * kStripRows);
    ContextPtr context = MakeContext(strip.get());
    cairo_t* cr = context.get();
    for (int frame = 0; frame < kStripFrames; ++frame) {
        SavedState saved(cr);
        const double x = framePixels * (frame % kStripColumns);
        const double y = framePixels * (frame / kStripColumns);
        cairo_rectangle(cr, x, y, framePixels, framePixels);
        cairo_clip(cr);
        cairo_set_source_surface(cr, under, x, y);
        cairo_paint(cr);
        {
            SavedState turning(cr);
            cairo_translate(cr, x + framePixels / 2.0, y + framePixels / 2.0);
            cairo_scale(cr, scale, scale);
            drawTurning(cr, FrameAngleDegrees(frame));
        }
        cairo_set_source_surface(cr, over, x, y);
        cairo_paint(cr);
    }
    ThrowIfFailed(cairo_status(cr), "film strip");
    cairo_surface_flush(strip.get());
    return strip;
}

namespace gain {
constexpr double kOuter = 17.0;     // body radius
constexpr double kOpening = 11.0;   // the open centre over the printed cap
constexpr double kGripInner = 14.0; // grip ridges from here to the rim
constexpr Shadow kDrop{16.9, 0.8, 1.5, 0.9, 0.55};
constexpr Shadow kContact{17.1, 0.2, 0.5, 0.4, 0.35};

void DrawBody(cairo_t* cr, int framePixels, double scale) {
    SurfacePtr drop = DrawShadow(framePixels, scale, kDrop);
    SurfacePtr contact = DrawShadow(framePixels, scale, kContact);
    {
        SavedState device(cr);
        cairo_identity_matrix(cr);
        PaintMask(cr, drop.get());
        PaintMask(cr, contact.get());
    }
    // Nothing of the shadow falls into the opening: the cap is printed there.
    cairo_arc(cr, 0, 0, kOpening, 0, 2 * kPi);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    // The ring of the body around the opening.
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, 0, 0, kOuter, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, kOpening, 0, 2 * kPi);
    PatternPtr body = CheckedPattern(cairo_pattern_create_radial(0, 0, kOpening, 0, 0, kOuter));
    AddStop(body.get(), 0.0, Shade(palette::kGainBody, 0.10));
    AddStop(body.get(), 1.0, palette::kGainBody);
    cairo_set_source(cr, body.get());
    cairo_fill_preserve(cr);
    FillLitFrom(cr, kOuter, 0.16, 0.30);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    StrokeLitRim(cr, kOuter - 0.3, 0.6, 0.35, 0.55);
    // The seat of the cap: a dark gap, its far wall catching the light.
    cairo_arc(cr, 0, 0, kOpening + 0.25, 0, 2 * kPi);
    cairo_set_line_width(cr, 0.6);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_stroke(cr);
    StrokeWallRim(cr, kOpening + 0.85, 0.5, 0.35, 0.16);
}

void DrawTurning(cairo_t* cr, double degrees) {
    DrawRidges(cr, degrees + 7.5, 24, kGripInner, kOuter - 0.6, 5.0,
               Shade(palette::kGainBody, 0.08), 0.10);
    DrawPointer(cr, degrees, 3.2, kOuter - 0.9, 1.5);
}

void DrawHighlight(cairo_t* cr) {
    PatternPtr sheen = CheckedPattern(cairo_pattern_create_radial(-6, -7, 0, -6, -7, 9));
    cairo_pattern_add_color_stop_rgba(sheen.get(), 0.0, 1, 1, 1, 0.10);
    cairo_pattern_add_color_stop_rgba(sheen.get(), 1.0, 1, 1, 1, 0.0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, 0, 0, kOuter, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, kOpening, 0, 2 * kPi);
    cairo_set_source(cr, sheen.get());
    cairo_fill(cr);
}
} // namespace gain

namespace frequency {
constexpr double kSkirt = 25.0; // the skirt's rim
constexpr double kBody = 18.2;  // the knob above it, knurled round its side
constexpr double kFace = 16.0;  // the spun top face
constexpr Shadow kDrop{24.4, 0.8, 1.4, 0.8, 0.6};
constexpr Shadow kContact{25.1, 0.3, 0.6, 0.4, 0.35};
constexpr int kSpinPatches = 72;

// Concentric turning marks on a metal face: a bright streak towards the
// light and one opposite, as a mesh of narrow wedges.
void DrawSpunFace(cairo_t* cr) {
    PatternPtr mesh = CheckedPattern(cairo_pattern_create_mesh());
    auto tone = [](double degrees) {
        const double facing = std::abs(LightFacing(degrees));
        return Shade(palette::kKnobFace, 0.05 + 0.20 * std::pow(facing, 8.0));
    };
    for (int i = 0; i < kSpinPatches; ++i) {
        const double d0 = 360.0 * i / kSpinPatches;
        const double d1 = 360.0 * (i + 1) / kSpinPatches;
        const Direction p0 = DirectionOf(d0), p1 = DirectionOf(d1);
        const Rgb c0 = tone(d0), c1 = tone(d1), mid = Mix(c0, c1, 0.5);
        cairo_mesh_pattern_begin_patch(mesh.get());
        cairo_mesh_pattern_move_to(mesh.get(), 0, 0);
        cairo_mesh_pattern_line_to(mesh.get(), p0.x * kFace, p0.y * kFace);
        cairo_mesh_pattern_line_to(mesh.get(), p1.x * kFace, p1.y * kFace);
        cairo_mesh_pattern_line_to(mesh.get(), 0, 0);
        cairo_mesh_pattern_set_corner_color_rgb(mesh.get(), 0, mid.r, mid.g, mid.b);
        cairo_mesh_pattern_set_corner_color_rgb(mesh.get(), 1, c0.r, c0.g, c0.b);
        cairo_mesh_pattern_set_corner_color_rgb(mesh.get(), 2, c1.r, c1.g, c1.b);
        cairo_mesh_pattern_set_corner_color_rgb(mesh.get(), 3, mid.r, mid.g, mid.b);
        cairo_mesh_pattern_end_patch(mesh.get());
    }
    cairo_arc(cr, 0, 0, kFace, 0, 2 * kPi);
    cairo_set_source(cr, mesh.get());
    cairo_fill(cr);
}

void DrawBody(cairo_t* cr, int framePixels, double scale) {
    SurfacePtr drop = DrawShadow(framePixels, scale, kDrop);
    SurfacePtr contact = DrawShadow(framePixels, scale, kContact);
    {
        SavedState device(cr);
        cairo_identity_matrix(cr);
        PaintMask(cr, drop.get());
        PaintMask(cr, contact.get());
    }
    // The skirt: a shallow cone, darker where it meets the knob.
    cairo_arc(cr, 0, 0, kSkirt, 0, 2 * kPi);
    PatternPtr cone = CheckedPattern(cairo_pattern_create_radial(0, 0, kBody, 0, 0, kSkirt));
    AddStop(cone.get(), 0.0, Shade(palette::kSkirt, -0.35));
    AddStop(cone.get(), 1.0, palette::kSkirt);
    cairo_set_source(cr, cone.get());
    cairo_fill_preserve(cr);
    FillLitFrom(cr, kSkirt, 0.22, 0.35);
    StrokeLitRim(cr, kSkirt - 0.35, 0.7, 0.40, 0.60);
    // Shadow of the knob falling on its own skirt.
    PatternPtr fall =
        CheckedPattern(cairo_pattern_create_radial(0.8, 1.4, kBody - 0.5, 0.8, 1.4, kBody + 2.6));
    cairo_pattern_add_color_stop_rgba(fall.get(), 0.0, 0, 0, 0, 0.55);
    cairo_pattern_add_color_stop_rgba(fall.get(), 1.0, 0, 0, 0, 0.0);
    cairo_arc(cr, 0, 0, kSkirt, 0, 2 * kPi);
    cairo_set_source(cr, fall.get());
    cairo_fill(cr);
    // The knurled side, dark between its ridges.
    cairo_arc(cr, 0, 0, kBody, 0, 2 * kPi);
    SetColour(cr, FromHex(0x121315));
    cairo_fill(cr);
}

void DrawTurning(cairo_t* cr, double degrees) {
    DrawPointer(cr, degrees, kBody + 1.2, kSkirt - 0.9, 1.6);
    DrawRidges(cr, degrees + 3.75, 48, kFace - 0.1, kBody - 0.15, 4.0, FromHex(0x34373C), 0.35);
}

void DrawFace(cairo_t* cr) {
    DrawSpunFace(cr);
    StrokeLitRim(cr, kFace - 0.3, 0.8, 0.30, 0.55);
}

void DrawTopPointer(cairo_t* cr, double degrees) {
    DrawPointer(cr, degrees, 6.0, kFace - 1.3, 1.4);
}

void DrawHighlight(cairo_t* cr) {
    PatternPtr sheen = CheckedPattern(cairo_pattern_create_radial(-5, -6, 0, -5, -6, 11));
    cairo_pattern_add_color_stop_rgba(sheen.get(), 0.0, 1, 1, 1, 0.10);
    cairo_pattern_add_color_stop_rgba(sheen.get(), 1.0, 1, 1, 1, 0.0);
    cairo_arc(cr, 0, 0, kFace, 0, 2 * kPi);
    cairo_set_source(cr, sheen.get());
    cairo_fill(cr);
}
} // namespace frequency

} // namespace

SurfacePtr RenderGainKnobStrip(int framePixels, double scale) {
    SurfacePtr under =
        DrawLayer(framePixels, scale, [&](cairo_t* cr) { gain::DrawBody(cr, framePixels, scale); });
    SurfacePtr over = DrawLayer(framePixels, scale, gain::DrawHighlight);
    return ComposeStrip(framePixels, scale, under.get(), over.get(), gain::DrawTurning);
}

SurfacePtr RenderFrequencyKnobStrip(int framePixels, double scale) {
    SurfacePtr under = DrawLayer(framePixels, scale,
                                 [&](cairo_t* cr) { frequency::DrawBody(cr, framePixels, scale); });
    // The face does not turn visibly (its marks are concentric), so it is
    // drawn once; only the ridges and the two index lines turn.
    SurfacePtr face = DrawLayer(framePixels, scale, [](cairo_t* cr) { frequency::DrawFace(cr); });
    SurfacePtr over = DrawLayer(framePixels, scale, frequency::DrawHighlight);
    cairo_surface_t* faceLayer = face.get();
    return ComposeStrip(framePixels, scale, under.get(), over.get(),
                        [faceLayer, framePixels, scale](cairo_t* cr, double degrees) {
                            frequency::DrawTurning(cr, degrees);
                            {
                                SavedState device(cr);
                                cairo_scale(cr, 1.0 / scale, 1.0 / scale);
                                cairo_set_source_surface(cr, faceLayer, -framePixels / 2.0,
                                                         -framePixels / 2.0);
                                cairo_paint(cr);
                            }
                            frequency::DrawTopPointer(cr, degrees);
                        });
}

} // namespace artwork
