#include "equalizer/resources/artwork/PanelArt.h"

#include "equalizer/resources/artwork/Palette.h"
#include "equalizer/resources/artwork/PanelLayout.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace artwork {

namespace {

// Gap between a ring of ticks and the nearest edge of its labels.
constexpr double kFrequencyLabelRadius = 35.0;
constexpr double kGainLabelRadius = 25.0;
constexpr double kGainMinorTickInner = 20.4, kGainMinorTickOuter = 22.0;
constexpr double kDbStep = 5.0, kDbLabelStep = 10.0;

constexpr const char* kMinus = "\xE2\x88\x92"; // U+2212, the typographic minus

TextStyle FrequencyLegendStyle(const FontLibrary& fonts) {
    return {fonts.Medium(), 7.4, 0.0};
}
TextStyle GainLegendStyle(const FontLibrary& fonts) {
    return {fonts.Medium(), 6.6, 0.0};
}
TextStyle UnitStyle(const FontLibrary& fonts) {
    return {fonts.Medium(), 6.6, 0.2};
}
TextStyle SectionStyle(const FontLibrary& fonts) {
    return {fonts.Bold(), 8.0, 1.3};
}

// How far out along a direction to centre a w x h label so that no part of
// it comes nearer the knob's centre than `radius`: every label keeps the same
// gap to the ring of ticks, whatever its width and angle.
double LabelDistance(double w, double h, Direction d, double radius) {
    auto nearest = [&](double distance) {
        const double dx = std::max(std::abs(d.x * distance) - w / 2, 0.0);
        const double dy = std::max(std::abs(d.y * distance) - h / 2, 0.0);
        return std::hypot(dx, dy);
    };
    double low = radius, high = radius + w + h;
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2;
        (nearest(mid) < radius ? low : high) = mid;
    }
    return high;
}

void DrawTick(cairo_t* cr, Point centre, double degrees, double inner, double outer, double width) {
    const Direction d = DirectionOf(degrees);
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, centre.x + d.x * inner, centre.y + d.y * inner);
    cairo_line_to(cr, centre.x + d.x * outer, centre.y + d.y * outer);
    cairo_stroke(cr);
}

void DrawRadialLabel(cairo_t* cr, const TextStyle& style, std::string_view text, Point centre,
                     double degrees, double radius) {
    const TextMetrics metrics = MeasureText(cr, style, text);
    const Direction d = DirectionOf(degrees);
    const double r = LabelDistance(metrics.width, metrics.capHeight, d, radius);
    ShowTextCentred(cr, style, text, {centre.x + d.x * r, centre.y + d.y * r});
}

void DrawFrequencyScale(cairo_t* cr, const FontLibrary& fonts, const FrequencyKnob& knob) {
    const Point c = knob.Centre();
    const TextStyle style = FrequencyLegendStyle(fonts);
    const int steps = knob.Steps();
    SetColour(cr, palette::kLegend);
    for (int k = 0; k <= steps; ++k) {
        const double degrees = FrameAngleDegrees(FrameForValue(StepValue(k, steps)));
        DrawTick(cr, c, degrees, kFrequencyTickInner, kFrequencyTickOuter, 1.0);
        DrawRadialLabel(cr, style, knob.legends[k], c, degrees, kFrequencyLabelRadius);
    }
    SetColour(cr, palette::kLegendDim);
    ShowTextCentred(cr, UnitStyle(fonts), "Hz", {c.x, c.y + 29.5});
}

std::string DbText(double db) {
    const long whole = std::lround(db);
    if (whole == 0)
        return "0";
    return (whole < 0 ? std::string(kMinus) : std::string("+")) + std::to_string(std::labs(whole));
}

