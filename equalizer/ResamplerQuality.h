#pragma once

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

} // namespace equalizer
