// The stereo chain's settled kernels for AVX2. Built with -mavx2 (and, like
// everything, without FMA contraction); only reached after the processor was
// found to have AVX2. Nothing here calls an inline function or template of a
// shared header (their out-of-line copies could stand in for the baseline's
// at link time): the arithmetic is written out below, on builtin vectors and
// intrinsics only.

#include "equalizer/ChainKernels.h"
#include "equalizer/VectorSine.h"

#include <immintrin.h>

namespace equalizer::kernels {

namespace {

using pipeline::DoublePair;
using pipeline::Stage;

typedef double Quad __attribute__((vector_size(32)));

// --- Sine ------------------------------------------------------------------

// ClampedSine (VectorSine.h) on four lanes: the same operations in the same
// order, hence the same bits in every lane.
inline __m256d ClampedSine4(__m256d x) {
    using namespace sine_detail;
    const __m256d clamped =
        _mm256_min_pd(_mm256_max_pd(x, _mm256_set1_pd(-1.0)), _mm256_set1_pd(1.0));
    const __m256d x2 = clamped * clamped;
    const __m256d x3 = clamped * x2;
    __m256d r = _mm256_set1_pd(c17);
    r = r * x2 + _mm256_set1_pd(c15);
    r = r * x2 + _mm256_set1_pd(c13);
    r = r * x2 + _mm256_set1_pd(c11);
    r = r * x2 + _mm256_set1_pd(c9);
    r = r * x2 + _mm256_set1_pd(c7);
    r = r * x2 + _mm256_set1_pd(c5);
    const __m256d cubic = x3 * _mm256_set1_pd(c3);
    const __m256d higher = x3 * (x2 * r);
    const __m256d sum = clamped + cubic;
    const __m256d sumError = (clamped - sum) + cubic;
    const __m256d sine = sum + (sumError + higher);
    return _mm256_or_pd(sine, _mm256_and_pd(clamped, _mm256_set1_pd(-0.0)));
}

void SineBlock(const double* x, double* sine, int count) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        // Two at a time: the polynomial is a chain of dependent steps.
        const __m256d a = ClampedSine4(_mm256_loadu_pd(x + i));
        const __m256d b = ClampedSine4(_mm256_loadu_pd(x + i + 4));
        _mm256_storeu_pd(sine + i, a);
        _mm256_storeu_pd(sine + i + 4, b);
    }
    for (; i + 4 <= count; i += 4)
        _mm256_storeu_pd(sine + i, ClampedSine4(_mm256_loadu_pd(x + i)));
    if (i < count) {
        double in[4] = {0.0, 0.0, 0.0, 0.0};
        double out[4];
        for (int k = 0; i + k < count; ++k)
            in[k] = x[i + k];
        _mm256_storeu_pd(out, ClampedSine4(_mm256_loadu_pd(in)));
        for (int k = 0; i + k < count; ++k)
            sine[i + k] = out[k];
    }
}

// --- Frames in and out ------------------------------------------------------

void Gather(const double* left, const double* right, std::ptrdiff_t stride, DoublePair* y, int n) {
    double* out = reinterpret_cast<double*>(y);
    int f = 0;
    if (stride == 1) {
        for (; f + 4 <= n; f += 4) {
            const __m256d l = _mm256_loadu_pd(left + f);   // l0 l1 l2 l3
            const __m256d r = _mm256_loadu_pd(right + f);  // r0 r1 r2 r3
            const __m256d low = _mm256_unpacklo_pd(l, r);  // l0 r0 l2 r2
            const __m256d high = _mm256_unpackhi_pd(l, r); // l1 r1 l3 r3
            _mm256_storeu_pd(out + 2 * f, _mm256_permute2f128_pd(low, high, 0x20));
            _mm256_storeu_pd(out + 2 * f + 4, _mm256_permute2f128_pd(low, high, 0x31));
        }
    } else if (stride == 2 && right == left + 1) {
        for (; f + 2 <= n; f += 2)
            _mm256_storeu_pd(out + 2 * f, _mm256_loadu_pd(left + 2 * f));
    }
    for (; f < n; ++f) {
        out[2 * f] = left[f * stride];
        out[2 * f + 1] = right[f * stride];
    }
}

