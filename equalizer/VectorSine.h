#pragma once

#include <emmintrin.h>

namespace equalizer {

// The sine of the equalizer's colour term, s = sin(min(max(x, −1), 1)), two
// samples at a time in the lanes of an SSE2 register.
//
// On the clamped domain a polynomial is enough: the odd Taylor series of sin
// up to x^17 leaves a truncation error below 1/19! ≈ 8.2e-18 at |x| = 1,
// under a tenth of an ulp of sin(1). Near |x| = 1 the cubic term is a sixth
// of the result, so its roundings would reach the last bit: the sum
// x + c3·x³ is therefore formed with its rounding error recovered (Fast2Sum,
// exact because |x| ≥ |c3·x³|), and that error is added back together with
// the higher terms. The dense sweep in the tests measures the result within
// 1 ulp of the correctly rounded sine everywhere in [−1, 1] (0.82 ulp from
// the exact value at worst).
//
// Each lane is evaluated with exactly the same operations, so
// ClampedSine(double) and every lane of the vector form agree bit for bit,
// whatever the position of a sample in a block. Subnormals pass through
// unchanged; the sign of x is copied onto the result so that sin(−0) is −0,
// which the sum alone would turn into +0.
//
// The clamp follows fmax/fmin: maxpd returns its second operand when either
// is NaN, so a NaN sample clamps to −1.

namespace sine_detail {
// 1/(2k+1)! with alternating signs, k = 1..8, rounded to double.
inline constexpr double c3 = -1.0 / 6.0;
inline constexpr double c5 = 1.0 / 120.0;
inline constexpr double c7 = -1.0 / 5040.0;
inline constexpr double c9 = 1.0 / 362880.0;
inline constexpr double c11 = -1.0 / 39916800.0;
inline constexpr double c13 = 1.0 / 6227020800.0;
inline constexpr double c15 = -1.0 / 1307674368000.0;
inline constexpr double c17 = 1.0 / 355687428096000.0;
} // namespace sine_detail

// [any] sin of each lane clamped to [−1, 1].
inline __m128d ClampedSine(__m128d x) {
    using namespace sine_detail;
    const __m128d clamped = _mm_min_pd(_mm_max_pd(x, _mm_set1_pd(-1.0)), _mm_set1_pd(1.0));
    const __m128d x2 = clamped * clamped;
    const __m128d x3 = clamped * x2;
    __m128d r = _mm_set1_pd(c17);
    r = r * x2 + _mm_set1_pd(c15);
    r = r * x2 + _mm_set1_pd(c13);
    r = r * x2 + _mm_set1_pd(c11);
    r = r * x2 + _mm_set1_pd(c9);
    r = r * x2 + _mm_set1_pd(c7);
    r = r * x2 + _mm_set1_pd(c5);
    const __m128d cubic = x3 * _mm_set1_pd(c3);
    const __m128d higher = x3 * (x2 * r);
    const __m128d sum = clamped + cubic;
    const __m128d sumError = (clamped - sum) + cubic;
    const __m128d sine = sum + (sumError + higher);
    return _mm_or_pd(sine, _mm_and_pd(clamped, _mm_set1_pd(-0.0)));
}

// [any] One sample; bit for bit the value a vector lane gives.
inline double ClampedSine(double x) {
    return _mm_cvtsd_f64(ClampedSine(_mm_set1_pd(x)));
}

// [audio] sine[i] = ClampedSine(x[i]) for i < count. Wait-free, no allocation.
// x and sine may be the same array.
void ClampedSineBlock(const double* x, double* sine, int count);

} // namespace equalizer
