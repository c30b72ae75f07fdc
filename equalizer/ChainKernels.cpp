#include "equalizer/ChainKernels.h"

#include "equalizer/KernelSet.h"
#include "equalizer/VectorSine.h"

namespace equalizer::kernels {

namespace {

using pipeline::DoublePair;

void Gather(const double* left, const double* right, std::ptrdiff_t stride, DoublePair* y, int n) {
    for (int f = 0; f < n; ++f)
        y[f] = pipeline::MakePair(left[f * stride], right[f * stride]);
}

void Finish(const DoublePair* y, const DoublePair* s, int n, double colour, double gain,
            double* left, double* right, std::ptrdiff_t stride) {
    const DoublePair c = pipeline::Broadcast<DoublePair>(colour);
    const DoublePair g = pipeline::Broadcast<DoublePair>(gain);
    for (int f = 0; f < n; ++f) {
        const DoublePair out = c * s[f] + y[f] * g;
        left[f * stride] = out[0];
        right[f * stride] = out[1];
    }
}

} // namespace

const ChainKernels& BaselineChain() noexcept {
    static constexpr ChainKernels set{"sse2", &ClampedSineBlock,
                                      &pipeline::SettledRunFor<pipeline::DoublePair>, &Gather,
                                      &Finish};
    return set;
}

// Defined in ChainKernelsAvx2.cpp, which is built for AVX2.
const ChainKernels& Avx2ChainSet() noexcept;

const ChainKernels* Avx2Chain() noexcept {
    return __builtin_cpu_supports("avx2") ? &Avx2ChainSet() : nullptr;
}

const ChainKernels& PreferredChain() noexcept {
    static const ChainKernels* const chosen = [] {
        const ChainKernels* avx2 = Avx2Chain();
        return BaselineForced() || avx2 == nullptr ? &BaselineChain() : avx2;
    }();
    return *chosen;
}

} // namespace equalizer::kernels
