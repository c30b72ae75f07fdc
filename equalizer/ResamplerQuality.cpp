#include "equalizer/ResamplerQuality.h"

#include "equalizer/OversamplerFilters.h"

namespace equalizer {

namespace {

constexpr ResamplerQuality kRows[] = {
    {20.0, 80.0, true}, {15.0, 96.0, true}, {10.0, 120.0, true},
    {5.0, 150.0, true}, {2.0, 180.0, true}, {2.0, 180.0, false},
};
constexpr ResamplerQuality kFallbackRow = {10.0, 120.0, true};

} // namespace

ResamplerQuality LookUpResamplerQuality(int quality) noexcept {
    constexpr int rowCount = static_cast<int>(sizeof(kRows) / sizeof(kRows[0]));
    if (quality < 0 || quality >= rowCount)
        return kFallbackRow;
    return kRows[quality];
}

StageEdges OversamplerStageEdges(const ResamplerQuality& quality) noexcept {
    const double band = quality.transitionBandPercent / 100.0;
    // In host units (host rate 1): pass band to p, the first stage's stop band
    // from its mirror about the host Nyquist (1 − p), the second's from the
    // mirror about the doubled rate's Nyquist (2 − p).
    const double p = 0.5 * (1.0 - band);
    return {p / 2.0, (1.0 - p) / 2.0, p / 4.0, (2.0 - p) / 4.0};
}

} // namespace equalizer
