// The optimised chain against the straightforward evaluation of the formulas
// in bench/reference: with the chain's own sine the outputs must be identical
// bit for bit on every path; with std::sin they may differ only by what one
// ulp of the sine can cause.

#include "equalizer/EqualizerChain.h"
#include "equalizer/EqualizerProcessor.h"
#include "equalizer/Parameters.h"
#include "equalizer/VectorSine.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "reference/ReferenceEqualizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

using equalizer::EqualizerChain;

namespace {

using SameSineReference = reference::BasicChain<equalizer::ClampedSine>;

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The production chain next to two references, one with the chain's sine and
// one with std::sin, all configured alike.
struct Trio {
    EqualizerChain chain;
    SameSineReference same;
    reference::Chain standard;

    template <class F> void Each(F f) {
        f(same);
        f(standard);
    }
    void Frequency(int band, double hz) {
        chain.SetBandFrequency(band, hz);
        Each([&](auto& r) {
            for (int ch = 0; ch < 2; ++ch)
                reference::SetTarget(r.sections[band][ch], 1, hz);
        });
    }
    void Gain(int band, double db) {
        chain.SetBandGainDb(band, db);
        Each([&](auto& r) {
            for (int ch = 0; ch < 2; ++ch)
                reference::SetTarget(r.sections[band][ch], 2, db);
        });
    }
    void HighPass(bool on) {
        chain.SetHighPassEnabled(on);
        Each([&](auto& r) { r.highPass = on; });
    }
    void Output(double db) {
        chain.SetOutputGainDb(db);
        Each([&](auto& r) { r.SetOutputGainDb(db); });
    }
    void RateAndReset(int32_t rate) {
        chain.SetSampleRateAndReset(rate);
        Each([&](auto& r) {
            for (int ch = 0; ch < 2; ++ch) {
                for (int b = 0; b < 5; ++b)
                    reference::SetRate(r.sections[b][ch], rate);
                for (int b = 0; b < 5; ++b)
                    reference::Reset(r.sections[b][ch]);
                for (int b = 0; b < 5; ++b)
                    reference::Update(r.sections[b][ch]);
            }
        });
    }
};

enum class Path { Mono, Stereo, Interleaved };

// A call form with the kernels its stereo runs use.
struct Way {
    Path path;
    const equalizer::kernels::ChainKernels* kernels;
};

std::string Describe(const Way& way) {
    const char* names[] = {"mono", "stereo", "interleaved"};
    return std::string(names[static_cast<int>(way.path)]) + " " + way.kernels->name;
}

// Every call form, the stereo ones with every kernel set this processor has.
std::vector<Way> AllWays() {
    std::vector<const equalizer::kernels::ChainKernels*> sets = {
        &equalizer::kernels::BaselineChain()};
    if (const auto* avx2 = equalizer::kernels::Avx2Chain())
        sets.push_back(avx2);
    std::vector<Way> ways = {{Path::Mono, sets.back()}};
    for (const auto* set : sets) {
        ways.push_back({Path::Stereo, set});
        ways.push_back({Path::Interleaved, set});
    }
    return ways;
}

// Runs the signals of both channels through the chain (ProcessStereo,
// ProcessInterleaved on (left, right) pairs, or ProcessChannel for channel 0
// then 1 per block) and the references, in blocks, and compares.
void Compare(Trio& t, const std::vector<double> (&signal)[2], Way way, int block) {
    const Path path = way.path;
    t.chain.UseKernels(*way.kernels);
    std::vector<double> pairs;
    std::vector<double> out[2] = {signal[0], signal[1]};
    std::vector<double> same[2] = {signal[0], signal[1]};
    std::vector<double> standard[2] = {signal[0], signal[1]};
    const size_t n = signal[0].size();
    for (size_t i = 0; i < n; i += static_cast<size_t>(block)) {
        const int count = static_cast<int>(std::min<size_t>(static_cast<size_t>(block), n - i));
        if (path == Path::Stereo) {
            t.chain.ProcessStereo(out[0].data() + i, out[1].data() + i, count);
        } else if (path == Path::Interleaved) {
            pairs.resize(2 * static_cast<size_t>(count));
            for (size_t f = 0; f < static_cast<size_t>(count); ++f) {
                pairs[2 * f] = out[0][i + f];
                pairs[2 * f + 1] = out[1][i + f];
            }
            t.chain.ProcessInterleaved(pairs.data(), count);
            for (size_t f = 0; f < static_cast<size_t>(count); ++f) {
                out[0][i + f] = pairs[2 * f];
                out[1][i + f] = pairs[2 * f + 1];
            }
        } else {
            t.chain.ProcessChannel(out[0].data() + i, count, 0);
            t.chain.ProcessChannel(out[1].data() + i, count, 1);
        }
        for (int ch = 0; ch < 2; ++ch) {
            t.same.Process(same[ch].data() + i, count, ch);
            t.standard.Process(standard[ch].data() + i, count, ch);
        }
    }
    for (int ch = 0; ch < 2; ++ch) {
        for (size_t i = 0; i < n; ++i) {
            ASSERT_TRUE(SameBits(out[ch][i], same[ch][i]))
                << "channel " << ch << " sample " << i << ": " << out[ch][i] << " vs "
                << same[ch][i];
            const double a = out[ch][i], b = standard[ch][i];
            if (std::isfinite(b)) {
                ASSERT_NEAR(a, b, 1e-12) << "channel " << ch << " sample " << i;
            } else {
                ASSERT_EQ(std::isnan(a), std::isnan(b)) << "channel " << ch << " sample " << i;
            }
        }
    }
}

std::vector<double> Noise(size_t n, unsigned seed, double amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> v(n);
    for (double& x : v)
        x = dist(rng);
    return v;
}

// Exponential sweep from 20 Hz to 20 kHz at 48 kHz, amplitude 1.2.
std::vector<double> Sweep(size_t n) {
    std::vector<double> v(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double hz = 20.0 * std::pow(1000.0, static_cast<double>(i) / static_cast<double>(n));
        phase += 2.0 * M_PI * hz / 48000.0;
        v[i] = 1.2 * std::sin(phase);
    }
    return v;
}

// Silence, subnormals and values far beyond ±1 in the middle of noise, with
// the non-finite values at the very end (they poison the histories).
std::vector<double> Hostile(size_t n, unsigned seed) {
    std::vector<double> v = Noise(n, seed, 0.8);
    const double tiny = std::numeric_limits<double>::denorm_min();
    for (size_t i = n / 4; i < n / 4 + 300; ++i)
        v[i] = 0.0;
    for (size_t i = n / 2; i < n / 2 + 50; ++i)
        v[i] = (i % 2 ? tiny : -tiny * 1000.0);
    v[n / 2 + 60] = 1e300;
    v[n / 2 + 61] = -1e300;
    v[n / 2 + 62] = 3.5;
    v[n - 5] = std::numeric_limits<double>::quiet_NaN();
    v[n - 3] = std::numeric_limits<double>::infinity();
    v[n - 2] = -std::numeric_limits<double>::infinity();
    return v;
}

void Configure(Trio& t, int mask) {
    t.RateAndReset(48000);
    t.HighPass(mask & 1);
    t.Frequency(0, 160.0);
    t.Frequency(1, 110.0);
    t.Frequency(2, 400.0);
    t.Frequency(3, 3150.0);
    const double gains[5] = {0.0, -7.0, 4.5, -12.0, 9.0};
    for (int b = 1; b < 5; ++b)
        t.Gain(b, (mask >> b) & 1 ? gains[b] : 0.0);
    t.Output(mask % 3 == 0 ? -3.0 : 2.5);
    t.RateAndReset(48000); // settled at these settings
}

// Retargets everything, switching bands and the high-pass on or off, so that
// the following frames glide.
void Retarget(Trio& t, int mask) {
    t.HighPass(!(mask & 1));
    t.Frequency(0, 50.0);
    t.Frequency(2, 820.0);
    t.Gain(1, (mask & 2) ? 0.0 : 6.0);
    t.Gain(3, 3.0);
    t.Gain(4, (mask & 16) ? -5.0 : 0.0);
    t.Output(-8.0);
}

} // namespace

