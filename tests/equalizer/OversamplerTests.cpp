#include "equalizer/Oversampler.h"
#include "equalizer/ResamplerQuality.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "ResponseMeasurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

using equalizer::Oversampler;

namespace {

constexpr int kFactor = 4;
constexpr int kRealTimeQuality = 2;
constexpr int kOfflineQuality = 3;

struct Identity {
    void operator()(double*, int) const {}
};

// Runs `input` through Process in blocks whose sizes cycle through `sizes`.
template <typename Chain>
std::vector<double> ProcessInBlocks(Oversampler& oversampler, const std::vector<double>& input,
                                    const std::vector<int>& sizes, Chain&& chain, int channel = 0) {
    std::vector<double> output(input.size());
    std::size_t position = 0;
    for (std::size_t block = 0; position < input.size(); ++block) {
        const auto frames = std::min<std::size_t>(
            static_cast<std::size_t>(sizes[block % sizes.size()]), input.size() - position);
        EXPECT_TRUE(oversampler.Process(channel, input.data() + position, output.data() + position,
                                        static_cast<int>(frames), chain));
        position += frames;
    }
    return output;
}

// Delay of a tone of `periodSamples` through a system, from the phase of the
// output over whole periods from `start`: the input is sin(2πn/P), the output
// A·sin(2π(n−D)/P). The period must exceed the delay for D to be unambiguous.
double ToneDelay(const std::vector<double>& output, std::size_t start, std::size_t periodSamples,
                 std::size_t inputOffset = 0) {
    const double w = 2.0 * M_PI / static_cast<double>(periodSamples);
    const std::size_t length = (output.size() - start) / periodSamples * periodSamples;
    double s = 0.0;
    double c = 0.0;
    for (std::size_t i = start; i < start + length; ++i) {
        const double phase = w * static_cast<double>(i + inputOffset);
        s += output[i] * std::sin(phase);
        c += output[i] * std::cos(phase);
    }
    double delay = std::atan2(-c, s) / w;
    if (delay < 0.0)
        delay += static_cast<double>(periodSamples);
    return delay;
}

std::vector<double> LowTone(std::size_t length, std::size_t periodSamples) {
    std::vector<double> tone(length);
    for (std::size_t i = 0; i < length; ++i)
        tone[i] =
            std::sin(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(periodSamples));
    return tone;
}

std::vector<double> Noise(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> noise(length);
    for (double& sample : noise)
        sample = uniform(generator);
    return noise;
}

const std::vector<int> kIrregularBlocks = {64, 1, 1024, 13, 500, 7, 1023, 256, 3};

} // namespace

// --- Quality table ---------------------------------------------------------

TEST(ResamplerQualityTest, RowsMapOntoSoxrSettings) {
    struct Expected {
        int quality;
        double precisionBits; // round(attenuation / 6.02), within 15..33
        double passbandEnd;   // 1 - transition band
        double phaseResponse; // 0 minimum, 50 linear
    };
    const Expected rows[] = {
        {0, 15.0, 0.80, 0.0},  // 80 dB is 13.3 bits, raised to soxr's minimum
        {1, 16.0, 0.85, 0.0},  // 96 dB
        {2, 20.0, 0.90, 0.0},  // 120 dB
        {3, 25.0, 0.95, 0.0},  // 150 dB
        {4, 30.0, 0.98, 0.0},  // 180 dB
        {5, 30.0, 0.98, 50.0}, // linear phase
        {-1, 20.0, 0.90, 0.0}, // out-of-range rows fall back to row 2's figures
        {6, 20.0, 0.90, 0.0},  {std::numeric_limits<int>::max(), 20.0, 0.90, 0.0},
    };
    const soxr_quality_spec_t base = soxr_quality_spec(SOXR_HQ, 0);
    for (const Expected& row : rows) {
        SCOPED_TRACE(row.quality);
        const soxr_quality_spec_t recipe =
            equalizer::MakeSoxrQualitySpec(equalizer::LookUpResamplerQuality(row.quality));
        EXPECT_EQ(recipe.precision, row.precisionBits);
        EXPECT_NEAR(recipe.passband_end, row.passbandEnd, 1e-12);
        EXPECT_EQ(recipe.stopband_begin, 1.0);
        EXPECT_EQ(recipe.phase_response, row.phaseResponse);
        // The recipe's private flag bits must survive.
        EXPECT_EQ(recipe.flags, base.flags);
    }
    EXPECT_EQ(equalizer::SoxrPrecisionBits(1000.0), 33.0);
    EXPECT_EQ(equalizer::SoxrPrecisionBits(std::numeric_limits<double>::quiet_NaN()), 33.0);
}

