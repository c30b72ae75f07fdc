// The FIR kernels of KernelSet.h for a vector of kLanes doubles. Included once
// per instruction set by a file that defines kLanes and opens an anonymous
// namespace around it, so that nothing of one instruction set can stand in
// for the other at link time (no inline functions of shared headers here).

typedef double Vector __attribute__((vector_size(8 * kLanes)));
typedef double UnalignedVector __attribute__((vector_size(8 * kLanes), aligned(8)));

inline Vector Load(const double* p) {
    return *reinterpret_cast<const UnalignedVector*>(p);
}

inline Vector Splat(double x) {
    Vector v;
    for (int l = 0; l < kLanes; ++l)
        v[l] = x;
    return v;
}

inline Vector SplatPair(double even, double odd) {
    Vector v;
    for (int l = 0; l < kLanes; l += 2) {
        v[l] = even;
        v[l + 1] = odd;
    }
    return v;
}

// Independent sums in flight: enough to cover the adder's latency.
constexpr int kInterpolateGroups = 4;
constexpr int kDecimateGroups = 8;

void Interpolate(const double* c0, const double* c1, int taps, const double* x, double* y, int n) {
    constexpr int step = kInterpolateGroups * kLanes;
    int i = 0;
    for (; i + step <= n; i += step) {
        Vector a[kInterpolateGroups] = {};
        Vector b[kInterpolateGroups] = {};
        for (int j = 0; j < taps; ++j) {
            const Vector k0 = Splat(c0[j]);
            const Vector k1 = Splat(c1[j]);
            for (int g = 0; g < kInterpolateGroups; ++g) {
                const Vector v = Load(x + i + g * kLanes + j);
                a[g] += k0 * v;
                b[g] += k1 * v;
            }
        }
        for (int g = 0; g < kInterpolateGroups; ++g) {
            for (int l = 0; l < kLanes; ++l) {
                y[2 * (i + g * kLanes + l)] = a[g][l];
                y[2 * (i + g * kLanes + l) + 1] = b[g][l];
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
    constexpr int step = kDecimateGroups * perVector;
    int i = 0;
    for (; i + step <= n; i += step) {
        Vector sum[kDecimateGroups] = {};
        for (int j = 0; j < taps; ++j) {
            const Vector k = SplatPair(d[2 * j], d[2 * j + 1]);
            for (int g = 0; g < kDecimateGroups; ++g)
                sum[g] += k * Load(u + 2 * (i + g * perVector + j));
        }
        for (int g = 0; g < kDecimateGroups; ++g)
            for (int p = 0; p < perVector; ++p)
                y[i + g * perVector + p] = sum[g][2 * p] + sum[g][2 * p + 1];
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
