#include "equalizer/EqualizerChain.h"
#include "equalizer/VectorSine.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "reference/ReferenceEqualizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using equalizer::EqualizerChain;

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Applies the same band settings to the production chain and the reference.
struct Pair {
    EqualizerChain chain;
    reference::BasicChain<equalizer::ClampedSine> ref;

    void Frequency(int band, double hz) {
        chain.SetBandFrequency(band, hz);
        for (int ch = 0; ch < 2; ++ch)
            reference::SetTarget(ref.sections[band][ch], 1, hz);
    }
    void Gain(int band, double db) {
        chain.SetBandGainDb(band, db);
        for (int ch = 0; ch < 2; ++ch)
            reference::SetTarget(ref.sections[band][ch], 2, db);
    }
    void HighPass(bool on) {
        chain.SetHighPassEnabled(on);
        ref.highPass = on;
    }
    void Output(double db) {
        chain.SetOutputGainDb(db);
        ref.SetOutputGainDb(db);
    }
    void RateAndReset(int32_t rate) {
        chain.SetSampleRateAndReset(rate);
        for (int ch = 0; ch < 2; ++ch) {
            for (int b = 0; b < 5; ++b)
                reference::SetRate(ref.sections[b][ch], rate);
            for (int b = 0; b < 5; ++b)
                reference::Reset(ref.sections[b][ch]);
            for (int b = 0; b < 5; ++b)
                reference::Update(ref.sections[b][ch]);
        }
    }
};

std::vector<double> Noise(size_t n, unsigned seed, double amplitude = 1.0) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> v(n);
    for (double& x : v)
        x = dist(rng);
    return v;
}

// Runs both chains over the same signal in blocks and compares every bit.
void ExpectIdentical(Pair& p, std::vector<double> signal, int channel, int block) {
    std::vector<double> expected = signal;
    for (size_t i = 0; i < signal.size(); i += block) {
        const int n = static_cast<int>(std::min<size_t>(block, signal.size() - i));
        p.chain.ProcessChannel(signal.data() + i, n, channel);
        p.ref.Process(expected.data() + i, n, channel);
    }
    for (size_t i = 0; i < signal.size(); ++i) {
        ASSERT_TRUE(SameBits(signal[i], expected[i]))
            << "sample " << i << ": " << signal[i] << " vs " << expected[i];
    }
}

} // namespace

TEST(EqualizerChainColour, FlatChainAddsOnePercentOfTheSine) {
    EqualizerChain chain;
    std::vector<double> x = {0.5, 2.0, -0.25, -3.0, 0.0, 1.0};
    std::vector<double> y = x;
    chain.ProcessChannel(y.data(), static_cast<int>(y.size()), 0);
    for (size_t i = 0; i < x.size(); ++i) {
        EXPECT_EQ(y[i], 0.01 * equalizer::ClampedSine(x[i]) + x[i]) << x[i];
    }
    EXPECT_NEAR(y[0], 0.5047943, 1e-7);
    EXPECT_NEAR(y[1], 2.0084147, 1e-7);
}

TEST(EqualizerChainColour, OutputGainScalesSignalAndGrowsTheSineInBothDirections) {
    for (double db : {-6.0, 6.0}) {
        EqualizerChain chain;
        chain.SetOutputGainDb(db);
        double x = 0.3;
        chain.ProcessChannel(&x, 1, 0);
        const double expected = (std::fabs(db / 60.0) + 0.01) * equalizer::ClampedSine(0.3) +
                                0.3 * std::exp(db * 0.1151292546497);
        EXPECT_EQ(x, expected) << db;
    }
    EqualizerChain unity;
    unity.SetOutputGainDb(0.0);
    EXPECT_EQ(unity.outputGain, 1.0);
    unity.SetOutputGainDb(-20.0);
    EXPECT_NEAR(unity.outputGain, 0.1, 1e-12);
    unity.SetOutputGainDb(10.0);
    EXPECT_NEAR(unity.outputGain, 3.16227766, 1e-8);
}

