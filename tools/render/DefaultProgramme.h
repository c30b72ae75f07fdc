#pragma once

#include "tools/render/EffectSession.h"

#include <cstdint>
#include <string>
#include <vector>

namespace render {

// The built-in material: stereo, interleaved, about -12 dBFS peak. A
// 120 BPM pattern of a pitch-dropping kick, a snare and hi-hats over pink
// noise, with a logarithmic sine sweep from 20 Hz to 20 kHz (or just below
// half the rate) across the whole length. Fixed seeds: the same call gives
// the same samples.
std::vector<double> MakeProgramme(int32_t sampleRateHz, double seconds);

// The coloured setting the default render uses, as NAME=VALUE texts.
const std::vector<std::string>& DefaultColourSettings();

// Small-signal gain of the effect at one frequency, in dB: a sine of
// kProbeAmplitude on every channel after a restart, compared with the
// latency-aligned output over whole periods once filters have settled.
// The session must be prepared; it is restarted before and after.
inline constexpr double kProbeAmplitude = 0.001; // -60 dBFS: the colour stays linear
double MeasureGainDb(EffectSession& session, double frequencyHz);

} // namespace render
