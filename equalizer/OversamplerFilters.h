#pragma once

#include "equalizer/ResamplerQuality.h"

namespace equalizer {

// Taps of one lowpass FIR, in time order.
struct FirTaps {
    const double* taps = nullptr;
    int count = 0;
};

// The band edges of one quality row's two filters, in cycles per sample of
// each stage's higher rate (0.25 is the lower rate's Nyquist frequency).
//
// Each stage's transition band is centred on the Nyquist frequency of its
// lower rate, so that everything a stage lets fold (aliases on the way down,
// images on the way up) is the mirror of its own transition band. The first
// stage (host rate to twice it) carries the row's band b: pass band to
// (1 − b) of the host Nyquist frequency, stop band from (1 + b) of it; what
// folds lands above (1 − b) of the host Nyquist, in the host's transition
// band, never in its pass band. The second (twice to four times) passes the
// same host pass band and stops its mirror about the doubled rate's Nyquist
// frequency. Compared with a first stage that stops at the host Nyquist, this
// halves the transition band's share of the length.
struct StageEdges {
    double firstPassbandEnd;
    double firstStopbandBegin;
    double secondPassbandEnd;
    double secondStopbandBegin;
};

// [any]
StageEdges OversamplerStageEdges(const ResamplerQuality& quality) noexcept;

// The two lowpass filters of one quality row (`first` between the host rate
// and twice it, `second` between twice and four times), each reaching the
// row's attenuation from its stop-band edge on, minimum or linear phase as
// the row says. Each filter serves its up- and its downsampler.
struct OversamplerFilters {
    FirTaps first;
    FirTaps second;
};

// Designed at build time (equalizer/design/); rows outside 0..5 fall back to
// row 2, as the quality table does.
// [any]
const OversamplerFilters& LookUpOversamplerFilters(int quality) noexcept;

} // namespace equalizer
