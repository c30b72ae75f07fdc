#include "equalizer/KernelSet.h"

#include <cstdlib>

namespace equalizer::kernels {

namespace {
#define FIR_KERNEL_LANES 2
#include "equalizer/FirKernelsImpl.h"
#undef FIR_KERNEL_LANES
} // namespace

const KernelSet& Baseline() noexcept {
    static constexpr KernelSet set{"sse2", &Interpolate, &Decimate, &InterpolateStereo,
                                   &DecimateStereo};
    return set;
}

// Defined in FirKernelsAvx2.cpp, which is built for AVX2.
const KernelSet& Avx2Set() noexcept;

const KernelSet* Avx2() noexcept {
    return __builtin_cpu_supports("avx2") ? &Avx2Set() : nullptr;
}

bool BaselineForced() noexcept {
    static const bool forced = [] {
        const char* value = std::getenv("LUMARO_BASELINE_KERNELS");
        return value != nullptr && !(value[0] == '0' && value[1] == '\0');
    }();
    return forced;
}

const KernelSet& Preferred() noexcept {
    static const KernelSet* const chosen = [] {
        const KernelSet* avx2 = Avx2();
        return BaselineForced() || avx2 == nullptr ? &Baseline() : avx2;
    }();
    return *chosen;
}

} // namespace equalizer::kernels
