#pragma once

#include <vector>

namespace equalizer::design {

// Lowpass FIR design for the oversampler's two-times stages. Frequencies are
// in cycles per sample of the stage's higher rate (0.25 is the lower rate's
// Nyquist frequency). Runs at build time (the generator writes the taps into
// a table), in long double, so that the cepstrum's logarithms of stop-band
// values near 10^-9 keep their digits.
struct LowpassSpec {
    double passbandEnd = 0.225;
    double stopbandBegin = 0.25;
    double attenuationDb = 120.0;
    bool minimumPhase = true;
};

// Taps with a DC gain of 1 (up to rounding): a Kaiser-windowed sinc for
// linear phase; for minimum phase the same magnitude and length with its
// zeros outside the unit circle reflected inside (homomorphic method). The
// length grows until the measured stop band beats the attenuation by 1 dB.
std::vector<double> DesignLowpass(const LowpassSpec& spec);

// Largest magnitude in dB (relative to 1) over [from, 0.5], on a grid of
// `points` frequencies (a power of two).
double PeakDb(const std::vector<double>& taps, double from, int points);

// Largest deviation from 0 dB over [0, to].
double PassbandDeviationDb(const std::vector<double>& taps, double to, int points);

} // namespace equalizer::design
