#include "equalizer/EqualizerProcessor.h"
#include "equalizer/Parameters.h"
#include "equalizer/VectorSine.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "ResponseMeasurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using equalizer::BlockChannels;
using equalizer::EqualizerProcessor;
namespace eq = equalizer;

namespace {

BlockChannels Stereo() {
    BlockChannels c;
    c.count = 2;
    c.inputConnected[0] = c.inputConnected[1] = true;
    c.outputConnected[0] = c.outputConnected[1] = true;
    return c;
}

BlockChannels Mono() {
    BlockChannels c;
    c.count = 1;
    c.inputConnected[0] = c.outputConnected[0] = true;
    return c;
}

std::vector<double> Noise(size_t n, unsigned seed, double amplitude = 0.5) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> v(n);
    for (double& x : v)
        x = dist(rng);
    return v;
}

// Runs a whole stereo signal through the processor in blocks of `block`
// (out of place), the same signal on both channels.
std::vector<double> RunBlocks(EqualizerProcessor& p, const std::vector<double>& in, int block,
                              const BlockChannels& c = Stereo()) {
    std::vector<double> out(in.size()), out1(in.size());
    for (size_t i = 0; i < in.size(); i += block) {
        const int n = static_cast<int>(std::min<size_t>(block, in.size() - i));
        const double* inputs[2] = {in.data() + i, in.data() + i};
        double* outputs[2] = {out.data() + i, out1.data() + i};
        p.Render(inputs, outputs, n, c);
    }
    return out;
}

