// The FIR kernels of KernelSet.h for a vector of kLanes doubles. Included once
// per instruction set by a file that defines FIR_KERNEL_LANES (2 or 4) and
// opens an anonymous namespace around it, so that nothing of one instruction set can stand in
// for the other at link time (no inline functions of shared headers here).

constexpr int kLanes = FIR_KERNEL_LANES;

typedef double Vector __attribute__((vector_size(8 * kLanes)));
typedef double UnalignedVector __attribute__((vector_size(8 * kLanes), aligned(8)));

inline Vector Load(const double* p) {
    return *reinterpret_cast<const UnalignedVector*>(p);
}

// x − 0 is x for every x, −0 and NaN included, and folds into a broadcast.
inline Vector Splat(double x) {
    return x - Vector{};
}

inline Vector SplatPair(double even, double odd) {
    Vector v;
    for (int l = 0; l < kLanes; l += 2) {
        v[l] = even;
        v[l + 1] = odd;
    }
    return v;
}

// The sums of a group are separate variables, not an array, so that they stay
// in registers: four groups of outputs for the interpolator (two sums each),
// eight for the decimator, enough to cover the adder's latency.
void Interpolate(const double* c0, const double* c1, int taps, const double* x, double* y, int n) {
    constexpr int step = 4 * kLanes;
    int i = 0;
    for (; i + step <= n; i += step) {
        Vector a0 = {}, a1 = {}, a2 = {}, a3 = {};
        Vector b0 = {}, b1 = {}, b2 = {}, b3 = {};
        const double* window = x + i;
        for (int j = 0; j < taps; ++j) {
            const Vector k0 = Splat(c0[j]);
            const Vector k1 = Splat(c1[j]);
            const Vector v0 = Load(window + j);
            const Vector v1 = Load(window + j + kLanes);
            const Vector v2 = Load(window + j + 2 * kLanes);
            const Vector v3 = Load(window + j + 3 * kLanes);
            a0 += k0 * v0;
            b0 += k1 * v0;
            a1 += k0 * v1;
            b1 += k1 * v1;
            a2 += k0 * v2;
            b2 += k1 * v2;
            a3 += k0 * v3;
            b3 += k1 * v3;
        }
        const Vector as[4] = {a0, a1, a2, a3};
        const Vector bs[4] = {b0, b1, b2, b3};
        for (int g = 0; g < 4; ++g) {
            for (int l = 0; l < kLanes; ++l) {
                y[2 * (i + g * kLanes + l)] = as[g][l];
                y[2 * (i + g * kLanes + l) + 1] = bs[g][l];
            }
        }
    }
    for (; i < n; ++i) {
        double s0 = 0.0;
        double s1 = 0.0;
        for (int j = 0; j < taps; ++j) {
            s0 += c0[j] * x[i + j];
            s1 += c1[j] * x[i + j];
        }
        y[2 * i] = s0;
        y[2 * i + 1] = s1;
    }
}

