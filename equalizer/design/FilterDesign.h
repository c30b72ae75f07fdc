#pragma once

#include <vector>

namespace equalizer::design {

// Lowpass FIR design for the oversampler's two-times stages. Frequencies are
// in cycles per sample of the stage's higher rate (0.25 is the lower rate's
// Nyquist frequency). Runs at build time (the generator writes the taps into
// a table), in long double, so that the cepstrum's logarithms of stop-band
// values near 10^-18 keep their digits.
struct LowpassGoal {
    double passbandEnd = 0.225;
    double stopbandBegin = 0.25;
    double attenuationDb = 120.0;
    bool minimumPhase = true;
};

// The shortest equiripple design found (Remez.h) whose taps, rounded to
// double, beat the attenuation by 1 dB from the stop-band edge on, deviate
// less than 0.0006 dB in the pass band, and for minimum phase have every zero
// inside the unit circle. Linear phase: the symmetric Remez filter. Minimum
// phase: the spectral factor of a non-negative Remez prototype of twice the
// length (the shortest), or, where the exchange cannot reach such a
// prototype's depth in long double, of the square of the linear-phase
// filter. DC gain 1 up to rounding. Empty when no design succeeds.
std::vector<double> DesignLowpass(const LowpassGoal& goal);

// Largest magnitude in dB (relative to 1) over [from, 0.5], on a grid of
// `points` frequencies (a power of two).
double PeakDb(const std::vector<double>& taps, double from, int points);

// Largest deviation from 0 dB over [0, to].
double PassbandDeviationDb(const std::vector<double>& taps, double to, int points);

} // namespace equalizer::design