void Configure(EqualizerProcessor& p) {
    p.ApplyParameter(eq::HPF, 2);         // 50 Hz
    p.ApplyParameter(eq::LoShelfFreq, 2); // 110 Hz
    p.ApplyParameter(eq::LoShelfLevel, 4.0);
    p.ApplyParameter(eq::MF1Freq, 3); // 400 Hz
    p.ApplyParameter(eq::MFLevel1, -6.0);
    p.ApplyParameter(eq::MF2Freq, 4); // 3150 Hz
    p.ApplyParameter(eq::MFLevel2, 3.0);
    p.ApplyParameter(eq::HiShelfLevel, 5.0);
    p.ApplyParameter(eq::Gain, -2.0);
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

TEST(EqualizerMapping, ListEntriesReachBothChannelsSections) {
    struct List {
        int param;
        int band;
        std::vector<double> hz;
        double fallbackHz;
    };
    const List lists[] = {
        {eq::LoShelfFreq, eq::LowShelfBand, {35, 60, 110, 220}, 35},
        {eq::MF1Freq, eq::Mid1Band, {150, 180, 240, 400, 820, 1200}, 150},
        {eq::MF2Freq, eq::Mid2Band, {220, 315, 640, 2500, 3150, 6000, 8000}, 2500},
        {eq::HPF, eq::HighPassBand, {1, 30, 50, 80, 160, 300}, 1},
    };
    for (const List& l : lists) {
        for (size_t k = 0; k < l.hz.size(); ++k) {
            EqualizerProcessor p;
            p.ApplyParameter(l.param, static_cast<double>(k) + 0.75); // truncated
            for (int ch = 0; ch < 2; ++ch)
                EXPECT_EQ(p.Chain().sections[l.band][ch].TargetFrequencyHz(), l.hz[k])
                    << "param " << l.param << " index " << k;
        }
        EqualizerProcessor p;
        p.ApplyParameter(l.param, static_cast<double>(l.hz.size()) + 3.0);
        EXPECT_EQ(p.Chain().sections[l.band][1].TargetFrequencyHz(), l.fallbackHz);
        p.ApplyParameter(l.param, std::numeric_limits<double>::quiet_NaN());
        EXPECT_EQ(p.Chain().sections[l.band][0].TargetFrequencyHz(), l.fallbackHz);
    }
    EXPECT_EQ(EqualizerProcessor().Chain().sections[eq::HighShelfBand][0].TargetFrequencyHz(),
              12000.0);
}

TEST(EqualizerMapping, HighPassIndexSwitchesTheBandAndGainsReachTheirSections) {
    EqualizerProcessor p;
    p.ApplyParameter(eq::HPF, 3);
    EXPECT_TRUE(p.Chain().highPassEnabled);
    p.ApplyParameter(eq::HPF, 0);
    EXPECT_FALSE(p.Chain().highPassEnabled);
    EXPECT_EQ(p.Chain().sections[0][1].TargetFrequencyHz(), 1.0);

    const std::pair<int, int> levels[] = {{eq::LoShelfLevel, eq::LowShelfBand},
                                          {eq::MFLevel1, eq::Mid1Band},
                                          {eq::MFLevel2, eq::Mid2Band},
                                          {eq::HiShelfLevel, eq::HighShelfBand}};
    for (auto [param, band] : levels) {
        p.ApplyParameter(param, -13.3);
        EXPECT_EQ(p.Chain().sections[band][0].TargetGainDb(), -13.3);
        EXPECT_EQ(p.Chain().sections[band][1].TargetGainDb(), -13.3);
    }
    p.ApplyParameter(eq::Gain, -20.0);
    EXPECT_NEAR(p.Chain().outputGain, 0.1, 1e-12);
    EXPECT_EQ(p.Chain().outputGainDb, -20.0);
    p.ApplyParameter(42, 1.0); // ignored
}

TEST(EqualizerMapping, OversamplingRequestAndPendingFollowTheActivePath) {
    EqualizerProcessor p;
    p.ApplyParameter(eq::Oversampling, 1.0);
    EXPECT_TRUE(p.OversamplingRequested());
    EXPECT_TRUE(p.OversamplingPending());
    p.ApplyParameter(eq::Oversampling, 0.0);
    EXPECT_FALSE(p.OversamplingPending()) << "setting it back before a block clears it";

    EqualizerProcessor active;
    active.InitOversampling(true);
    active.ApplyParameter(eq::Oversampling, 1.0);
    EXPECT_FALSE(active.OversamplingPending());
}

TEST(EqualizerPlainPath, FlatSettingsAddOnePercentOfTheSineExactly) {
    EqualizerProcessor p;
    p.Reset(48000, 512, false);
    std::vector<double> in = Noise(2048, 1, 1.0);
    std::vector<double> out = RunBlocks(p, in, 512);
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(out[i], in[i] + 0.01 * equalizer::ClampedSine(in[i]));
}

// Small-signal response of the whole path against the closed form: each band
// filters the previous band's output plus k·x (its injection, linear for a
// small signal), and the output stage adds (|g/60| + 0.01)·x.
TEST(EqualizerPlainPath, MeasuredResponseMatchesTheSectionsWithTheirInjections) {
    const double rate = 48000.0;
    EqualizerProcessor p;
    Configure(p);
    p.Reset(rate, 4096, false);
    auto response = [&](int band, double hz) {
        const auto c = p.Chain().sections[band][0].CurrentCoefficients();
        const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * hz / rate);
        return (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
    };
    for (double hz : {40.0, 100.0, 400.0, 1000.0, 3150.0, 12000.0, 18000.0}) {
        std::complex<double> h = response(eq::HighPassBand, hz);
        h = (h + 4.0 / 60.0) * response(eq::LowShelfBand, hz);
        h = (h + 6.0 / 80.0) * response(eq::Mid1Band, hz);
        h = (h + 3.0 / 80.0) * response(eq::Mid2Band, hz);
        h = (h + 5.0 / 60.0) * response(eq::HighShelfBand, hz);
        h = h * std::exp(-2.0 * 0.1151292546497) + (2.0 / 60.0 + 0.01);
        EqualizerProcessor q;
        Configure(q);
        q.Reset(rate, 4096, false);
        const auto in = testing_support::Sine(hz, rate, 96000, 1e-5);
        const auto out = RunBlocks(q, in, 4096);
        const double measured = testing_support::MeasureAmplitude(out, 48000, hz, rate) / 1e-5;
        EXPECT_NEAR(testing_support::ToDb(measured), testing_support::ToDb(std::abs(h)), 0.01)
            << hz << " Hz";
    }
}

TEST(EqualizerPlainPath, OutputDoesNotDependOnBlockSize) {
    const auto in = Noise(8192, 5);
    std::vector<double> first;
    for (int block : {1, 13, 64, 512, 4096}) {
        EqualizerProcessor p;
        Configure(p);
        p.Reset(44100, 4096, false);
        const auto out = RunBlocks(p, in, block);
        if (first.empty()) {
            first = out;
            continue;
        }
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_TRUE(SameBits(out[i], first[i])) << "block " << block << " sample " << i;
    }
}

TEST(EqualizerPlainPath, MonoProcessesOnlyChannelZero) {
    EqualizerProcessor p;
    Configure(p);
    p.Reset(48000, 512, false);
    std::vector<double> in = Noise(512, 2), out0(512), out1(512, 7.0);
    const double* inputs[2] = {in.data(), in.data()};
    double* outputs[2] = {out0.data(), out1.data()};
    p.Render(inputs, outputs, 512, Mono());
    EXPECT_NE(out0[100], in[100]);
    for (double v : out1)
        ASSERT_EQ(v, 7.0);
}

TEST(EqualizerOversampledPath, ReportedLatencyIsTheMeasuredDelay) {
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        for (bool offline : {false, true}) {
            EqualizerProcessor p;
            p.InitOversampling(true);
            const int latency = p.Reset(rate, 512, offline);
            EXPECT_EQ(latency, p.CurrentOversampler()->Latency());
            EXPECT_GT(latency, 0);
            // Flat chain: a small impulse comes out as itself (the sine term
            // is linear there), delayed by the latency. The latency is the
            // resamplers' delay at low frequencies; the peak of the
            // minimum-phase impulse response may sit one sample after it.
            std::vector<double> in(8192, 0.0);
            in[1000] = 1e-3;
            const auto out = RunBlocks(p, in, 333);
            size_t peak = 0;
            for (size_t i = 0; i < out.size(); ++i)
                if (std::fabs(out[i]) > std::fabs(out[peak]))
                    peak = i;
            EXPECT_GE(static_cast<int>(peak) - 1000, latency) << rate << " Hz offline " << offline;
            EXPECT_LE(static_cast<int>(peak) - 1000, latency + 1)
                << rate << " Hz offline " << offline;
            // A slow tone, where the delay is defined sample-exactly: the
            // output lines up with the input shifted by the latency.
            EqualizerProcessor q;
            q.InitOversampling(true);
            q.Reset(rate, 512, offline);
            const auto tone = testing_support::Sine(50.0, rate, 20000, 1e-3);
            const auto toneOut = RunBlocks(q, tone, 512);
            double worst = 0.0;
            for (size_t i = 10000; i < tone.size(); ++i)
                worst = std::max(worst, std::fabs(toneOut[i] - 1.01 * tone[i - latency]));
            EXPECT_LT(worst, 1e-3 * 0.005) << rate << " Hz offline " << offline;
        }
    }
}

