// The FIR kernels of KernelSet.h for a vector of kLanes doubles. Included once
// per instruction set by a file that defines kLanes and opens an anonymous
// namespace around it, so that nothing of one instruction set can stand in
// for the other at link time (no inline functions of shared headers here).

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