// With fresh histories the first output sample of a single running band is
// b0·(x + injection·s), so the injected amount can be read back exactly.
TEST(EqualizerChainColour, InjectionIsSignedOnlyForTheLowShelf) {
    struct Case {
        int band;
        double db;
        double injection;
    };
    const Case cases[] = {{equalizer::LowShelfBand, -10.0, -10.0 / 60.0},
                          {equalizer::LowShelfBand, 10.0, 10.0 / 60.0},
                          {equalizer::Mid1Band, -10.0, 10.0 / 80.0},
                          {equalizer::Mid1Band, 10.0, 10.0 / 80.0},
                          {equalizer::Mid2Band, -10.0, 10.0 / 80.0},
                          {equalizer::HighShelfBand, -10.0, 10.0 / 60.0}};
    for (const Case& c : cases) {
        EqualizerChain chain;
        chain.SetBandGainDb(c.band, c.db);
        chain.SetSampleRateAndReset(48000);
        const double b0 = chain.sections[c.band][0].CurrentCoefficients().b0;
        double x = 0.4;
        const double s = std::sin(0.4);
        chain.ProcessChannel(&x, 1, 0);
        EXPECT_NEAR(x, 0.01 * s + b0 * (0.4 + c.injection * s), 1e-15)
            << "band " << c.band << " at " << c.db << " dB";
    }
}

TEST(EqualizerChainColour, SilenceStaysExactlySilent) {
    Pair p;
    p.HighPass(true);
    p.Frequency(0, 80.0);
    for (int b = 1; b < 5; ++b)
        p.Gain(b, 7.5);
    p.Output(-4.0);
    std::vector<double> zeros(4096, 0.0);
    p.chain.ProcessChannel(zeros.data(), 4096, 1);
    for (double v : zeros)
        ASSERT_EQ(v, 0.0);
}

TEST(EqualizerChainChannels, ChannelsNeverTouchEachOthersSections) {
    EqualizerChain chain;
    for (int b = 1; b < 5; ++b)
        chain.SetBandGainDb(b, 5.0);
    chain.SetHighPassEnabled(true);
    std::vector<double> signal = Noise(512, 3);
    chain.ProcessChannel(signal.data(), 512, 1);
    for (int b = 0; b < 5; ++b) {
        const auto h = chain.sections[b][0].CurrentHistory();
        EXPECT_EQ(h.x1, 0.0);
        EXPECT_EQ(h.y1, 0.0);
        EXPECT_NE(chain.sections[b][1].CurrentHistory().x1, 0.0);
    }
}

TEST(EqualizerChainChannels, OnlyHighPassAndOutputActWithAllGainsZero) {
    EqualizerChain chain;
    chain.SetHighPassEnabled(true);
    chain.SetBandFrequency(equalizer::HighPassBand, 80.0);
    chain.SetSampleRateAndReset(48000);
    equalizer::BiquadSection hp = chain.sections[equalizer::HighPassBand][0];
    std::vector<double> x = Noise(256, 5);
    std::vector<double> y = x;
    chain.ProcessChannel(y.data(), 256, 0);
    for (size_t i = 0; i < x.size(); ++i) {
        if (hp.NeedsUpdate())
            hp.Update();
        const double filtered = hp.ProcessSample(x[i]);
        EXPECT_EQ(y[i], 0.01 * equalizer::ClampedSine(x[i]) + filtered * 1.0);
    }
    for (int b = 1; b < 5; ++b)
        EXPECT_EQ(chain.sections[b][0].CurrentHistory().x1, 0.0) << "band " << b << " ran";
}

TEST(EqualizerChainGlide, BandReturningToZeroKeepsRunningWithATinyGain) {
    EqualizerChain chain;
    chain.SetSampleRateAndReset(48000);
    chain.SetBandGainDb(equalizer::Mid1Band, 6.0);
    std::vector<double> signal = Noise(300, 9, 0.1);
    chain.ProcessChannel(signal.data(), 300, 0);
    chain.SetBandGainDb(equalizer::Mid1Band, 0.0);
    std::vector<double> longer = Noise(20000, 10, 0.1);
    chain.ProcessChannel(longer.data(), 20000, 0);
    const equalizer::BiquadSection& mid = chain.sections[equalizer::Mid1Band][0];
    EXPECT_FALSE(mid.NeedsUpdate());
    EXPECT_NE(mid.GainDb(), 0.0);
    EXPECT_LT(std::fabs(mid.GainDb()), 1e-5);
    const double lastInput = mid.CurrentHistory().x1;
    double x = 0.25;
    chain.ProcessChannel(&x, 1, 0);
    EXPECT_NE(mid.CurrentHistory().x1, lastInput) << "the band still runs";
    chain.SetSampleRateAndReset(48000);
    EXPECT_EQ(mid.GainDb(), 0.0) << "a reset completes the glide to exactly 0";
}

