#pragma once

#include "equalizer/SectionPipeline.h"

#include <cstddef>

namespace equalizer::kernels {

// The vector kernels of the stereo chain's settled path, built once for the
// x86-64 baseline (SSE2, two lanes: the two channels) and once for AVX2 (four
// lanes: the two channels of two frames, or of two sections), chosen at run
// time like the FIR kernels (KernelSet.h, the same environment variable).
// Every lane goes through exactly the operations of the per-sample
// description, without FMA contraction, so both give the same bits.
struct ChainKernels {
    const char* name;
    // sine[i] = ClampedSine(x[i]) for i < count (x and sine may be the same).
    void (*sine)(const double* x, double* sine, int count);
    // The settled run of `count` (1..5) sections over (left, right) pairs, as
    // pipeline::SettledRunFor<DoublePair>.
    pipeline::SettledRun<pipeline::DoublePair> (*settledRun)(int count, bool highPassFirst);
    // y[f] ← (left[f·stride], right[f·stride]) for f < n.
    void (*gather)(const double* left, const double* right, std::ptrdiff_t stride,
                   pipeline::DoublePair* y, int n);
    // The output stage, y·gain + colour·s as pipeline::RunOutput computes it,
    // written to (left[f·stride], right[f·stride]) for f < n.
    void (*finish)(const pipeline::DoublePair* y, const pipeline::DoublePair* s, int n,
                   double colour, double gain, double* left, double* right, std::ptrdiff_t stride);
};

// [any]
const ChainKernels& BaselineChain() noexcept;
// [any] Null when the processor lacks AVX2.
const ChainKernels* Avx2Chain() noexcept;
// [any] AVX2 where the processor has it, unless LUMARO_BASELINE_KERNELS is set
// (to anything but "0") when first asked.
const ChainKernels& PreferredChain() noexcept;

} // namespace equalizer::kernels
