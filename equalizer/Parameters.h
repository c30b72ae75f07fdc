#pragma once

namespace equalizer {

// Parameter indexes: the identity of each parameter towards the host and in
// the state chunk. Never renumber.
enum ParamIndex : int {
    HPF = 0,
    LoShelfFreq = 1,
    LoShelfLevel = 2,
    MF1Freq = 3,
    MFLevel1 = 4,
    MF2Freq = 5,
    MFLevel2 = 6,
    HiShelfLevel = 7,
    Gain = 8,
    Oversampling = 9,
    ParamCount = 10,
};

// Stepped frequency lists in Hz, by list index. An index outside a list takes
// its fall-back. The high-pass entry 0 (1 Hz) means the band is off.
inline constexpr double highPassFrequenciesHz[] = {1, 30, 50, 80, 160, 300};
inline constexpr double highPassFallbackHz = 1;
inline constexpr double lowShelfFrequenciesHz[] = {35, 60, 110, 220};
inline constexpr double lowShelfFallbackHz = 35;
inline constexpr double mid1FrequenciesHz[] = {150, 180, 240, 400, 820, 1200};
inline constexpr double mid1FallbackHz = 150;
inline constexpr double mid2FrequenciesHz[] = {220, 315, 640, 2500, 3150, 6000, 8000};
inline constexpr double mid2FallbackHz = 2500;

} // namespace equalizer
