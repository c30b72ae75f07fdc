#include "equalizer/ResamplerQuality.h"

#include <algorithm>
#include <cmath>

namespace equalizer {

namespace {

// soxr's precision range: below 15 bits it switches to low-quality recipes,
// above 33 it refuses to build the filter.
constexpr double kMinPrecisionBits = 15.0;
constexpr double kMaxPrecisionBits = 33.0;
// 20·log10(2): the dynamic range one bit of precision buys.
constexpr double kDbPerBit = 6.02;
// soxr's phase_response scale: 0 minimum, 50 linear, 100 maximum phase.
constexpr double kSoxrMinimumPhase = 0.0;
constexpr double kSoxrLinearPhase = 50.0;

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

double SoxrPrecisionBits(double attenuationDb) noexcept {
    if (!std::isfinite(attenuationDb))
        return kMaxPrecisionBits;
    return std::clamp(std::round(attenuationDb / kDbPerBit), kMinPrecisionBits, kMaxPrecisionBits);
}

soxr_quality_spec_t MakeSoxrQualitySpec(const ResamplerQuality& row) noexcept {
    soxr_quality_spec_t recipe = soxr_quality_spec(SOXR_HQ, 0);
    recipe.precision = SoxrPrecisionBits(row.attenuationDb);
    recipe.phase_response = row.minimumPhase ? kSoxrMinimumPhase : kSoxrLinearPhase;
    // Band edges are fractions of the lower rate's Nyquist: the pass band ends
    // one transition band below it and the stop band starts exactly at it, so
    // nothing folds back into the audible band.
    recipe.passband_end = 1.0 - row.transitionBandPercent / 100.0;
    recipe.stopband_begin = 1.0;
    return recipe;
}

} // namespace equalizer
