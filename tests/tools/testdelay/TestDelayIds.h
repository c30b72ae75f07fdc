#pragma once

// Identity and behaviour of the "Test Delay" module that the renderer tests
// load: a pure delay with a known latency, so that alignment can be checked
// against the input itself, and with the refusals and the slowness that the
// error paths need. Shared by the module and the tests.
#include "pluginterfaces/base/funknown.h"

namespace test_delay {

inline constexpr const char* kClassName = "Test Delay";
inline constexpr Steinberg::uint32 kClassIdWords[4] = {0x4C756D61, 0x726F5465, 0x73744465,
                                                       0x6C610001};

// Output = input delayed by exactly this many frames, reported as latency.
inline constexpr Steinberg::int32 kLatencySamples = 37;
// Sample rates outside this range are refused at set-up.
inline constexpr double kMinRateHz = 44100.0;
inline constexpr double kMaxRateHz = 96000.0;

// "Polarity": "normal" or "inverted". "Pace": "full" or "slow"; slow sleeps
// kSlowMicroseconds in every process call, so that a render lasts long
// enough to be interrupted.
inline constexpr Steinberg::uint32 kPolarityParamId = 1;
inline constexpr Steinberg::uint32 kPaceParamId = 2;
inline constexpr unsigned kSlowMicroseconds = 2000;

// State: two little-endian int32, polarity then pace, each 0 or 1.
inline constexpr int kStateBytes = 8;

} // namespace test_delay
