#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace plugin {

// Sets flush-to-zero and denormals-are-zero for its lifetime and restores the
// caller's floating-point mode afterwards. Decaying recursive filters and
// resampler tails otherwise fall into subnormal arithmetic, which is tens of
// times slower on x86. On processors without these controls the guard does
// nothing; results then keep their subnormals (correct, only slower).
//
// [audio] wait-free.
class DenormalGuard {
public:
#if defined(__SSE__) || defined(__x86_64__)
    static constexpr unsigned flushBits = 0x8040; // MXCSR FTZ (bit 15) | DAZ (bit 6)
    DenormalGuard() noexcept : saved(_mm_getcsr()) {
        _mm_setcsr(saved | flushBits);
    }
    ~DenormalGuard() {
        _mm_setcsr(saved);
    }

private:
    unsigned saved;
#else
    DenormalGuard() noexcept = default;
#endif
public:
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;
};

} // namespace plugin
