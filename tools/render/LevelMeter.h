#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace render {

// Peak and RMS of every sample of every channel that passes.
struct LevelMeter {
    double peak = 0.0;
    double sumOfSquares = 0.0;
    int64_t samples = 0;

    void Add(const double* values, int64_t count) noexcept {
        for (int64_t i = 0; i < count; ++i) {
            const double magnitude = std::fabs(values[i]);
            if (magnitude > peak)
                peak = magnitude;
            sumOfSquares += values[i] * values[i];
        }
        samples += count;
    }
    // dB relative to full scale; minus infinity for silence.
    double PeakDb() const noexcept { return ToDb(peak); }
    double RmsDb() const noexcept {
        return samples ? ToDb(std::sqrt(sumOfSquares / static_cast<double>(samples)))
                       : -std::numeric_limits<double>::infinity();
    }
    static double ToDb(double level) noexcept {
        return level > 0.0 ? 20.0 * std::log10(level) : -std::numeric_limits<double>::infinity();
    }
};

} // namespace render