TEST(EqualizerChainGlide, ResetLeavesSectionsDesignedForTheirSettings) {
    EqualizerChain chain;
    chain.SetBandFrequency(equalizer::Mid1Band, 400.0);
    chain.SetBandGainDb(equalizer::Mid1Band, -6.0);
    chain.SetSampleRateAndReset(48000);
    const auto c = chain.sections[equalizer::Mid1Band][1].CurrentCoefficients();
    const double w = 2.0 * M_PI * 400.0 / 48000.0;
    // Gain of b(z)/a(z) at the centre frequency, from the coefficients.
    const double re = c.b0 + c.b1 * std::cos(w) + c.b2 * std::cos(2 * w);
    const double im = -c.b1 * std::sin(w) - c.b2 * std::sin(2 * w);
    const double dre = 1.0 + c.a1 * std::cos(w) + c.a2 * std::cos(2 * w);
    const double dim = -c.a1 * std::sin(w) - c.a2 * std::sin(2 * w);
    const double db = 10.0 * std::log10((re * re + im * im) / (dre * dre + dim * dim));
    EXPECT_NEAR(db, -6.0, 1e-9);
    EXPECT_FALSE(chain.sections[equalizer::Mid1Band][1].NeedsUpdate());
}

TEST(EqualizerChainGlide, SectionRatesTruncateTheHostRate) {
    EqualizerChain chain;
    chain.SetSampleRateAndReset(44100.7);
    EXPECT_EQ(chain.sections[0][0].SampleRate(), 44100);
    chain.SetSampleRateAndReset(44100.7 * 4.0);
    EXPECT_EQ(chain.sections[4][1].SampleRate(), 176402);
    chain.SetSampleRateAndReset(std::numeric_limits<double>::quiet_NaN());
    EXPECT_GT(chain.sections[4][1].SampleRate(), 0) << "a non-rate never becomes undefined";
}

// The chain against the independent evaluation of the formulas: settled and
// gliding sections, every band combination, high-pass switching, signals
// beyond ±1, non-finite values and subnormals, in several block sizes.
TEST(EqualizerChainExactness, MatchesTheReferenceBitForBit) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> signal = Noise(6000, 11, 1.5);
    signal[100] = nan;
    signal[101] = inf;
    signal[102] = -inf;
    signal[103] = 1e300;
    signal[104] = std::numeric_limits<double>::denorm_min();
    for (int block : {1, 13, 64, 512}) {
        for (int mask = 0; mask < 32; ++mask) {
            Pair p;
            p.RateAndReset(48000);
            p.HighPass(mask & 1);
            p.Frequency(0, 160.0);
            const double gains[5] = {0.0, -7.0, 4.5, -12.0, 9.0};
            for (int b = 1; b < 5; ++b)
                p.Gain(b, (mask >> b) & 1 ? gains[b] : 0.0);
            p.Output(mask % 3 == 0 ? -3.0 : 2.5);
            SCOPED_TRACE(testing::Message() << "block " << block << " mask " << mask);
            // Clean signal first (the later NaN poisons the histories).
            std::vector<double> clean(signal.begin() + 200, signal.end());
            ExpectIdentical(p, clean, mask & 1, block);
            // Retarget mid-stream so that gliding sections are compared too.
            p.Frequency(1, 220.0);
            p.Frequency(2, 820.0);
            p.Gain(3, 3.0);
            p.HighPass(!(mask & 1));
            ExpectIdentical(p, clean, mask & 1, block);
            ExpectIdentical(p, std::vector<double>(signal.begin(), signal.begin() + 200), 1, block);
        }
    }
}

TEST(EqualizerChainExactness, OutputDoesNotDependOnBlockSize) {
    std::vector<double> reference;
    for (int block : {1, 13, 64, 512, 4096}) {
        EqualizerChain chain;
        chain.SetSampleRateAndReset(44100);
        chain.SetHighPassEnabled(true);
        chain.SetBandFrequency(0, 300.0);
        chain.SetBandGainDb(1, 6.0);
        chain.SetBandGainDb(4, -6.0);
        std::vector<double> x = Noise(8192, 21);
        for (size_t i = 0; i < x.size(); i += block)
            chain.ProcessChannel(x.data() + i,
                                 static_cast<int>(std::min<size_t>(block, x.size() - i)), 0);
        if (reference.empty()) {
            reference = x;
            continue;
        }
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_TRUE(SameBits(x[i], reference[i])) << "block " << block << " sample " << i;
    }
}

TEST(EqualizerChainRealtime, ProcessingAndGlidingAllocateNothing) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    EqualizerChain chain;
    chain.SetSampleRateAndReset(48000);
    std::vector<double> x = Noise(1024, 4);
    testing_support::AllocationCounter counter;
    chain.SetBandGainDb(2, 8.0);
    chain.SetHighPassEnabled(true);
    chain.ProcessChannel(x.data(), 1024, 0);
    chain.ProcessChannel(x.data(), 1024, 1);
    EXPECT_EQ(counter.Count(), 0u);
}
