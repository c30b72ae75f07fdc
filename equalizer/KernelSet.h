#pragma once

namespace equalizer::kernels {

// The vector kernels of the oversampler's FIR stages, built once for the
// x86-64 baseline (SSE2) and once for AVX2, and chosen at run time. Both are
// compiled from one source without FMA contraction and add in the same
// order, so they give the same bits; AVX2 only does four lanes at a time.
struct KernelSet {
    const char* name;
    // Two-times interpolation: for i < n, from the window x[i .. i + taps − 1]
    // (oldest first), y[2i] = Σ_j c0[j]·x[i + j] and y[2i + 1] = Σ_j c1[j]·x[i + j],
    // summed over j in increasing order from 0.
    void (*interpolate)(const double* c0, const double* c1, int taps, const double* x, double* y,
                        int n);
    // Two-times decimation over pairs of high-rate samples: for i < n,
    // y[i] = Σ_j d[2j]·u[2(i + j)] + Σ_j d[2j + 1]·u[2(i + j) + 1], each sum over
    // j in increasing order from 0, the even one first.
    void (*decimate)(const double* d, int taps, const double* u, double* y, int n);
    // The same for two channels interleaved as (left, right) pairs, with the
    // coefficients repeated per channel: q holds (c0, c0, c1, c1) per tap, the
    // window of output i is pairs i .. i + taps − 1 of x, and y[4i .. 4i + 3]
    // receives (y0 left, y0 right, y1 left, y1 right). Each channel gets the
    // bits `interpolate` gives it alone.
    void (*interpolateStereo)(const double* q, int taps, const double* x, double* y, int n);
    // q holds (d[2j], d[2j], d[2j + 1], d[2j + 1]) per tap, the window of
    // output i is pairs 2i .. 2i + 2·taps − 1 of u, and the results go to
    // left[i·stride] and right[i·stride]. Each channel gets the bits
    // `decimate` gives it alone.
    void (*decimateStereo)(const double* q, int taps, const double* u, double* left, double* right,
                           int stride, int n);
};

// [any]
const KernelSet& Baseline() noexcept;
// [any] Null when the processor lacks AVX2.
const KernelSet* Avx2() noexcept;
// [any] AVX2 where the processor has it, unless the environment variable
// LUMARO_BASELINE_KERNELS is set (to anything but "0") when first asked.
const KernelSet& Preferred() noexcept;
// [any] Whether LUMARO_BASELINE_KERNELS asks for the baseline kernels (read
// once); the chain's kernels follow it too.
bool BaselineForced() noexcept;

} // namespace equalizer::kernels
