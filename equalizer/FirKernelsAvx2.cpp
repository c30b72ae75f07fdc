// Built with -mavx2 (and, like everything, without FMA contraction). Only
// reached after the processor was found to have AVX2.

#include "equalizer/KernelSet.h"

namespace equalizer::kernels {

namespace {
#define FIR_KERNEL_LANES 4
#include "equalizer/FirKernelsImpl.h"
#undef FIR_KERNEL_LANES
} // namespace

const KernelSet& Avx2Set() noexcept {
    static constexpr KernelSet set{"avx2", &Interpolate, &Decimate, &InterpolateStereo,
                                   &DecimateStereo};
    return set;
}

} // namespace equalizer::kernels
