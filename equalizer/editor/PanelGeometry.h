#pragma once

// Where every control of the equalizer's panel sits, in logical units of the
// 664 x 215 panel, and the film-strip format of its knobs. The editor's
// layout places its controls from these rectangles and the artwork program
// prints the legends, caps and button bed around them, so the two cannot
// drift apart. Plain constants with no dependencies: both programs include
// it. Any thread.

#include "equalizer/Parameters.h"

#include <array>
#include <cstdint>

namespace equalizer::panel {

// A rectangle in logical units: left, top, right, bottom.
struct Rect {
    int32_t L = 0;
    int32_t T = 0;
    int32_t R = 0;
    int32_t B = 0;

    constexpr int32_t W() const { return R - L; }
    constexpr int32_t H() const { return B - T; }
    constexpr double CentreX() const { return (L + R) / 2.0; }
    constexpr double CentreY() const { return (T + B) / 2.0; }
};

constexpr Rect SquareAt(int32_t left, int32_t top, int32_t side) {
    return {left, top, left + side, top + side};
}

inline constexpr int32_t kWidth = 664;
inline constexpr int32_t kHeight = 215;

// Both knob strips: 271 pictures over the knob's travel, 16 to a row.
inline constexpr int32_t kStripFrames = 271;
inline constexpr int32_t kStripColumns = 16;
inline constexpr int32_t kStripRows = (kStripFrames + kStripColumns - 1) / kStripColumns;

// Logical sides of one frame. The frequency strip's scale-2 image is not
// twice its scale-1 image: its frames are 59 units there, drawn centred in
// the same 64-unit rectangle, so the knob keeps its place between its
// printed legends at every zoom.
inline constexpr int32_t kGainKnobSide = 47;
inline constexpr int32_t kFrequencyKnobSide = 64;
inline constexpr int32_t kFrequencyKnobSideAtScale2 = 59;
inline constexpr int32_t kSwitchSide = 29;

struct Knob {
    int32_t paramIdx;
    Rect rect;
};

inline constexpr Knob kOutputGain{Gain, SquareAt(53, 92, kGainKnobSide)};
inline constexpr Knob kLowShelfGain{LoShelfLevel, SquareAt(270, 139, kGainKnobSide)};
inline constexpr Knob kMid1Gain{MFLevel1, SquareAt(376, 139, kGainKnobSide)};
inline constexpr Knob kMid2Gain{MFLevel2, SquareAt(482, 139, kGainKnobSide)};
inline constexpr Knob kHighShelfGain{HiShelfLevel, SquareAt(581, 80, kGainKnobSide)};
// In attach order.
inline constexpr std::array<Knob, 5> kGainKnobs{kOutputGain, kLowShelfGain, kMid1Gain, kMid2Gain,
                                                kHighShelfGain};

inline constexpr Knob kHighPassFrequency{HPF, SquareAt(158, 50, kFrequencyKnobSide)};
inline constexpr Knob kLowShelfFrequency{LoShelfFreq, SquareAt(261, 29, kFrequencyKnobSide)};
inline constexpr Knob kMid1Frequency{MF1Freq, SquareAt(367, 29, kFrequencyKnobSide)};
inline constexpr Knob kMid2Frequency{MF2Freq, SquareAt(471, 29, kFrequencyKnobSide)};
// In attach order.
inline constexpr std::array<Knob, 4> kFrequencyKnobs{kHighPassFrequency, kLowShelfFrequency,
                                                     kMid1Frequency, kMid2Frequency};

inline constexpr Knob kOversamplingSwitch{Oversampling, SquareAt(173, 157, kSwitchSide)};

// The version text, and the corner-resize triangle's edge (window pixels at
// zoom 1) in the bottom-right corner; the artwork leaves both plain.
inline constexpr Rect kVersionLabel{576, kHeight - 20, 656, kHeight};
inline constexpr int32_t kCornerHandleSize = 20;

} // namespace equalizer::panel
