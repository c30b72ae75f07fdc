#include "ui/platform/CairoPaint.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ui {

namespace {

constexpr double kMaxChannel = 255.0;

double Channel(int32_t value) {
    return std::clamp(value, 0, 255) / kMaxChannel;
}

double FiniteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

struct Rgba {
    double r, g, b, a;
};

Rgba StopColour(const IColour& colour, const IBlendMode* blend) {
    return {Channel(colour.R), Channel(colour.G), Channel(colour.B),
            WeightedAlpha(colour.A, blend) / kMaxChannel};
}

Rgba Mix(const Rgba& a, const Rgba& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

// Cairo has no sweep gradient. A mesh of wedge-shaped patches around the
// centre, each at most kWedgeDegrees wide, interpolates the colours by angle;
// the wedges reach coverRadius. Angles run clockwise from three o'clock, the
// stop colours evenly spaced over 360 degrees x the last stop's offset, and
// nothing is painted beyond that angle.
constexpr double kWedgeDegrees = 10.0;

CairoPattern MakeSweep(const IFillPattern& pattern, int32_t stopCount, const IBlendMode* blend,
                       double coverRadius) {
    const double lastOffset =
        std::clamp(FiniteOr(pattern.stops[stopCount - 1].offset, 1.0), 0.0, 1.0);
    const double totalDegrees = 360.0 * lastOffset;
    CairoPattern mesh(cairo_pattern_create_mesh());
    if (totalDegrees <= 0.0) {
        return mesh; // an empty mesh paints nothing
    }
    const int32_t wedges = static_cast<int32_t>(std::ceil(totalDegrees / kWedgeDegrees));
    const double wedgeRadians = totalDegrees / wedges * std::numbers::pi / 180.0;
    // Control points of a cubic Bezier that follows a circular arc.
    const double k = 4.0 / 3.0 * std::tan(wedgeRadians / 4.0);
    const double r = coverRadius;
    auto colourAt = [&](double fraction) {
        const double position = fraction * (stopCount - 1);
        const int32_t index = std::min(static_cast<int32_t>(position), stopCount - 2);
        return Mix(StopColour(pattern.stops[index].colour, blend),
                   StopColour(pattern.stops[index + 1].colour, blend), position - index);
    };
    for (int32_t i = 0; i < wedges; ++i) {
        const double a0 = i * wedgeRadians;
        const double a1 = a0 + wedgeRadians;
        const Rgba c0 = colourAt(static_cast<double>(i) / wedges);
        const Rgba c1 = colourAt(static_cast<double>(i + 1) / wedges);
        cairo_mesh_pattern_begin_patch(mesh.get());
        cairo_mesh_pattern_move_to(mesh.get(), 0.0, 0.0);
        cairo_mesh_pattern_line_to(mesh.get(), r * std::cos(a0), r * std::sin(a0));
        cairo_mesh_pattern_curve_to(
            mesh.get(), r * (std::cos(a0) - k * std::sin(a0)),
            r * (std::sin(a0) + k * std::cos(a0)), r * (std::cos(a1) + k * std::sin(a1)),
            r * (std::sin(a1) - k * std::cos(a1)), r * std::cos(a1), r * std::sin(a1));
        cairo_mesh_pattern_line_to(mesh.get(), 0.0, 0.0);
        const Rgba corners[4] = {c0, c0, c1, c1};
        for (unsigned corner = 0; corner < 4; ++corner) {
            const Rgba& c = corners[corner];
            cairo_mesh_pattern_set_corner_color_rgba(mesh.get(), corner, c.r, c.g, c.b, c.a);
        }
        cairo_mesh_pattern_end_patch(mesh.get());
    }
    return mesh;
}

} // namespace

cairo_operator_t BlendOperator(const IBlendMode* blend) {
    if (!blend) {
        return CAIRO_OPERATOR_OVER;
    }
    switch (blend->type) {
    case kBlendDefault:
        return CAIRO_OPERATOR_OVER;
    case kBlendSourceIn:
        return CAIRO_OPERATOR_IN;
    case kBlendSourceOut:
        return CAIRO_OPERATOR_OUT;
    case kBlendSourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case kBlendDestOver:
        return CAIRO_OPERATOR_DEST_OVER;
    case kBlendDestIn:
        return CAIRO_OPERATOR_DEST_IN;
    case kBlendDestOut:
        return CAIRO_OPERATOR_DEST_OUT;
    case kBlendDestAtop:
        return CAIRO_OPERATOR_DEST_ATOP;
    case kBlendAdd:
        return CAIRO_OPERATOR_ADD;
    case kBlendXor:
        return CAIRO_OPERATOR_XOR;
    default:
        return CAIRO_OPERATOR_CLEAR;
    }
}

cairo_extend_t ExtendMode(int32_t extend) {
    switch (extend) {
    case kExtendNone:
        return CAIRO_EXTEND_NONE;
    case kExtendPad:
        return CAIRO_EXTEND_PAD;
    case kExtendReflect:
        return CAIRO_EXTEND_REFLECT;
    case kExtendRepeat:
        return CAIRO_EXTEND_REPEAT;
    default:
        return CAIRO_EXTEND_PAD;
    }
}

double BlendAlpha(const IBlendMode* blend) {
    if (!blend) {
        return 1.0;
    }
    const double weight = FiniteOr(blend->weight, 0.0);
    return std::clamp(std::trunc(weight * kMaxChannel), 0.0, kMaxChannel) / kMaxChannel;
}

int32_t WeightedAlpha(int32_t alpha, const IBlendMode* blend) {
    const int32_t clamped = std::clamp(alpha, 0, 255);
    if (!blend) {
        return clamped;
    }
    const double weighted = std::trunc(clamped * FiniteOr(blend->weight, 0.0));
    return static_cast<int32_t>(std::clamp(weighted, 0.0, kMaxChannel));
}

CairoPattern MakePatternSource(const IFillPattern& pattern, const IBlendMode* blend,
                               double coverRadius) {
    const int32_t stopCount = std::clamp(pattern.stopCount, 0, IFillPattern::kMaxStops);
    const ITransform& t = pattern.transform;
    cairo_matrix_t inverse;
    cairo_matrix_init(&inverse, t.xx, t.yx, t.xy, t.yy, t.tx, t.ty);
    const bool gradient = pattern.type != kPatternSolid && stopCount >= 2 &&
                          cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS;
    if (!gradient) {
        const IColour colour = stopCount > 0 ? pattern.stops[0].colour : IColour{0, 0, 0, 0};
        const Rgba c = StopColour(colour, blend);
        return CairoPattern(cairo_pattern_create_rgba(c.r, c.g, c.b, c.a));
    }
    if (pattern.type == kPatternSweep) {
        // A user-space distance d maps to at most d x the matrix's norm.
        const double norm = std::sqrt(t.xx * t.xx + t.xy * t.xy + t.yx * t.yx + t.yy * t.yy);
        CairoPattern sweep = MakeSweep(pattern, stopCount, blend, coverRadius * norm);
        // The mesh is built around the origin of the pattern's space; Cairo's
        // pattern matrix maps user space to pattern space.
        cairo_matrix_t toPattern;
        cairo_matrix_init(&toPattern, t.xx, t.yx, t.xy, t.yy, t.tx, t.ty);
        cairo_pattern_set_matrix(sweep.get(), &toPattern);
        return sweep;
    }
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 1.0;
    cairo_matrix_transform_point(&inverse, &x0, &y0);
    cairo_matrix_transform_point(&inverse, &x1, &y1);
    CairoPattern gradientPattern(
        pattern.type == kPatternRadial
            ? cairo_pattern_create_radial(x0, y0, 0.0, x0, y0, std::hypot(x1 - x0, y1 - y0))
            : cairo_pattern_create_linear(x0, y0, x1, y1));
    for (int32_t i = 0; i < stopCount; ++i) {
        const Rgba c = StopColour(pattern.stops[i].colour, blend);
        cairo_pattern_add_color_stop_rgba(
            gradientPattern.get(), std::clamp(FiniteOr(pattern.stops[i].offset, 0.0), 0.0, 1.0),
            c.r, c.g, c.b, c.a);
    }
    cairo_pattern_set_extend(gradientPattern.get(), ExtendMode(pattern.extend));
    return gradientPattern;
}

} // namespace ui