// Every band combination, settled then gliding, on both call forms.
TEST(ChainEquivalence, EveryBandCombinationSettledAndGlidingOnBothPaths) {
    const std::vector<double> signal[2] = {Noise(1500, 1, 1.3), Sweep(1500)};
    for (const Way& way : AllWays()) {
        for (int mask = 0; mask < 32; ++mask) {
            SCOPED_TRACE(testing::Message() << Describe(way) << " mask " << mask);
            Trio t;
            Configure(t, mask);
            Compare(t, signal, way, 64);
            Retarget(t, mask);
            Compare(t, signal, way, 64);
        }
    }
}

// The output must not depend on how blocks are cut, including one frame at a
// time, sizes that straddle the chain's chunks, and one block of 8192.
TEST(ChainEquivalence, EveryBlockSizeWithHostileSignals) {
    const std::vector<double> hostile[2] = {Hostile(3000, 2), Hostile(3000, 3)};
    const std::vector<double> clean[2] = {Sweep(8192), Noise(8192, 4, 1.1)};
    for (const Way& way : AllWays()) {
        for (int block : {1, 5, 13, 64, 255, 256, 257, 512, 8192}) {
            SCOPED_TRACE(testing::Message() << Describe(way) << " block " << block);
            Trio t;
            Configure(t, 31);
            Compare(t, clean, way, block);
            Retarget(t, 30);
            Compare(t, hostile, way, block);
        }
    }
}