TEST(EqualizerOversampledPath, SwitchCrossfadesOverFourBlocksOf64WithRampingGain) {
    const double rate = 48000.0;
    EqualizerProcessor p;
    p.Reset(rate, 512, false);
    eq::Oversampler twin(4, EqualizerProcessor::realtimeQuality, rate, 1024);
    // While the plain path runs, the resamplers only carry the input; once
    // switched, the flat chain (memoryless: x + 0.01·sin x) runs on the
    // oversampled samples.
    auto identity = [](double*, int) {};
    auto flatChain = [](double* x, int n) {
        for (int i = 0; i < n; ++i)
            x[i] = 0.01 * equalizer::ClampedSine(x[i]) + x[i];
    };
    // A tone on the plain path keeps the resamplers fed ...
    const auto tone = testing_support::Sine(997.0, rate, 64 * 40, 0.5);
    std::vector<double> twinOut(64);
    for (size_t i = 0; i < tone.size(); i += 64) {
        const double* in[2] = {tone.data() + i, tone.data() + i};
        std::vector<double> o0(64), o1(64);
        double* out[2] = {o0.data(), o1.data()};
        p.Render(in, out, 64, Stereo());
        twin.Process(0, tone.data() + i, twinOut.data(), 64, identity);
    }
    // ... then the switch, on silence: the plain path gives exactly 0 and the
    // oversampled path the delayed tone, so the output is (j/256)·o[j].
    p.ApplyParameter(eq::Oversampling, 1.0);
    const std::vector<double> zeros(64, 0.0);
    int j = 0;
    for (int block = 0; block < 5; ++block) {
        std::vector<double> o0(64), o1(64);
        const double* in[2] = {zeros.data(), zeros.data()};
        double* out[2] = {o0.data(), o1.data()};
        p.Render(in, out, 64, Stereo());
        twin.Process(0, zeros.data(), twinOut.data(), 64, flatChain);
        EXPECT_EQ(p.CrossfadeActive(), block < 3) << "block " << block;
        for (int i = 0; i < 64; ++i, ++j) {
            const double expected = j < 256 ? (j * 0.00390625) * twinOut[i] : twinOut[i];
            ASSERT_EQ(o0[i], expected) << "sample " << j;
        }
    }
    EXPECT_TRUE(p.OversamplingActive());
    int latency = -1;
    EXPECT_TRUE(p.ClaimLatencyChange(latency));
    EXPECT_EQ(latency, p.OversamplerLatency());
    EXPECT_FALSE(p.ClaimLatencyChange(latency)) << "reported once";

    p.ApplyParameter(eq::Oversampling, 0.0);
    std::vector<double> o0(64), o1(64);
    const double* in[2] = {zeros.data(), zeros.data()};
    double* out[2] = {o0.data(), o1.data()};
    p.Render(in, out, 64, Stereo());
    EXPECT_TRUE(p.CrossfadeActive());
    EXPECT_EQ(p.CrossfadeRemaining(), 192);
    EXPECT_TRUE(p.ClaimLatencyChange(latency));
    EXPECT_EQ(latency, 0);
    EXPECT_EQ(p.Chain().sections[0][0].SampleRate(), 48000);
}

