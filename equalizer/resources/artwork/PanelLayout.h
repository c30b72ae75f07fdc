#pragma once

// The artwork's view of the editor's panel: each control's place (taken from
// the editor's own geometry, equalizer/editor/PanelGeometry.h), its legends
// and cap colour, and how a knob's film-strip frame maps to a pointer angle.
// The printed legends are placed from these, so a legend sits where the knob
// points when it shows that value.

#include <array>
#include <span>
#include <string_view>

#include "equalizer/editor/PanelGeometry.h"
#include "equalizer/resources/artwork/Palette.h"

namespace artwork {

inline constexpr double kPanelWidth = equalizer::panel::kWidth;
inline constexpr double kPanelHeight = equalizer::panel::kHeight;

struct Point {
    double x = 0.0, y = 0.0;
};

// Film strips: 271 pictures over 270 degrees of travel, 16 to a row.
inline constexpr int kStripFrames = equalizer::panel::kStripFrames;
inline constexpr int kStripColumns = equalizer::panel::kStripColumns;
inline constexpr int kStripRows = equalizer::panel::kStripRows;
inline constexpr double kTravelDegrees = 270.0;

// The frame the editor shows for a normalized value (the editor's own frame
// choice): the nearest, a half going to the higher frame.
int FrameForValue(double value);
// Where a frame's pointer points, in degrees clockwise from twelve o'clock:
// -135 at the minimum, 0 at frame 135, +135 at the maximum.
double FrameAngleDegrees(int frame);
// The value of position k of a stepped knob, with the quotient taken in single
// precision as the editor takes it.
double StepValue(int position, int steps);

// Logical frame sizes of the two strips (the 59-unit scale-2 frame of the
// frequency knob is drawn centred in the same 64-unit rectangle).
inline constexpr double kGainFrameUnits = equalizer::panel::kGainKnobSide;
inline constexpr double kFrequencyFrameUnits = equalizer::panel::kFrequencyKnobSide;

inline constexpr Point TopLeftOf(const equalizer::panel::Knob& knob) {
    return {static_cast<double>(knob.rect.L), static_cast<double>(knob.rect.T)};
}

struct FrequencyKnob {
    Point topLeft;                             // of its 64-unit rectangle
    std::span<const std::string_view> legends; // one per position, lowest first
    Point Centre() const {
        return {topLeft.x + kFrequencyFrameUnits / 2, topLeft.y + kFrequencyFrameUnits / 2};
    }
    int Steps() const { return static_cast<int>(legends.size()) - 1; }
};

struct GainKnob {
    Point topLeft; // of its 47-unit rectangle
    double minDb, maxDb;
    Rgb cap;
    Point Centre() const {
        return {topLeft.x + kGainFrameUnits / 2, topLeft.y + kGainFrameUnits / 2};
    }
    // The frame showing a level, as the editor picks it for that level's value.
    int FrameForDb(double db) const { return FrameForValue((db - minDb) / (maxDb - minDb)); }
};

namespace layout {
inline constexpr std::array<std::string_view, 6> kHighPassLegends{"Off", "30",  "50",
                                                                  "80",  "160", "300"};
inline constexpr std::array<std::string_view, 4> kLowShelfLegends{"35", "60", "110", "220"};
inline constexpr std::array<std::string_view, 6> kMid1Legends{"150", "180", "240",
                                                              "400", "820", "1.2k"};
inline constexpr std::array<std::string_view, 7> kMid2Legends{"220",   "315", "640", "2.5k",
                                                              "3.15k", "6k",  "8k"};

inline constexpr FrequencyKnob kHighPassFrequency{TopLeftOf(equalizer::panel::kHighPassFrequency),
                                                  kHighPassLegends};
inline constexpr FrequencyKnob kLowShelfFrequency{TopLeftOf(equalizer::panel::kLowShelfFrequency),
                                                  kLowShelfLegends};
inline constexpr FrequencyKnob kMid1Frequency{TopLeftOf(equalizer::panel::kMid1Frequency),
                                              kMid1Legends};
inline constexpr FrequencyKnob kMid2Frequency{TopLeftOf(equalizer::panel::kMid2Frequency),
                                              kMid2Legends};
inline constexpr std::array<FrequencyKnob, 4> kFrequencyKnobs{
    kHighPassFrequency, kLowShelfFrequency, kMid1Frequency, kMid2Frequency};

// Cap colours in the manner of a console: a colour per band, grey for the
// output.
inline constexpr GainKnob kOutputGain{TopLeftOf(equalizer::panel::kOutputGain), -20, 10,
                                      FromHex(0x868C93)};
inline constexpr GainKnob kLowShelfGain{TopLeftOf(equalizer::panel::kLowShelfGain), -20, 20,
                                        FromHex(0xA3352C)};
inline constexpr GainKnob kMid1Gain{TopLeftOf(equalizer::panel::kMid1Gain), -20, 20,
                                    FromHex(0x2F6496)};
inline constexpr GainKnob kMid2Gain{TopLeftOf(equalizer::panel::kMid2Gain), -20, 20,
                                    FromHex(0x3B8160)};
inline constexpr GainKnob kHighShelfGain{TopLeftOf(equalizer::panel::kHighShelfGain), -20, 20,
                                         FromHex(0xC7902F)};
inline constexpr std::array<GainKnob, 5> kGainKnobs{kOutputGain, kLowShelfGain, kMid1Gain,
                                                    kMid2Gain, kHighShelfGain};

// The oversampling button's 29-unit square.
inline constexpr Point kSwitchTopLeft = TopLeftOf(equalizer::panel::kOversamplingSwitch);
inline constexpr double kSwitchUnits = equalizer::panel::kSwitchSide;

// The editor writes its version in its label's box and draws its resize
// triangle in the bottom-right corner; the artwork leaves both plain. The
// preview's version text sits on this baseline.
inline constexpr Point kVersionBaseline{equalizer::panel::kVersionLabel.L,
                                        equalizer::panel::kVersionLabel.B - 6};
} // namespace layout

} // namespace artwork