void Finish(const DoublePair* y, const DoublePair* s, int n, double colour, double gain,
            double* left, double* right, std::ptrdiff_t stride) {
    const double* in = reinterpret_cast<const double*>(y);
    const double* sine = reinterpret_cast<const double*>(s);
    const __m256d c = _mm256_set1_pd(colour);
    const __m256d g = _mm256_set1_pd(gain);
    const auto output = [&](int f) {
        return _mm256_add_pd(_mm256_mul_pd(c, _mm256_loadu_pd(sine + 2 * f)),
                             _mm256_mul_pd(_mm256_loadu_pd(in + 2 * f), g));
    };
    int f = 0;
    if (stride == 1) {
        for (; f + 4 <= n; f += 4) {
            const __m256d a = output(f);                             // l0 r0 l1 r1
            const __m256d b = output(f + 2);                         // l2 r2 l3 r3
            const __m256d low = _mm256_permute2f128_pd(a, b, 0x20);  // l0 r0 l2 r2
            const __m256d high = _mm256_permute2f128_pd(a, b, 0x31); // l1 r1 l3 r3
            _mm256_storeu_pd(left + f, _mm256_unpacklo_pd(low, high));
            _mm256_storeu_pd(right + f, _mm256_unpackhi_pd(low, high));
        }
    } else if (stride == 2 && right == left + 1) {
        for (; f + 2 <= n; f += 2)
            _mm256_storeu_pd(left + 2 * f, output(f));
    }
    for (; f < n; ++f) {
        const __m128d out = _mm_add_pd(_mm_mul_pd(_mm_set1_pd(colour), _mm_loadu_pd(sine + 2 * f)),
                                       _mm_mul_pd(_mm_loadu_pd(in + 2 * f), _mm_set1_pd(gain)));
        _mm_storel_pd(left + f * stride, out);
        _mm_storeh_pd(right + f * stride, out);
    }
}

// --- Settled sections ------------------------------------------------------

// Stage::Filter (SectionPipeline.h) written out, for a pair of lanes and for
// four.
template <class V> struct Section {
    V b0, b1, b2, a1, a2;
    V x1, x2, y1, y2;
    V amount;
};

template <class V> inline V Filter(Section<V>& st, V x) {
    const V y = st.b0 * x + st.b1 * st.x1 + st.b2 * st.x2 - st.a1 * st.y1 - st.a2 * st.y2;
    st.x2 = st.x1;
    st.x1 = x;
    st.y2 = st.y1;
    st.y1 = y;
    return y;
}

Section<DoublePair> FromStage(const Stage<DoublePair>& st) {
    return {st.b0, st.b1, st.b2, st.a1, st.a2, st.x1, st.x2, st.y1, st.y2, st.amount};
}

void ToStage(const Section<DoublePair>& s, Stage<DoublePair>& st) {
    st.b0 = s.b0;
    st.b1 = s.b1;
    st.b2 = s.b2;
    st.a1 = s.a1;
    st.a2 = s.a2;
    st.x1 = s.x1;
    st.x2 = s.x2;
    st.y1 = s.y1;
    st.y2 = s.y2;
    st.amount = s.amount;
}

inline Quad Join(DoublePair low, DoublePair high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}
inline DoublePair Low(Quad q) {
    return __builtin_shufflevector(q, q, 0, 1);
}
inline DoublePair High(Quad q) {
    return __builtin_shufflevector(q, q, 2, 3);
}

inline int Smaller(int a, int b) {
    return a < b ? a : b;
}

template <int k> struct Index { static constexpr int value = k; };

template <int k, class F> inline void Unrolled(F&& f) {
    if constexpr (k > 0) {
        Unrolled<k - 1>(f);
        f(Index<k - 1>{});
    }
}

