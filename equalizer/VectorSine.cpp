#include "equalizer/VectorSine.h"

namespace equalizer {

void ClampedSineBlock(const double* x, double* sine, int count) {
    int i = 0;
    for (; i + 2 <= count; i += 2) {
        _mm_storeu_pd(sine + i, ClampedSine(_mm_loadu_pd(x + i)));
    }
    if (i < count) {
        sine[i] = ClampedSine(x[i]);
    }
}

} // namespace equalizer