// --- Latency ---------------------------------------------------------------

TEST(OversamplerLatencyTest, ReportedLatencyEqualsMeasuredDelay) {
    // A tone whose period is longer than twice the latency, so its phase gives
    // the delay unambiguously, and an impulse whose centroid gives it again.
    constexpr std::size_t period = 4096;
    constexpr std::size_t impulseAt = 3000;
    const std::vector<double> tone = LowTone(8 * period, period);
    std::vector<double> impulse(impulseAt + 6000, 0.0);
    impulse[impulseAt] = 1.0;

    Oversampler oversampler(kFactor, kRealTimeQuality, 44100.0, 1024);
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        for (const double rateHz : {44100.0, 48000.0, 96000.0}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << " at " << rateHz);
            oversampler.SetQuality(quality);
            oversampler.SetSampleRate(rateHz);
            oversampler.Rebuild();
            ASSERT_TRUE(oversampler.IsReady());
            const int latency = oversampler.Latency();
            EXPECT_GT(latency, 0);

            const std::vector<double> toneOut =
                ProcessInBlocks(oversampler, tone, kIrregularBlocks, Identity{});
            const double toneDelay = ToneDelay(toneOut, 2 * period, period);
            EXPECT_EQ(std::lround(toneDelay), latency) << "tone delay " << toneDelay;
            EXPECT_NEAR(toneOut[latency + period / 4], 1.0, 1e-3); // the first crest

            oversampler.Rebuild();
            const std::vector<double> impulseOut =
                ProcessInBlocks(oversampler, impulse, kIrregularBlocks, Identity{});
            double sum = 0.0;
            double moment = 0.0;
            for (std::size_t n = 0; n < impulseOut.size(); ++n) {
                sum += impulseOut[n];
                moment += static_cast<double>(n) * impulseOut[n];
            }
            EXPECT_NEAR(sum, 1.0, 1e-5);
            EXPECT_EQ(std::lround(moment / sum) - static_cast<long>(impulseAt), latency);
            EXPECT_EQ(oversampler.DropoutCount(0), 0u);
        }
    }
}

TEST(OversamplerLatencyTest, FeedingFirstKeepsTheDelayAndLeavesNoGap) {
    // The plain path feeds the resamplers; when oversampling is switched on the
    // output must continue the fed stream at the same delay, with no zeros.
    constexpr std::size_t period = 4096;
    constexpr std::size_t fed = 10000;
    const std::vector<double> tone = LowTone(fed + 6 * period, period);
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, 512);
    const int latency = oversampler.Latency();

    std::size_t position = 0;
    for (std::size_t block = 0; position < fed; ++block) {
        const int frames = std::min(kIrregularBlocks[block % kIrregularBlocks.size()] % 512 + 1,
                                    static_cast<int>(fed - position));
        ASSERT_TRUE(oversampler.Feed(0, tone.data() + position, frames));
        position += static_cast<std::size_t>(frames);
    }
    const std::vector<double> rest(tone.begin() + fed, tone.end());
    const std::vector<double> out = ProcessInBlocks(oversampler, rest, {512, 77, 1}, Identity{});

    EXPECT_EQ(std::lround(ToneDelay(out, 0, period, fed)), latency);
    // A one-sample slip moves this tone by 2π/4096 ≈ 1.5e-3 of its amplitude.
    double worst = 0.0;
    for (std::size_t n = 0; n < out.size(); ++n)
        worst =
            std::max(worst, std::fabs(out[n] - tone[fed + n - static_cast<std::size_t>(latency)]));
    EXPECT_LT(worst, 1e-3);
    // The channel that was never fed starts from silence (up to the rounding of
    // soxr's DFT arithmetic on blocks that already hold the new signal).
    std::vector<double> silence(256, 1.0);
    ASSERT_TRUE(oversampler.Process(1, rest.data(), silence.data(), 256, Identity{}));
    EXPECT_TRUE(
        std::all_of(silence.begin(), silence.end(), [](double s) { return std::fabs(s) < 1e-12; }));
}

// --- Block-size invariance -------------------------------------------------

