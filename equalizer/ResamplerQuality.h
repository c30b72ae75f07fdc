#pragma once

#include <soxr.h>

namespace equalizer {

// One row of the oversampler's quality table: how steep the anti-imaging and
// anti-aliasing filters are and whether they are minimum or linear phase.
struct ResamplerQuality {
    double transitionBandPercent = 10.0; // of the host Nyquist, below it
    double attenuationDb = 120.0;        // stop-band rejection
    bool minimumPhase = true;
};

// Row 2 is the real-time setting and row 3 the offline one; rows outside 0..5
// fall back to row 2's figures.
// [any]
ResamplerQuality LookUpResamplerQuality(int quality) noexcept;

// The soxr settings that realise a row: the library's high-quality recipe with
// precision, phase and band edges replaced. The recipe's own flags are kept
// because later soxr calls depend on a private bit it sets there.
// [any]
soxr_quality_spec_t MakeSoxrQualitySpec(const ResamplerQuality& row) noexcept;

// Bits of precision that soxr needs for a stop-band attenuation (about 6.02 dB
// per bit), limited to the range the library accepts.
// [any]
double SoxrPrecisionBits(double attenuationDb) noexcept;

} // namespace equalizer
