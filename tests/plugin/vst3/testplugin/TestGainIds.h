#pragma once

// Identity of the "Test Gain" module that the VST 3 tests load. Shared by the
// module and the tests so that the tests check the module against these
// values, not against what the module happens to report.
#include "pluginterfaces/base/funknown.h"

namespace test_gain {

inline constexpr const char* kVendor = "Corvane Audio Test Bench";
inline constexpr const char* kUrl = "https://corvane.example/test";
inline constexpr const char* kEmail = "bench@corvane.example";
inline constexpr const char* kClassName = "Test Gain";
inline constexpr const char* kSubCategories = "Fx|Tools";
inline constexpr const char* kVersion = "1.2.3";
inline constexpr const char* kSdkVersion = "VST 3.7.2";
inline constexpr Steinberg::uint32 kClassFlags = 2;

// Four words, laid out big-endian as the SDK does off Windows.
inline constexpr Steinberg::uint32 kClassIdWords[4] = {0x4C756D61, 0x726F5465, 0x73744761,
                                                       0x696E0001};

inline constexpr Steinberg::uint32 kGainParamId = 7;
inline constexpr double kDefaultGainNormalized = 0.5;
// Linear gain = kGainRange * normalized, so the default is unity.
inline constexpr double kGainRange = 2.0;
inline constexpr Steinberg::uint32 kIdleTimerMs = 20;

} // namespace test_gain