TEST(OversamplerBlockTest, OutputDoesNotDependOnHowBlocksAreCut) {
    // A chain with memory: if runs were skipped, repeated or reordered across
    // block boundaries its output would differ.
    struct Smoother {
        double state = 0.0;
        void operator()(double* samples, int count) {
            for (int i = 0; i < count; ++i) {
                state += 0.3 * (samples[i] - state);
                samples[i] = state + 0.2 * std::sin(samples[i]);
            }
        }
    };
    const std::vector<double> input = Noise(30000, 7);
    std::vector<std::vector<int>> cuts = {{4096}, {1}, {13}, {64}, {512}, {4096, 1, 999, 13, 64}};
    std::vector<double> reference;
    for (const std::vector<int>& cut : cuts) {
        SCOPED_TRACE(cut.front());
        Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, 4096);
        Smoother chain;
        const std::vector<double> out = ProcessInBlocks(oversampler, input, cut, chain);
        EXPECT_EQ(oversampler.DropoutCount(0), 0u);
        if (reference.empty()) {
            reference = out;
            continue;
        }
        // soxr works on whole DFT blocks whatever the call sizes, so the
        // result is bit-identical, not merely close.
        EXPECT_EQ(out, reference);
    }
}

// --- Frequency response ----------------------------------------------------

TEST(OversamplerResponseTest, PassbandIsFlatTo20kHz) {
    constexpr double rateHz = 48000.0;
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        Oversampler oversampler(kFactor, quality, rateHz, 1024);
        for (const double frequencyHz :
             {20.0, 100.0, 1000.0, 5000.0, 10000.0, 15000.0, 18000.0, 19000.0, 20000.0}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << ", " << frequencyHz);
            oversampler.Rebuild();
            const std::vector<double> tone = testing_support::Sine(frequencyHz, rateHz, 24000, 0.5);
            const std::vector<double> out = ProcessInBlocks(oversampler, tone, {1024}, Identity{});
            const double gainDb = testing_support::ToDb(
                testing_support::MeasureAmplitude(out, 4000, frequencyHz, rateHz) / 0.5);
            EXPECT_LT(std::fabs(gainDb), 0.1);
        }
    }
}

TEST(OversamplerResponseTest, ContentAboveHostNyquistIsRejected) {
    // The chain adds a 30 kHz tone at the oversampled rate. Sampled plainly at
    // 48 kHz that tone would fold to 18 kHz at full amplitude; the downsampler
    // must remove it to within a few dB of the row's stop-band attenuation.
    constexpr double rateHz = 48000.0;
    constexpr double toneHz = 30000.0;
    constexpr double aliasHz = rateHz - toneHz;
    constexpr double amplitude = 0.5;
    constexpr double marginDb = 6.0;
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        SCOPED_TRACE(quality);
        Oversampler oversampler(kFactor, quality, rateHz, 1024);
        long oversampledIndex = 0;
        auto addTone = [&](double* samples, int count) {
            for (int i = 0; i < count; ++i, ++oversampledIndex)
                samples[i] += amplitude *
                              std::sin(2.0 * M_PI * toneHz * static_cast<double>(oversampledIndex) /
                                       (kFactor * rateHz));
        };
        const std::vector<double> silence(48000, 0.0);
        const std::vector<double> out = ProcessInBlocks(oversampler, silence, {1024}, addTone);
        const double alias = testing_support::MeasureAmplitude(out, 8000, aliasHz, rateHz);
        const double rejectionDb = testing_support::ToDb(amplitude / alias);
        const double rowDb = equalizer::LookUpResamplerQuality(quality).attenuationDb;
        EXPECT_GE(rejectionDb, rowDb - marginDb);
        RecordProperty(quality == kRealTimeQuality ? "rejection_q2_db" : "rejection_q3_db",
                       std::to_string(rejectionDb));
    }
}

// --- Real-time behaviour ---------------------------------------------------

TEST(OversamplerRealTimeTest, ProcessAndFeedDoNotAllocate) {
    // soxr grows its internal buffers by realloc when a write does not fit
    // where its read position happens to be, which ordinary blocks of any size
    // can meet long after start-up; small, odd and full blocks on both
    // channels, fed and processed, for several seconds of audio each.
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        for (const int maxBlock : {32, 512, 2048, 3000}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << ", max " << maxBlock);
            Oversampler oversampler(kFactor, quality, 48000.0, maxBlock);
            const std::vector<double> input = Noise(static_cast<std::size_t>(maxBlock), 3);
            std::vector<double> output(static_cast<std::size_t>(maxBlock));
            std::mt19937 generator(static_cast<unsigned>(maxBlock + quality));
            std::uniform_int_distribution<int> anySize(1, maxBlock);
            double sink = 0.0;
            auto chain = [&sink](double* samples, int count) { sink += samples[count - 1]; };

            testing_support::AllocationCounter counter;
            for (int block = 0; block < 1500; ++block) {
                const int frames = block % 2 == 0   ? maxBlock
                                   : block % 3 == 0 ? 1 + anySize(generator) % 64
                                                    : anySize(generator);
                const int channel = block % 4 < 2 ? 0 : 1;
                if (block % 5 == 0)
                    oversampler.Feed(channel, input.data(), frames);
                else
                    oversampler.Process(channel, input.data(), output.data(), frames, chain);
            }
            EXPECT_EQ(counter.Count(), 0u);
            EXPECT_EQ(oversampler.DropoutCount(0), 0u);
            EXPECT_EQ(oversampler.DropoutCount(1), 0u);
        }
    }
}

