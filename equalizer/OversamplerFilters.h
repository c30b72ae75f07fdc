#pragma once

namespace equalizer {

// Taps of one lowpass FIR, in time order.
struct FirTaps {
    const double* taps = nullptr;
    int count = 0;
};

// The two lowpass filters of one quality row. `first` runs between the host
// rate and twice it and carries the row's transition band: pass band to
// (1 − band) of the host Nyquist frequency, stop band from the Nyquist
// frequency on, so nothing folds back into the host's band. `second` runs
// between two and four times the host rate, where the signal occupies at most
// half the band: pass band to the host Nyquist, stop band from 1.5 times the
// host rate. Both reach the row's attenuation; minimum or linear phase as the
// row says. Each filter serves its up- and its downsampler.
struct OversamplerFilters {
    FirTaps first;
    FirTaps second;
};

// Designed at build time (equalizer/design/); rows outside 0..5 fall back to
// row 2, as the quality table does.
// [any]
const OversamplerFilters& LookUpOversamplerFilters(int quality) noexcept;

} // namespace equalizer
