#pragma once

#include <emmintrin.h>

namespace equalizer {

// Whether every sample is finite: x − x is +0 for a finite x and NaN for an
// infinity or a NaN, and the NaN bits survive the OR. No branch per sample.
// [any] wait-free
inline bool AllFinite(const double* x, int frames) {
    __m128d any = _mm_setzero_pd();
    int i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128d a = _mm_loadu_pd(x + i);
        const __m128d b = _mm_loadu_pd(x + i + 2);
        any = _mm_or_pd(any, _mm_or_pd(_mm_sub_pd(a, a), _mm_sub_pd(b, b)));
    }
    for (; i < frames; ++i) {
        const __m128d a = _mm_set_sd(x[i]);
        any = _mm_or_pd(any, _mm_sub_pd(a, a));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_castpd_si128(any), _mm_setzero_si128())) == 0xFFFF;
}

} // namespace equalizer