// --- Hostile input ---------------------------------------------------------

TEST(OversamplerSafetyTest, RefusedBlocksWriteZerosAndKeepTheStream) {
    constexpr int maxBlock = 256;
    constexpr std::size_t period = 4096;
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, maxBlock);
    const int latency = oversampler.Latency();
    const std::vector<double> tone = LowTone(5 * period, period);
    std::vector<double> big(maxBlock + 1, 0.5);
    std::vector<double> out(maxBlock + 1, 1.0);

    EXPECT_FALSE(oversampler.Process(0, big.data(), out.data(), maxBlock + 1, Identity{}));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](double s) { return s == 0.0; }));
    EXPECT_FALSE(oversampler.Feed(0, big.data(), maxBlock + 1));
    EXPECT_FALSE(oversampler.Process(0, big.data(), out.data(), -5, Identity{}));
    EXPECT_FALSE(oversampler.Process(2, big.data(), out.data(), 16, Identity{}));
    EXPECT_FALSE(oversampler.Process(-1, big.data(), out.data(), 16, Identity{}));
    EXPECT_FALSE(oversampler.Process(0, nullptr, out.data(), 16, Identity{}));
    EXPECT_FALSE(oversampler.Feed(0, nullptr, 16));
    EXPECT_TRUE(oversampler.Process(0, big.data(), out.data(), 0, Identity{}));

    // None of the refusals advanced the stream: the delay is still exact.
    const std::vector<double> toneOut = ProcessInBlocks(oversampler, tone, {maxBlock}, Identity{});
    EXPECT_EQ(std::lround(ToneDelay(toneOut, period, period)), latency);
    EXPECT_EQ(oversampler.DropoutCount(0), 0u);
}

TEST(OversamplerSafetyTest, InvalidSettingsGiveAnIdleOversampler) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Settings {
        int factor;
        double rateHz;
        int maxBlock;
    };
    for (const Settings& s :
         {Settings{4, 0.0, 512}, Settings{4, -48000.0, 512}, Settings{4, nan, 512},
          Settings{0, 48000.0, 512}, Settings{4, 48000.0, 0}, Settings{4, 48000.0, -1},
          Settings{4, 48000.0, Oversampler::kMaxBlockLimit + 1}}) {
        SCOPED_TRACE(testing::Message() << s.factor << " " << s.rateHz << " " << s.maxBlock);
        Oversampler oversampler(s.factor, kRealTimeQuality, s.rateHz, s.maxBlock);
        EXPECT_FALSE(oversampler.IsReady());
        EXPECT_EQ(oversampler.Latency(), 0);
        std::vector<double> block(16, 1.0);
        EXPECT_FALSE(oversampler.Process(0, block.data(), block.data(), 16, Identity{}));
        EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](double v) { return v == 0.0; }));
    }

    // A valid rebuild brings it back.
    Oversampler oversampler(kFactor, kRealTimeQuality, 0.0, 512);
    oversampler.SetSampleRate(48000.0);
    oversampler.Rebuild();
    EXPECT_TRUE(oversampler.IsReady());
    EXPECT_GT(oversampler.Latency(), 0);
}

TEST(OversamplerSafetyTest, RebuildForgetsHistory) {
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, 512);
    const std::vector<double> loud = Noise(512, 5);
    std::vector<double> out(512);
    for (int i = 0; i < 4; ++i)
        oversampler.Process(0, loud.data(), out.data(), 512, Identity{});
    oversampler.SetMaxBlock(300);
    oversampler.Rebuild();
    EXPECT_EQ(oversampler.MaxBlock(), 300);
    const std::vector<double> silence(6000, 0.0);
    const std::vector<double> after = ProcessInBlocks(oversampler, silence, {300, 17}, Identity{});
    EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](double s) { return s == 0.0; }));
}