// Gains that glide towards 0 and stop within 0.000001 dB of it, gains leaving
// 0, and a glide long enough to pass from redesigning every sample to not
// redesigning at all, in blocks that end mid-glide.
TEST(ChainEquivalence, LongGlidesToAndFromZero) {
    const std::vector<double> signal[2] = {Noise(6000, 5, 0.9), Noise(6000, 6, 0.9)};
    for (const Way& way : AllWays()) {
        Trio t;
        Configure(t, 0b11111);
        t.Gain(2, 0.0);
        t.Gain(3, 0.0);
        t.Frequency(1, 220.0);
        Compare(t, signal, way, 333);
        t.Gain(2, 8.0);
        t.Gain(4, -20.0);
        Compare(t, signal, way, 100);
        EXPECT_FALSE(t.chain.sections[3][0].NeedsUpdate());
        EXPECT_NE(t.chain.sections[3][0].GainDb(), 0.0) << "still running, near 0";
    }
}

// When the two channels' sections have gone through different histories,
// a band may run on one channel and not on the other; the stereo form must
// still equal the channel-by-channel result.
TEST(ChainEquivalence, StereoWithChannelsRunningDifferentBands) {
    Trio t;
    Configure(t, 0b00001); // only the high-pass
    const int band = equalizer::Mid1Band;
    t.Gain(band, 3.0);
    // Channel 0 alone glides to 3 dB; channel 1 stays one step away from 0.
    std::vector<double> warm = Noise(3000, 7, 0.5);
    std::vector<double> warmCopy = warm;
    t.chain.ProcessChannel(warm.data(), 3000, 0);
    t.same.Process(warmCopy.data(), 3000, 0);
    warmCopy = Noise(3000, 7, 0.5);
    t.standard.Process(warmCopy.data(), 3000, 0);
    ASSERT_NE(t.chain.sections[band][0].GainDb(), t.chain.sections[band][1].GainDb());

    // A target that brings channel 1's gain to exactly 0 at the setter's step
    // while channel 0 keeps gliding: from then on band 2 runs on channel 0
    // only. Searched here rather than written down, since it depends only on
    // the smoother's arithmetic.
    const equalizer::BiquadSection& ch1 = t.chain.sections[band][1];
    const double g = ch1.GainDb();
    const double estimate = -g * 0.99 / (1.0 - 0.99);
    double target = 0.0;
    bool found = false;
    for (int k = 0; k < 4000 && !found; ++k) {
        const double candidate = estimate + (k % 2 ? -1 : 1) * (k / 2) * std::ldexp(estimate, -52);
        equalizer::BiquadSection trial = ch1;
        trial.SetGainDb(candidate);
        if (trial.GainDb() == 0.0) {
            target = candidate;
            found = true;
        }
    }
    ASSERT_TRUE(found);
    t.Gain(band, target);
    ASSERT_EQ(t.chain.sections[band][1].GainDb(), 0.0);
    ASSERT_NE(t.chain.sections[band][0].GainDb(), 0.0);
    const std::vector<double> signal[2] = {Noise(700, 8, 1.0), Noise(700, 9, 1.0)};
    for (const Way& way : AllWays()) {
        if (way.path == Path::Mono)
            continue;
        SCOPED_TRACE(Describe(way));
        Trio copy = t;
        Compare(copy, signal, way, 300);
    }
}