void Decimate(const double* d, int taps, const double* u, double* y, int n) {
    constexpr int perVector = kLanes / 2;
    constexpr int step = 8 * perVector;
    int i = 0;
    for (; i + step <= n; i += step) {
        Vector s0 = {}, s1 = {}, s2 = {}, s3 = {}, s4 = {}, s5 = {}, s6 = {}, s7 = {};
        const double* window = u + 2 * i;
        for (int j = 0; j < taps; ++j) {
            const Vector k = SplatPair(d[2 * j], d[2 * j + 1]);
            const double* w = window + 2 * j;
            s0 += k * Load(w);
            s1 += k * Load(w + kLanes);
            s2 += k * Load(w + 2 * kLanes);
            s3 += k * Load(w + 3 * kLanes);
            s4 += k * Load(w + 4 * kLanes);
            s5 += k * Load(w + 5 * kLanes);
            s6 += k * Load(w + 6 * kLanes);
            s7 += k * Load(w + 7 * kLanes);
        }
        const Vector sums[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
        for (int g = 0; g < 8; ++g)
            for (int p = 0; p < perVector; ++p)
                y[i + g * perVector + p] = sums[g][2 * p] + sums[g][2 * p + 1];
    }
    for (; i < n; ++i) {
        double even = 0.0;
        double odd = 0.0;
        for (int j = 0; j < taps; ++j) {
            even += d[2 * j] * u[2 * (i + j)];
            odd += d[2 * j + 1] * u[2 * (i + j) + 1];
        }
        y[i] = even + odd;
    }
}

// --- Two channels interleaved: (left, right) pairs -------------------------
//
// A group is the four values of one output time of the interpolator (both
// phases, both channels) or one input pair-of-pairs of the decimator; it
// fills kGroup vectors. Every lane adds exactly the products the one-channel
// kernels add, in the same order, so the channels come out bit for bit as if
// each ran alone.

constexpr int kGroup = 4 / kLanes;

struct Group {
    Vector v[kGroup];
};

inline Group LoadGroup(const double* p) {
    Group g;
    for (int k = 0; k < kGroup; ++k)
        g.v[k] = Load(p + k * kLanes);
    return g;
}

// One (left, right) pair in every half of the group. (Chosen by the
// preprocessor: a vector of the other width does not compile here.)
inline Group LoadPairTwice(const double* p) {
    Group g;
#if FIR_KERNEL_LANES == 4
    typedef double Pair __attribute__((vector_size(16), aligned(8)));
    const Pair pair = *reinterpret_cast<const Pair*>(p);
    g.v[0] = __builtin_shufflevector(pair, pair, 0, 1, 0, 1);
#else
    // A vector is the pair itself.
    g.v[0] = Load(p);
    g.v[1] = g.v[0];
#endif
    return g;
}

inline void Accumulate(Group& sum, const Group& k, const Group& x) {
    for (int v = 0; v < kGroup; ++v)
        sum.v[v] += k.v[v] * x.v[v];
}

// Stores the group's four values (the interpolator's y0L, y0R, y1L, y1R).
inline void StoreGroup(double* p, const Group& g) {
    for (int k = 0; k < kGroup; ++k)
        for (int l = 0; l < kLanes; ++l)
            p[k * kLanes + l] = g.v[k][l];
}

// Two-times interpolation of both channels: x holds pairs, the window of
// output i being pairs i .. i + taps − 1 (oldest first); q holds per tap
// (c0, c0, c1, c1). For i < n: y[4i .. 4i + 3] = (y0L, y0R, y1L, y1R), each
// Σ_j over j increasing from 0, as Interpolate does per channel.
void InterpolateStereo(const double* q, int taps, const double* x, double* y, int n) {
    constexpr int step = 8 / kGroup; // group sums in flight
    int i = 0;
    for (; i + step <= n; i += step) {
        Group s[step] = {};
        const double* window = x + 2 * i;
#pragma GCC unroll 2
        for (int j = 0; j < taps; ++j) {
            const Group k = LoadGroup(q + 4 * j);
#pragma GCC unroll 8
            for (int g = 0; g < step; ++g)
                Accumulate(s[g], k, LoadPairTwice(window + 2 * (j + g)));
        }
#pragma GCC unroll 8
        for (int g = 0; g < step; ++g)
            StoreGroup(y + 4 * (i + g), s[g]);
    }
    for (; i < n; ++i) {
        Group s = {};
        for (int j = 0; j < taps; ++j)
            Accumulate(s, LoadGroup(q + 4 * j), LoadPairTwice(x + 2 * (i + j)));
        StoreGroup(y + 4 * i, s);
    }
}

// The (left, right) result of a decimator group: the even sums plus the odd.
inline void StoreSum(const Group& g, double* left, double* right) {
#if FIR_KERNEL_LANES == 4
    left[0] = g.v[0][0] + g.v[0][2];
    right[0] = g.v[0][1] + g.v[0][3];
#else
    const Vector sum = g.v[0] + g.v[1];
    left[0] = sum[0];
    right[0] = sum[1];
#endif
}

// Two-times decimation of both channels: u holds pairs at the high rate, the
// window of output i being pairs 2i .. 2i + 2·taps − 1; q holds per tap
// (d_even, d_even, d_odd, d_odd). For i < n: the left result goes to
// left[i·stride] and the right one to right[i·stride], each the even sum plus
// the odd sum, both over j increasing from 0, as Decimate does per channel.
void DecimateStereo(const double* q, int taps, const double* u, double* left, double* right,
                    int stride, int n) {
    constexpr int step = 8 / kGroup;
    int i = 0;
    for (; i + step <= n; i += step) {
        Group s[step] = {};
        const double* window = u + 4 * i;
#pragma GCC unroll 2
        for (int j = 0; j < taps; ++j) {
            const Group k = LoadGroup(q + 4 * j);
#pragma GCC unroll 8
            for (int g = 0; g < step; ++g)
                Accumulate(s[g], k, LoadGroup(window + 4 * (j + g)));
        }
#pragma GCC unroll 8
        for (int g = 0; g < step; ++g)
            StoreSum(s[g], left + (i + g) * stride, right + (i + g) * stride);
    }
    for (; i < n; ++i) {
        Group s = {};
        for (int j = 0; j < taps; ++j)
            Accumulate(s, LoadGroup(q + 4 * j), LoadGroup(u + 4 * (i + j)));
        StoreSum(s, left + i * stride, right + i * stride);
    }
}
