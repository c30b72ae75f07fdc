#include "equalizer/ChainKernels.h"
#include "equalizer/VectorSine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

using equalizer::ClampedSine;

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Distance in ulps of `value` from the exact sine, taken from the long double
// evaluation (64-bit mantissa, 2^-11 of a double ulp), in units of the ulp of
// the correctly rounded result.
struct UlpError {
    double fromExact;   // |value − sin x| / ulp
    double fromRounded; // |value − RN(sin x)| / ulp, an integer
};

UlpError ErrorOf(double x, double value) {
    const long double exact = sinl(static_cast<long double>(x));
    const double rounded = static_cast<double>(exact);
    const double magnitude = std::fabs(rounded);
    const double ulp = magnitude == 0.0 ? std::numeric_limits<double>::denorm_min()
                                        : std::nextafter(magnitude, INFINITY) - magnitude;
    return {static_cast<double>(std::fabs(static_cast<long double>(value) - exact) / ulp),
            std::fabs(value - rounded) / ulp};
}

} // namespace

// 2^24 evenly spaced points across [−1, 1], every ulp next to the ends and to
// 0.5, and powers of two down to the subnormals: the result is never more
// than one ulp from the correctly rounded sine.
TEST(VectorSineAccuracy, DenseSweepIsWithinOneUlpOfTheCorrectlyRoundedSine) {
    std::vector<double> points;
    const int64_t steps = int64_t{1} << 24;
    points.reserve(static_cast<size_t>(steps) + 4000);
    for (int64_t i = 0; i <= steps; ++i)
        points.push_back(-1.0 + 2.0 * static_cast<double>(i) / static_cast<double>(steps));
    for (double edge : {1.0, 0.5, 0.25}) {
        double below = edge, above = edge;
        for (int i = 0; i < 500; ++i) {
            points.push_back(below);
            points.push_back(-below);
            points.push_back(above);
            below = std::nextafter(below, 0.0);
            above = std::nextafter(above, 2.0);
        }
    }
    for (int e = -1; e >= -1074; --e)
        points.push_back(std::ldexp(1.0, e));
    points.push_back(std::numeric_limits<double>::min());
    points.push_back(std::nextafter(std::numeric_limits<double>::min(), 0.0));

    double worst = 0.0, worstAt = 0.0, worstRounded = 0.0;
    for (double x : points) {
        const double clamped = std::fmin(std::fmax(x, -1.0), 1.0);
        const UlpError e = ErrorOf(clamped, ClampedSine(x));
        if (e.fromExact > worst) {
            worst = e.fromExact;
            worstAt = x;
        }
        worstRounded = std::max(worstRounded, e.fromRounded);
    }
    std::cout << "[ sine     ] worst error " << worst << " ulp from the exact sine at " << worstAt
              << ", " << worstRounded << " ulp from the correctly rounded one, over "
              << points.size() << " points\n";
    EXPECT_LE(worstRounded, 1.0);
    EXPECT_LT(worst, 0.9) << "at " << worstAt;
}

TEST(VectorSineAccuracy, IsOddAndKeepsSignedZerosAndSubnormals) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        const double x = dist(rng);
        ASSERT_TRUE(SameBits(ClampedSine(-x), -ClampedSine(x))) << x;
    }
    EXPECT_TRUE(SameBits(ClampedSine(0.0), 0.0));
    EXPECT_TRUE(SameBits(ClampedSine(-0.0), -0.0));
    const double tiny = std::numeric_limits<double>::denorm_min();
    EXPECT_TRUE(SameBits(ClampedSine(tiny), tiny));
    EXPECT_TRUE(SameBits(ClampedSine(-tiny * 12345.0), -tiny * 12345.0));
    EXPECT_TRUE(SameBits(ClampedSine(1e-9), 1e-9)) << "sin x rounds to x below 2^-26";
}

// fmax/fmin clamp: NaN goes to −1, anything beyond ±1 to ±1.
TEST(VectorSineClamp, OutOfRangeAndNonFiniteInputsClampLikeFmaxFmin) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double atOne = ClampedSine(1.0);
    EXPECT_NEAR(atOne, 0.8414709848078965, 1.2e-16);
    for (double x : {1.0000000000000002, 2.0, 1e300, inf})
        EXPECT_TRUE(SameBits(ClampedSine(x), atOne)) << x;
    for (double x : {-1.0000000000000002, -2.0, -1e300, -inf, nan, -nan})
        EXPECT_TRUE(SameBits(ClampedSine(x), -atOne)) << x;
}

// Both kernels' block forms (the baseline's two lanes, AVX2's four, with its
// unrolled and tail paths) give the scalar form's bits in every position,
// also for zeros, subnormals and non-finite values.
TEST(VectorSineBlock, BlockFormEqualsTheScalarFormInEveryPosition) {
    std::vector<const equalizer::kernels::ChainKernels*> sets = {
        &equalizer::kernels::BaselineChain()};
    if (const auto* avx2 = equalizer::kernels::Avx2Chain())
        sets.push_back(avx2);
    const double specials[] = {0.0,
                               -0.0,
                               4.9e-324,
                               -2.2e-308,
                               1.0,
                               -1.0,
                               std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> dist(-1.5, 1.5);
    for (const auto* set : sets) {
        for (int count : {0, 1, 2, 3, 5, 7, 9, 17, 64, 129}) {
            SCOPED_TRACE(testing::Message() << set->name << " " << count);
            std::vector<double> x(static_cast<size_t>(count) + 1);
            for (size_t i = 0; i < x.size(); ++i)
                x[i] = i % 3 == 0 ? specials[i / 3 % 8] : dist(rng);
            // Odd offset: the block form must not depend on alignment.
            std::vector<double> sine(x.size(), 99.0);
            set->sine(x.data() + 1, sine.data() + 1, count);
            EXPECT_EQ(sine[0], 99.0);
            for (int i = 0; i < count; ++i)
                ASSERT_TRUE(SameBits(sine[i + 1], ClampedSine(x[i + 1]))) << i;
            std::vector<double> inPlace = x;
            set->sine(inPlace.data(), inPlace.data(), count);
            for (int i = 0; i < count; ++i)
                ASSERT_TRUE(SameBits(inPlace[i], ClampedSine(x[i])));
        }
    }
}
