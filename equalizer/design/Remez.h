#pragma once

#include <vector>

namespace equalizer::design {

// Equiripple linear-phase lowpass design by the Remez exchange algorithm
// (Parks–McClellan), in long double: a symmetric filter of odd length
// 2·halfOrder + 1 whose weighted error alternates halfOrder + 2 times over the
// pass band [0, passbandEnd] (desired 1, weight 1) and the stop band
// [stopbandBegin, 0.5] (desired 0, weight stopbandWeight). Frequencies are in
// cycles per sample. Build-time only.
struct EquirippleLowpass {
    std::vector<long double> taps;     // empty when the exchange failed
    long double passbandRipple = 0.0L; // largest |H − 1| in the pass band
    long double stopbandRipple = 0.0L; // largest |H| in the stop band
};

EquirippleLowpass DesignEquiripple(int halfOrder, long double passbandEnd,
                                   long double stopbandBegin, long double stopbandWeight);

} // namespace equalizer::design
