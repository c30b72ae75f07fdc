#pragma once

#include <cmath>
#include <complex>
#include <vector>

namespace testing_support {

// Magnitude of b(z)/a(z) at frequencyHz, from the coefficients alone.
inline double ClosedFormMagnitude(double b0, double b1, double b2, double a1, double a2,
                                  double frequencyHz, double sampleRate) {
    const double w = 2.0 * M_PI * frequencyHz / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return std::abs((b0 + b1 * z1 + b2 * z2) / (1.0 + a1 * z1 + a2 * z2));
}

inline double ToDb(double magnitude) {
    return 20.0 * std::log10(magnitude);
}

// Amplitude of the frequencyHz component of signal[start..end), by projection
// onto sine and cosine over a whole number of periods (or as close as the
// window allows; with many periods the leakage is far below the tolerances
// used in the tests).
inline double MeasureAmplitude(const std::vector<double>& signal, size_t start, double frequencyHz,
                               double sampleRate) {
    const double periods = std::floor((signal.size() - start) * frequencyHz / sampleRate);
    const auto n = static_cast<size_t>(std::lround(periods * sampleRate / frequencyHz));
    double s = 0.0, c = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double phase = 2.0 * M_PI * frequencyHz * static_cast<double>(start + i) / sampleRate;
        s += signal[start + i] * std::sin(phase);
        c += signal[start + i] * std::cos(phase);
    }
    return 2.0 * std::sqrt(s * s + c * c) / static_cast<double>(n);
}

inline std::vector<double> Sine(double frequencyHz, double sampleRate, size_t length,
                                double amplitude = 1.0) {
    std::vector<double> out(length);
    for (size_t i = 0; i < length; ++i) {
        out[i] =
            amplitude * std::sin(2.0 * M_PI * frequencyHz * static_cast<double>(i) / sampleRate);
    }
    return out;
}

} // namespace testing_support
