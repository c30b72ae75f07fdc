#pragma once

// The colours of the panel, its knobs and its lamp. One light source, above
// and to the left, shades everything.

#include <cairo.h>

#include <cmath>
#include <numbers>

namespace artwork {

inline constexpr double kPi = std::numbers::pi;

struct Rgb {
    double r = 0.0, g = 0.0, b = 0.0;
};

constexpr Rgb FromHex(unsigned hex) {
    return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0};
}

constexpr Rgb Mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Towards white for amount > 0, towards black for amount < 0.
constexpr Rgb Shade(Rgb colour, double amount) {
    return amount >= 0.0 ? Mix(colour, {1.0, 1.0, 1.0}, amount)
                         : Mix(colour, {0.0, 0.0, 0.0}, -amount);
}

inline void SetColour(cairo_t* cr, Rgb colour, double alpha = 1.0) {
    cairo_set_source_rgba(cr, colour.r, colour.g, colour.b, alpha);
}

inline void AddStop(cairo_pattern_t* pattern, double offset, Rgb colour, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, colour.r, colour.g, colour.b, alpha);
}

namespace palette {
// Anodised panel, lighter at the top where the light falls.
inline constexpr Rgb kPanelTop = FromHex(0x34373C);
inline constexpr Rgb kPanelBottom = FromHex(0x282A2E);
// Printed legends: warm off-white, and a dimmer tone for units.
inline constexpr Rgb kLegend = FromHex(0xE9E2D2);
inline constexpr Rgb kLegendDim = FromHex(0xB0AB9E);
inline constexpr Rgb kBrandAccent = FromHex(0xE2A24A);
// Frequency knob: graphite skirt, near-black spun face, cream index line.
inline constexpr Rgb kSkirt = FromHex(0x474D55);
inline constexpr Rgb kKnobFace = FromHex(0x1E2023);
inline constexpr Rgb kPointer = FromHex(0xF4EEDF);
// Gain knob body around its coloured cap.
inline constexpr Rgb kGainBody = FromHex(0x1B1C1F);
// The lamp of the push button, unlit and lit.
inline constexpr Rgb kLampCold = FromHex(0x3B2A17);
inline constexpr Rgb kLampHot = FromHex(0xFFE6A8);
inline constexpr Rgb kLampWarm = FromHex(0xFFAE3C);
inline constexpr Rgb kLampEdge = FromHex(0xC9620C);
} // namespace palette

// Unit vector of a direction given in degrees clockwise from twelve o'clock,
// in Cairo's y-down coordinates.
struct Direction {
    double x, y;
};
inline Direction DirectionOf(double degrees) {
    const double radians = degrees * kPi / 180.0;
    return {std::sin(radians), -std::cos(radians)};
}

// How much a surface facing `degrees` catches the light from the top left:
// 1 facing it, -1 facing away.
inline double LightFacing(double degrees) {
    constexpr double kLightDegrees = -45.0;
    return std::cos((degrees - kLightDegrees) * kPi / 180.0);
}

} // namespace artwork