void DrawGainScale(cairo_t* cr, const FontLibrary& fonts, const GainKnob& knob) {
    const Point c = knob.Centre();
    const TextStyle style = GainLegendStyle(fonts);
    SetColour(cr, palette::kLegend);
    const int marks = static_cast<int>(std::lround((knob.maxDb - knob.minDb) / kDbStep));
    for (int i = 0; i <= marks; ++i) {
        const double db = knob.minDb + i * kDbStep;
        const double degrees = FrameAngleDegrees(knob.FrameForDb(db));
        const bool labelled = std::fmod(std::abs(db), kDbLabelStep) < 1e-9;
        if (labelled) {
            DrawTick(cr, c, degrees, kGainTickInner, kGainTickOuter, 0.9);
            DrawRadialLabel(cr, style, DbText(db), c, degrees, kGainLabelRadius);
        } else {
            DrawTick(cr, c, degrees, kGainMinorTickInner, kGainMinorTickOuter, 0.7);
        }
    }
    SetColour(cr, palette::kLegendDim);
    ShowTextCentred(cr, UnitStyle(fonts), "dB", {c.x, c.y + 22.0});
}

void DrawSectionName(cairo_t* cr, const FontLibrary& fonts, std::string_view name, Point centre) {
    SetColour(cr, palette::kLegend);
    ShowTextCentred(cr, SectionStyle(fonts), name, centre);
}

// The two names of a band sit between its frequency knob and its gain knob.
Point BandNamePosition(const FrequencyKnob& frequency, const GainKnob& gain) {
    return {(frequency.Centre().x + gain.Centre().x) / 2, 112.0};
}

void DrawBrand(cairo_t* cr, const FontLibrary& fonts) {
    const TextStyle name{fonts.Bold(), 17.0, 0.2};
    const TextStyle suffix{fonts.Regular(), 17.0, 0.2};
    const Point origin{18.0, 31.0};
    SetColour(cr, palette::kLegend);
    ShowTextAt(cr, name, "Lumaro", origin);
    const double nameWidth = MeasureText(cr, name, "Lumaro ").width;
    SetColour(cr, palette::kBrandAccent);
    ShowTextAt(cr, suffix, "EQ", {origin.x + nameWidth, origin.y});
    SetColour(cr, palette::kLegendDim);
    ShowTextAt(cr, {fonts.Medium(), 7.2, 0.9}, "Corvane Audio", {origin.x + 0.6, origin.y + 12.0});
}

} // namespace

void DrawLegends(cairo_t* cr, const FontLibrary& fonts) {
    for (const FrequencyKnob& knob : layout::kFrequencyKnobs)
        DrawFrequencyScale(cr, fonts, knob);
    for (const GainKnob& knob : layout::kGainKnobs)
        DrawGainScale(cr, fonts, knob);

    DrawBrand(cr, fonts);
    const Point output = layout::kOutputGain.Centre();
    DrawSectionName(cr, fonts, "OUTPUT", {output.x, 79.0});
    const Point highPass = layout::kHighPassFrequency.Centre();
    DrawSectionName(cr, fonts, "HPF", {highPass.x, 33.0});
    DrawSectionName(cr, fonts, "LOW",
                    BandNamePosition(layout::kLowShelfFrequency, layout::kLowShelfGain));
    DrawSectionName(cr, fonts, "MID 1",
                    BandNamePosition(layout::kMid1Frequency, layout::kMid1Gain));
    DrawSectionName(cr, fonts, "MID 2",
                    BandNamePosition(layout::kMid2Frequency, layout::kMid2Gain));
    const Point high = layout::kHighShelfGain.Centre();
    DrawSectionName(cr, fonts, "HIGH", {high.x, 51.0});
    SetColour(cr, palette::kLegendDim);
    ShowTextCentred(cr, UnitStyle(fonts), "12 kHz", {high.x, 61.5});
    DrawSectionName(
        cr, fonts, "OVERSAMPLING",
        {layout::kSwitchTopLeft.x + layout::kSwitchUnits / 2, layout::kSwitchTopLeft.y - 9.0});
}

} // namespace artwork