// `count` settled sections over n (left, right) pairs, in place; s holds the
// sine term of each pair. The layout of RunSettledPaired (PairedPipeline.h)
// with pairs of lanes for lanes: in step t stage k works on frame t − 2k, and
// the four lanes of quad p hold stage 2p + 1 (frame t − 4p − 2, low half) and
// stage 2p (frame t − 4p, high half). A stage's input is its predecessor's
// output from two steps before, which is that stage's y2: one shuffle of the
// quad's own y2 and the previous quad's, so no step waits for the step just
// before it. With an odd count the last quad's low half is idle (zero
// coefficients, never stored). Every lane sees the operations of the scalar
// recursion; y holds after each step, per frame, the output of the last stage
// that has processed it, so the fill and the drain run stage by stage.
template <int count, bool highPassFirst>
void RunSettledQuads(Stage<DoublePair>* stages, DoublePair* y, const DoublePair* s, int n) {
    static_assert(count >= 2 && count <= 5);
    constexpr int quads = (count + 1) / 2;
    constexpr bool oddCount = count % 2 == 1;
    constexpr int skew = 2;
    constexpr int firstStep = skew * (count - 1);

    Section<DoublePair> single[count];
    for (int k = 0; k < count; ++k)
        single[k] = FromStage(stages[k]);
    const auto scalarStep = [&](int k, int f) {
        Section<DoublePair>& st = single[k];
        const DoublePair x = (highPassFirst && k == 0) ? y[f] : y[f] + st.amount * s[f];
        y[f] = Filter(st, x);
    };
    for (int k = 0; k < count; ++k)
        for (int f = 0; f < Smaller(firstStep - skew * k, n); ++f)
            scalarStep(k, f);

    if (n > firstStep) {
        Section<Quad> quad[quads];
        const DoublePair zero = {0.0, 0.0};
        for (int p = 0; p < quads; ++p) {
            const Section<DoublePair>& newer = single[2 * p];
            const Section<DoublePair> idle = {zero, zero, zero, zero, zero,
                                              zero, zero, zero, zero, zero};
            const Section<DoublePair>& older = 2 * p + 1 < count ? single[2 * p + 1] : idle;
            quad[p] = {Join(older.b0, newer.b0), Join(older.b1, newer.b1),
                       Join(older.b2, newer.b2), Join(older.a1, newer.a1),
                       Join(older.a2, newer.a2), Join(older.x1, newer.x1),
                       Join(older.x2, newer.x2), Join(older.y1, newer.y1),
                       Join(older.y2, newer.y2), Join(older.amount, newer.amount)};
        }
        for (int t = firstStep; t < n; ++t) {
            // Last quad first: each reads the y2 of the quad before it, which
            // must not have moved on in this step yet.
            Unrolled<quads>([&](auto index) {
                constexpr int p = quads - 1 - decltype(index)::value;
                const int newer = t - 2 * skew * p;
                const int older = newer - skew;
                const Quad before =
                    p == 0 ? Quad(_mm256_broadcast_pd(reinterpret_cast<const __m128d*>(y + t)))
                           : quad[p == 0 ? 0 : p - 1].y2;
                const Quad input =
                    Quad(_mm256_permute2f128_pd(__m256d(quad[p].y2), __m256d(before), 0x21));
                // The idle half's frame lies before the buffer's start in the
                // first steps; it reads nothing.
                const double* newerSine = reinterpret_cast<const double*>(s + newer);
                const Quad sine =
                    Quad(oddCount && p == quads - 1
                             ? _mm256_insertf128_pd(_mm256_setzero_pd(), _mm_load_pd(newerSine), 1)
                             : _mm256_loadu2_m128d(newerSine,
                                                   reinterpret_cast<const double*>(s + older)));
                Quad x = input + quad[p].amount * sine;
                if constexpr (highPassFirst && p == 0) {
                    // The high-pass (the high half of quad 0) adds no sine term.
                    x = Quad(_mm256_blend_pd(__m256d(x), __m256d(input), 0b1100));
                }
                const Quad out = Filter(quad[p], x);
                _mm_store_pd(reinterpret_cast<double*>(y + newer),
                             _mm256_extractf128_pd(__m256d(out), 1));
                if constexpr (!(oddCount && p == quads - 1))
                    _mm_store_pd(reinterpret_cast<double*>(y + older),
                                 _mm256_castpd256_pd128(__m256d(out)));
            });
        }
        for (int p = 0; p < quads; ++p) {
            const Section<Quad>& q = quad[p];
            single[2 * p] = {High(q.b0), High(q.b1), High(q.b2), High(q.a1), High(q.a2),
                             High(q.x1), High(q.x2), High(q.y1), High(q.y2), High(q.amount)};
            if (2 * p + 1 < count)
                single[2 * p + 1] = {Low(q.b0), Low(q.b1), Low(q.b2), Low(q.a1), Low(q.a2),
                                     Low(q.x1), Low(q.x2), Low(q.y1), Low(q.y2), Low(q.amount)};
        }
    }

    for (int k = 0; k < count; ++k) {
        const int filled = Smaller(firstStep - skew * k, n);
        for (int f = n > firstStep ? n - skew * k : filled; f < n; ++f)
            scalarStep(k, f);
    }
    for (int k = 0; k < count; ++k)
        ToStage(single[k], stages[k]);
}

// One section: nothing to pair.
template <bool highPassFirst>
void RunSingle(Stage<DoublePair>* stages, DoublePair* y, const DoublePair* s, int n) {
    Section<DoublePair> st = FromStage(stages[0]);
    for (int f = 0; f < n; ++f) {
        const DoublePair x = highPassFirst ? y[f] : y[f] + st.amount * s[f];
        y[f] = Filter(st, x);
    }
    ToStage(st, stages[0]);
}

pipeline::SettledRun<DoublePair> SettledRunFor(int count, bool highPassFirst) {
    switch (count * 2 + (highPassFirst ? 1 : 0)) {
    case 2:
        return &RunSingle<false>;
    case 3:
        return &RunSingle<true>;
    case 4:
        return &RunSettledQuads<2, false>;
    case 5:
        return &RunSettledQuads<2, true>;
    case 6:
        return &RunSettledQuads<3, false>;
    case 7:
        return &RunSettledQuads<3, true>;
    case 8:
        return &RunSettledQuads<4, false>;
    case 9:
        return &RunSettledQuads<4, true>;
    case 11:
        return &RunSettledQuads<5, true>;
    default:
        return nullptr;
    }
}

} // namespace

const ChainKernels& Avx2ChainSet() noexcept {
    static constexpr ChainKernels set{"avx2", &SineBlock, &SettledRunFor, &Gather, &Finish};
    return set;
}

} // namespace equalizer::kernels