TEST(EqualizerOversampledPath, TwoSwitchesBeforeABlockDoNothing) {
    EqualizerProcessor p;
    p.Reset(48000, 512, false);
    p.ApplyParameter(eq::Oversampling, 1.0);
    p.ApplyParameter(eq::Oversampling, 0.0);
    RunBlocks(p, Noise(512, 3), 512);
    EXPECT_FALSE(p.CrossfadeActive());
    EXPECT_FALSE(p.OversamplingActive());
    int latency = 0;
    EXPECT_FALSE(p.ClaimLatencyChange(latency));
}

TEST(EqualizerOversampledPath, OfflineRenderingForcesOversamplingAndUndoesIt) {
    EqualizerProcessor p;
    const int offlineLatency = p.Reset(44100, 512, true);
    EXPECT_EQ(offlineLatency, p.OversamplerLatency());
    EXPECT_GT(offlineLatency, 0);
    EXPECT_TRUE(p.OversamplingActive());
    EXPECT_EQ(p.CurrentOversampler()->Quality(), EqualizerProcessor::offlineQuality);
    EXPECT_EQ(p.Chain().sections[2][1].SampleRate(), 176400);
    EXPECT_EQ(p.Reset(44100, 512, false), 0);
    EXPECT_FALSE(p.OversamplingActive());
    EXPECT_FALSE(p.OversamplingRequested());
    EXPECT_EQ(p.CurrentOversampler()->Quality(), EqualizerProcessor::realtimeQuality);
    EXPECT_EQ(p.Chain().sections[2][1].SampleRate(), 44100);
}

TEST(EqualizerOversampledPath, OutputAfterTheLatencyDoesNotDependOnBlockSize) {
    const auto in = Noise(8192, 8);
    std::vector<double> first;
    for (int block : {1, 13, 64, 512, 4096}) {
        EqualizerProcessor p;
        Configure(p);
        p.InitOversampling(true);
        p.Reset(48000, 4096, false);
        const auto out = RunBlocks(p, in, block);
        if (first.empty()) {
            first = out;
            continue;
        }
        for (size_t i = 0; i < out.size(); ++i)
            ASSERT_NEAR(out[i], first[i], 1e-12) << "block " << block << " sample " << i;
    }
}

TEST(EqualizerHostileValues, NonFiniteInputSamplesAreSilence) {
    // An upstream fault must not silence the channel for the rest of the
    // session: on every path the output is the one the same input with those
    // samples at zero gives, bit for bit, and finite from that block on.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const bool oversampled : {false, true}) {
        SCOPED_TRACE(oversampled);
        EqualizerProcessor faulty, clean;
        for (EqualizerProcessor* p : {&faulty, &clean}) {
            Configure(*p);
            p->InitOversampling(oversampled);
            p->Reset(48000, 512, false);
        }
        std::vector<double> in = Noise(4096, 4);
        std::vector<double> zeroed = in;
        for (const std::size_t at : {10u, 700u, 701u, 2000u}) {
            in[at] = at == 700 ? inf : at == 701 ? -inf : nan;
            zeroed[at] = 0.0;
        }
        const auto out = RunBlocks(faulty, in, 512);
        EXPECT_EQ(out, RunBlocks(clean, zeroed, 512));
        for (double v : RunBlocks(faulty, Noise(512, 5), 512))
            ASSERT_TRUE(std::isfinite(v));
    }

    EqualizerProcessor extreme;
    for (int param : {eq::LoShelfLevel, eq::MFLevel1, eq::MFLevel2, eq::HiShelfLevel})
        extreme.ApplyParameter(param, 20.0);
    extreme.ApplyParameter(eq::Gain, 10.0);
    extreme.ApplyParameter(eq::HPF, 5);
    extreme.InitOversampling(true);
    extreme.Reset(192000, 512, false);
    for (double v : RunBlocks(extreme, Noise(4096, 6, 1.0), 512))
        ASSERT_TRUE(std::isfinite(v));
}

TEST(EqualizerRealtime, RenderingAndMappingAllocateNothingOnAnyPath) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    EqualizerProcessor p;
    p.Reset(48000, 2048, false);
    const auto in = Noise(2048, 9);
    std::vector<double> o0(2048), o1(2048);
    const double* inputs[2] = {in.data(), in.data()};
    double* outputs[2] = {o0.data(), o1.data()};
    testing_support::AllocationCounter counter;
    int sizes[] = {1, 13, 64, 512, 2048, 7, 1024};
    for (int round = 0; round < 4; ++round) {
        p.ApplyParameter(eq::Oversampling, round % 2 == 0 ? 1.0 : 0.0); // crossfades
        p.ApplyParameter(eq::MFLevel1, round * 2.0);
        for (int n : sizes)
            p.Render(inputs, outputs, n, round == 3 ? Mono() : Stereo());
    }
    EXPECT_EQ(counter.Count(), 0u);
}