// A glide step that lands exactly on 0 dB inside a block: the band runs for
// that frame and stops from the next one.
TEST(ChainEquivalence, GlideLandingExactlyOnZeroStopsTheBandMidBlock) {
    for (const Way& way : AllWays()) {
        Trio t;
        Configure(t, 0b00001); // high-pass only
        const int band = equalizer::Mid1Band;
        t.Gain(band, 3.0);
        t.RateAndReset(48000);
        const equalizer::BiquadSection& section = t.chain.sections[band][0];
        const double g0 = section.GainDb();
        const double c = 1.0 - 0.99;
        // Target x with (g0·0.99 + x·c)·0.99 + x·c = 0: the setter's step and
        // the first in-block step.
        const double estimate = -g0 * 0.99 * 0.99 / (c * (1.0 + 0.99));
        double target = 0.0;
        bool found = false;
        for (int k = 0; k < 20000 && !found; ++k) {
            const double candidate =
                estimate + (k % 2 ? -1 : 1) * (k / 2) * std::ldexp(std::fabs(estimate), -52);
            equalizer::BiquadSection trial = section;
            trial.SetGainDb(candidate);
            if (trial.GainDb() == 0.0 || !trial.NeedsUpdate())
                continue;
            trial.Update();
            if (trial.GainDb() == 0.0) {
                target = candidate;
                found = true;
            }
        }
        ASSERT_TRUE(found);
        t.Gain(band, target);
        const std::vector<double> signal[2] = {Noise(400, 10, 1.0), Noise(400, 11, 1.0)};
        Compare(t, signal, way, 200);
        EXPECT_EQ(section.GainDb(), 0.0);
        EXPECT_TRUE(section.NeedsUpdate()) << "frozen mid-glide: a band at 0 dB does not glide";
    }
}

// The plain path of the block processor hands both channels to the stereo
// form; its output must equal processing the channels one at a time.
TEST(ChainEquivalence, ProcessorStereoBlocksEqualChannelByChannelBlocks) {
    namespace eq = equalizer;
    eq::EqualizerProcessor both, single;
    for (eq::EqualizerProcessor* p : {&both, &single}) {
        p->Reset(48000, 512, false);
        p->ApplyParameter(eq::HPF, 2.0);
        p->ApplyParameter(eq::LoShelfLevel, 5.0);
        p->ApplyParameter(eq::MFLevel1, -4.0);
        p->ApplyParameter(eq::MFLevel2, 7.0);
        p->ApplyParameter(eq::HiShelfLevel, -2.0);
        p->ApplyParameter(eq::Gain, 3.0);
    }
    const std::vector<double> in[2] = {Noise(2048, 12, 1.2), Sweep(2048)};
    std::vector<double> outBoth[2] = {std::vector<double>(2048), std::vector<double>(2048)};
    std::vector<double> outSingle[2] = {std::vector<double>(2048), std::vector<double>(2048)};
    for (int i = 0; i < 2048; i += 256) {
        const double* inputs[2] = {in[0].data() + i, in[1].data() + i};
        double* outputs[2] = {outBoth[0].data() + i, outBoth[1].data() + i};
        eq::BlockChannels stereo;
        stereo.count = 2;
        stereo.inputConnected[0] = stereo.inputConnected[1] = true;
        stereo.outputConnected[0] = stereo.outputConnected[1] = true;
        if (i == 1024) {
            both.ApplyParameter(eq::MFLevel1, 6.0); // glide from here
            single.ApplyParameter(eq::MFLevel1, 6.0);
        }
        both.Render(inputs, outputs, 256, stereo);
        double* singleOutputs[2] = {outSingle[0].data() + i, outSingle[1].data() + i};
        for (int ch = 0; ch < 2; ++ch) {
            eq::BlockChannels one = stereo;
            one.outputConnected[1 - ch] = false;
            single.Render(inputs, singleOutputs, 256, one);
        }
    }
    for (int ch = 0; ch < 2; ++ch)
        for (size_t i = 0; i < 2048; ++i)
            ASSERT_TRUE(SameBits(outBoth[ch][i], outSingle[ch][i])) << ch << " " << i;
}

TEST(ChainEquivalence, StereoProcessingAndGlidingAllocateNothing) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    EqualizerChain chain;
    chain.SetSampleRateAndReset(48000);
    std::vector<double> left = Noise(1024, 13, 1.0), right = Noise(1024, 14, 1.0);
    testing_support::AllocationCounter counter;
    chain.SetBandGainDb(2, 8.0);
    chain.SetBandGainDb(4, -3.0);
    chain.SetHighPassEnabled(true);
    chain.ProcessStereo(left.data(), right.data(), 1024);
    chain.ProcessStereo(left.data(), right.data(), 1024);
    EXPECT_EQ(counter.Count(), 0u);
}
