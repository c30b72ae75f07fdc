#include "equalizer/EqualizerChain.h"
#include "equalizer/KernelSet.h"
#include "equalizer/Oversampler.h"
#include "equalizer/OversamplerFilters.h"
#include "equalizer/ResamplerQuality.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "ResponseMeasurement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

using equalizer::Oversampler;

namespace {

constexpr int kFactor = 4;
constexpr int kRealTimeQuality = 2;
constexpr int kOfflineQuality = 3;

struct Identity {
    void operator()(double*, int) const {}
};

// A chain with memory and a nonlinearity: if runs were skipped, repeated or
// reordered across blocks, or the history were wrong, its output would differ.
struct Smoother {
    double state = 0.0;
    void operator()(double* samples, int count) {
        for (int i = 0; i < count; ++i) {
            state += 0.3 * (samples[i] - state);
            samples[i] = state + 0.2 * std::sin(samples[i]);
        }
    }
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

// Delay in samples of a sine of `frequencyHz` through a system, from the
// phase of output[start..) over whole periods: the input is sin(ωn), the
// output A·sin(ω(n − D)). Unambiguous for delays shorter than a period.
double ToneDelay(const std::vector<double>& output, std::size_t start, double frequencyHz,
                 double rateHz, std::size_t inputOffset = 0) {
    const double w = 2.0 * M_PI * frequencyHz / rateHz;
    const double periods = std::floor((output.size() - start) * frequencyHz / rateHz);
    const auto length = static_cast<std::size_t>(std::lround(periods * rateHz / frequencyHz));
    double s = 0.0;
    double c = 0.0;
    for (std::size_t i = start; i < start + length; ++i) {
        const double phase = w * static_cast<double>(i + inputOffset);
        s += output[i] * std::sin(phase);
        c += output[i] * std::cos(phase);
    }
    return std::atan2(-c, s) / w;
}

std::vector<double> Noise(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> noise(length);
    for (double& sample : noise)
        sample = uniform(generator);
    return noise;
}

// |H| of a filter at `cycles` per sample, straight from the taps.
double Magnitude(const equalizer::FirTaps& filter, double cycles) {
    std::complex<double> sum = 0.0;
    for (int n = 0; n < filter.count; ++n)
        sum += filter.taps[n] * std::polar(1.0, -2.0 * M_PI * cycles * n);
    return std::abs(sum);
}

// Whether every zero of H(z) = Σ h[n]·z^−n lies strictly inside the unit
// circle: the Schur–Cohn step-down recursion on z^(N−1)·H(z), whose
// reflection coefficients all have magnitudes below 1 exactly then.
bool ZerosInsideUnitCircle(const equalizer::FirTaps& filter) {
    std::vector<long double> a(filter.taps, filter.taps + filter.count);
    for (std::size_t m = a.size() - 1; m > 0; --m) {
        const long double k = a[m] / a[0];
        if (!(std::fabs(k) < 1.0L))
            return false;
        std::vector<long double> lower(m);
        for (std::size_t i = 0; i < m; ++i)
            lower[i] = (a[i] - k * a[m - i]) / (1.0L - k * k);
        a = std::move(lower);
    }
    return true;
}

// A chain for ProcessStereo's interleaved runs made of one chain per
// channel, each seeing its channel's samples as if alone.
template <typename Left, typename Right> auto SplitChains(Left& left, Right& right) {
    return [&left, &right](double* pairs, int count) {
        std::vector<double> l(static_cast<std::size_t>(count)), r(l.size());
        for (std::size_t i = 0; i < l.size(); ++i) {
            l[i] = pairs[2 * i];
            r[i] = pairs[2 * i + 1];
        }
        left(l.data(), count);
        right(r.data(), count);
        for (std::size_t i = 0; i < l.size(); ++i) {
            pairs[2 * i] = l[i];
            pairs[2 * i + 1] = r[i];
        }
    };
}

const std::vector<int> kIrregularBlocks = {64, 1, 1024, 13, 500, 7, 1023, 256, 3};

} // namespace

// --- Filter table ----------------------------------------------------------

TEST(OversamplerFilterTest, EveryRowMeetsItsBandsAttenuationAndPhase) {
    // Swept independently of the design's own check, on a grid four times
    // finer than a sidelobe. Edges in cycles per sample of the stage's rate.
    for (int row = 0; row < 6; ++row) {
        SCOPED_TRACE(row);
        const equalizer::ResamplerQuality quality = equalizer::LookUpResamplerQuality(row);
        const equalizer::OversamplerFilters& filters = equalizer::LookUpOversamplerFilters(row);
        struct Stage {
            equalizer::FirTaps taps;
            double passbandEnd;
            double stopbandBegin;
        };
        // Transition bands centred on the lower rate's Nyquist frequency: the
        // host pass band, (1 − band) of the host Nyquist, and its mirrors.
        const double pass = 0.5 * (1.0 - quality.transitionBandPercent / 100.0);
        const Stage stages[] = {{filters.first, pass / 2.0, (1.0 - pass) / 2.0},
                                {filters.second, pass / 4.0, (2.0 - pass) / 4.0}};
        for (const Stage& stage : stages) {
            ASSERT_GT(stage.taps.count, 8);
            const double step = 0.25 / stage.taps.count;
            double worstStop = 0.0;
            for (double f = stage.stopbandBegin; f <= 0.5; f += step)
                worstStop = std::max(worstStop, Magnitude(stage.taps, f));
            EXPECT_LE(testing_support::ToDb(worstStop), -quality.attenuationDb);
            double worstPass = 0.0;
            for (double f = 0.0; f <= stage.passbandEnd; f += step)
                worstPass =
                    std::max(worstPass, std::fabs(testing_support::ToDb(Magnitude(stage.taps, f))));
            EXPECT_LT(worstPass, 0.001);

            // Linear phase: symmetric taps. Minimum phase: every zero inside
            // the unit circle.
            const int n = stage.taps.count;
            if (quality.minimumPhase) {
                EXPECT_TRUE(ZerosInsideUnitCircle(stage.taps));
            } else {
                double sum = 0.0;
                double moment = 0.0;
                double asymmetry = 0.0;
                for (int i = 0; i < n; ++i) {
                    sum += stage.taps.taps[i];
                    moment += i * stage.taps.taps[i];
                    asymmetry = std::max(
                        asymmetry, std::fabs(stage.taps.taps[i] - stage.taps.taps[n - 1 - i]));
                }
                EXPECT_LT(asymmetry, 1e-15);
                EXPECT_NEAR(moment / sum, (n - 1) / 2.0, 1e-6);
            }
        }
    }
    // Rows outside the table fall back to row 2.
    EXPECT_EQ(equalizer::LookUpOversamplerFilters(-1).first.taps,
              equalizer::LookUpOversamplerFilters(2).first.taps);
    EXPECT_EQ(equalizer::LookUpOversamplerFilters(6).second.taps,
              equalizer::LookUpOversamplerFilters(2).second.taps);
    EXPECT_EQ(equalizer::LookUpResamplerQuality(std::numeric_limits<int>::max()).attenuationDb,
              120.0);
}

// --- Latency ---------------------------------------------------------------

TEST(OversamplerLatencyTest, ReportedLatencyIsTheMeasuredDelayAt1kHz) {
    Oversampler oversampler(kFactor, kRealTimeQuality, 44100.0, 1024);
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        for (const double rateHz : {44100.0, 48000.0, 96000.0, 192000.0}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << " at " << rateHz);
            oversampler.SetQuality(quality);
            oversampler.SetSampleRate(rateHz);
            oversampler.Rebuild();
            ASSERT_TRUE(oversampler.IsReady());
            const std::vector<double> tone =
                testing_support::Sine(1000.0, rateHz, static_cast<std::size_t>(rateHz / 5));
            const std::vector<double> out =
                ProcessInBlocks(oversampler, tone, kIrregularBlocks, Identity{});
            const double measured =
                ToneDelay(out, static_cast<std::size_t>(rateHz / 20), 1000.0, rateHz);
            EXPECT_LE(std::fabs(measured - oversampler.Latency()), 0.5) << measured;
            EXPECT_NEAR(measured, oversampler.ExactLatency(), 0.01);
            EXPECT_LE(oversampler.Latency(), quality == kRealTimeQuality ? 16 : 24);
            RecordProperty("latency_q" + std::to_string(quality) + "_" +
                               std::to_string(static_cast<int>(rateHz)),
                           std::to_string(measured));
        }
    }
}

// --- Feeding ---------------------------------------------------------------

TEST(OversamplerFeedTest, FedStreamsMatchContinuouslyRunFiltersBitForBit) {
    // One oversampler is fed while "off" (Feed only records the input); the
    // other runs its filters all the time, one channel at a time, with an
    // identity chain and its output thrown away. Whenever both process, at
    // switches placed at random block positions and with random block sizes,
    // their outputs must be the same bits. The fed one processes both
    // channels at once or one at a time, at random, so its histories move
    // between the two layouts (also while fed). Both qualities.
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        SCOPED_TRACE(quality);
        Oversampler fed(kFactor, quality, 48000.0, 2048);
        Oversampler running(kFactor, quality, 48000.0, 2048);
        Smoother fedChain[2], runningChain[2];
        auto fedBoth = SplitChains(fedChain[0], fedChain[1]);
        const std::vector<double> input = Noise(200000, 11);
        std::vector<double> outFed[2] = {std::vector<double>(2048), std::vector<double>(2048)};
        std::vector<double> outRunning(2048), discarded(2048);
        std::mt19937 generator(static_cast<unsigned>(quality));
        std::uniform_int_distribution<int> size(1, 2048);
        std::uniform_int_distribution<int> coin(0, 3);
        std::size_t position = 0;
        int compared = 0;
        int switches = 0;
        int stereoBlocks = 0;
        bool on = false;
        while (position + 2048 <= input.size()) {
            // Short stretches off as well as long ones: shorter than the
            // recorded history, and longer.
            const int frames = coin(generator) == 0 ? 1 + size(generator) % 37 : size(generator);
            if (coin(generator) == 0) {
                on = !on;
                ++switches;
            }
            const double* in[2] = {input.data() + position, input.data() + position + 7};
            const bool stereo = on && coin(generator) < 2;
            if (stereo) {
                double* out[2] = {outFed[0].data(), outFed[1].data()};
                ASSERT_TRUE(fed.ProcessStereo(in, out, frames, fedBoth));
                ++stereoBlocks;
            }
            for (int ch = 0; ch < 2; ++ch) {
                if (on) {
                    if (!stereo) {
                        ASSERT_TRUE(
                            fed.Process(ch, in[ch], outFed[ch].data(), frames, fedChain[ch]));
                    }
                    ASSERT_TRUE(
                        running.Process(ch, in[ch], outRunning.data(), frames, runningChain[ch]));
                    ASSERT_TRUE(std::equal(outFed[ch].begin(), outFed[ch].begin() + frames,
                                           outRunning.begin()))
                        << "at " << position << ", channel " << ch;
                    ++compared;
                } else {
                    ASSERT_TRUE(fed.Feed(ch, in[ch], frames));
                    ASSERT_TRUE(running.Process(ch, in[ch], discarded.data(), frames, Identity{}));
                }
            }
            position += static_cast<std::size_t>(frames);
        }
        EXPECT_GT(switches, 50);
        EXPECT_GT(compared, 100);
        EXPECT_GT(stereoBlocks, 20);
    }
}

TEST(OversamplerFeedTest, ChannelsAreIndependentAndStartFromSilence) {
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, 512);
    const std::vector<double> loud = Noise(512, 5);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(oversampler.Feed(0, loud.data(), 512));
    std::vector<double> out(512, 1.0);
    const std::vector<double> silence(512, 0.0);
    ASSERT_TRUE(oversampler.Process(1, silence.data(), out.data(), 512, Identity{}));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](double s) { return s == 0.0; }));
}

// --- Block-size invariance, stereo, kernels --------------------------------

TEST(OversamplerBlockTest, OutputDependsNeitherOnBlockCutsNorOnStereoNorOnKernels) {
    const std::vector<double> input = Noise(30000, 7);
    const std::vector<double> other = Noise(30000, 8);
    std::vector<const equalizer::kernels::KernelSet*> sets = {&equalizer::kernels::Baseline()};
    if (const auto* avx2 = equalizer::kernels::Avx2())
        sets.push_back(avx2);
    else
        std::printf("this processor has no AVX2: only the baseline kernels run\n");
    for (const int quality : {kRealTimeQuality, kOfflineQuality, 5}) {
        SCOPED_TRACE(quality);
        std::vector<double> reference;
        for (const auto* set : sets) {
            for (const std::vector<int>& cut : std::vector<std::vector<int>>{
                     {4096}, {1}, {13}, {256, 257}, {4096, 1, 999, 13, 64}}) {
                SCOPED_TRACE(testing::Message() << set->name << " " << cut.front());
                Oversampler oversampler(kFactor, quality, 48000.0, 4096);
                oversampler.UseKernels(*set);
                const std::vector<double> out =
                    ProcessInBlocks(oversampler, input, cut, Smoother{});
                if (reference.empty())
                    reference = out;
                else
                    EXPECT_EQ(out, reference);
            }
        }
        // Both channels at once: each channel as if alone.
        Oversampler stereo(kFactor, quality, 48000.0, 4096);
        Smoother left, right;
        auto both = SplitChains(left, right);
        std::vector<double> outLeft(input.size()), outRight(input.size());
        for (std::size_t at = 0; at < input.size(); at += 1000) {
            const int frames = static_cast<int>(std::min<std::size_t>(1000, input.size() - at));
            const double* in[] = {input.data() + at, other.data() + at};
            double* out[] = {outLeft.data() + at, outRight.data() + at};
            ASSERT_TRUE(stereo.ProcessStereo(in, out, frames, both));
        }
        EXPECT_EQ(outLeft, reference);
        Oversampler alone(kFactor, quality, 48000.0, 4096);
        EXPECT_EQ(outRight, ProcessInBlocks(alone, other, {1000}, Smoother{}, 1));
    }
}

// The kernels in use follow the processor and LUMARO_BASELINE_KERNELS, for
// the FIR stages and the chain alike (CTest runs this binary once more with
// the variable set).
TEST(KernelChoiceTest, FollowsTheProcessorAndTheEnvironment) {
    const char* forced = std::getenv("LUMARO_BASELINE_KERNELS");
    const bool baseline =
        (forced != nullptr && std::string(forced) != "0") || equalizer::kernels::Avx2() == nullptr;
    const std::string expected = baseline ? "sse2" : "avx2";
    EXPECT_EQ(Oversampler(kFactor, kRealTimeQuality, 48000.0, 512).Kernels().name, expected);
    EXPECT_EQ(equalizer::EqualizerChain().Kernels().name, expected);
}

// --- Frequency response ----------------------------------------------------

TEST(OversamplerResponseTest, PassbandIsFlatTo85PercentOfNyquist) {
    for (const double rateHz : {44100.0, 48000.0}) {
        for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
            Oversampler oversampler(kFactor, quality, rateHz, 1024);
            for (const double fraction : {0.001, 0.05, 0.2, 0.4, 0.6, 0.75, 0.8, 0.85}) {
                const double frequencyHz = fraction * rateHz / 2.0;
                SCOPED_TRACE(testing::Message() << "quality " << quality << ", " << frequencyHz);
                oversampler.ClearHistory();
                const std::vector<double> tone =
                    testing_support::Sine(frequencyHz, rateHz, 48000, 0.5);
                const std::vector<double> out =
                    ProcessInBlocks(oversampler, tone, {1024}, Identity{});
                const double gainDb = testing_support::ToDb(
                    testing_support::MeasureAmplitude(out, 4000, frequencyHz, rateHz) / 0.5);
                EXPECT_LT(std::fabs(gainDb), 0.01);
            }
        }
    }
}

TEST(OversamplerResponseTest, ImagesAndAliasesAreRejected) {
    // Aliases: the chain adds a 30 kHz tone at the oversampled rate, which
    // sampled plainly at 48 kHz would fold to 18 kHz at full amplitude.
    // Images: an 18 kHz input has its first image at 30 kHz at the
    // oversampled rate, which the chain measures.
    constexpr double rateHz = 48000.0;
    constexpr double highHz = 30000.0;
    constexpr double lowHz = rateHz - highHz;
    constexpr double amplitude = 0.5;
    constexpr double oversampledRate = kFactor * rateHz;
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        SCOPED_TRACE(quality);
        const double rowDb = equalizer::LookUpResamplerQuality(quality).attenuationDb;
        Oversampler oversampler(kFactor, quality, rateHz, 1024);
        long index = 0;
        auto addTone = [&](double* samples, int count) {
            for (int i = 0; i < count; ++i, ++index)
                samples[i] += amplitude * std::sin(2.0 * M_PI * highHz * index / oversampledRate);
        };
        const std::vector<double> silence(48000, 0.0);
        const std::vector<double> out = ProcessInBlocks(oversampler, silence, {1024}, addTone);
        const double alias = testing_support::MeasureAmplitude(out, 8000, lowHz, rateHz);
        EXPECT_GE(testing_support::ToDb(amplitude / alias), rowDb);

        oversampler.ClearHistory();
        std::vector<double> oversampled;
        auto record = [&](double* samples, int count) {
            oversampled.insert(oversampled.end(), samples, samples + count);
        };
        ProcessInBlocks(oversampler, testing_support::Sine(lowHz, rateHz, 48000, amplitude), {1024},
                        record);
        const double image =
            testing_support::MeasureAmplitude(oversampled, 32000, highHz, oversampledRate);
        EXPECT_GE(testing_support::ToDb(amplitude / image), rowDb);
        RecordProperty("rejection_q" + std::to_string(quality) + "_db",
                       std::to_string(testing_support::ToDb(amplitude / std::max(alias, image))));
    }
}

// --- Real-time behaviour ---------------------------------------------------

TEST(OversamplerRealTimeTest, ProcessingFeedingAndResetsDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    for (const int quality : {kRealTimeQuality, kOfflineQuality}) {
        for (const int maxBlock : {32, 512, 3000}) {
            SCOPED_TRACE(testing::Message() << "quality " << quality << ", max " << maxBlock);
            Oversampler oversampler(kFactor, quality, 48000.0, maxBlock);
            const std::vector<double> input = Noise(static_cast<std::size_t>(maxBlock), 3);
            std::vector<double> output(static_cast<std::size_t>(maxBlock));
            std::vector<double> other(output.size());
            const double* inputs[] = {input.data(), input.data()};
            double* outputs[] = {output.data(), other.data()};
            std::mt19937 generator(static_cast<unsigned>(maxBlock + quality));
            std::uniform_int_distribution<int> anySize(1, maxBlock);
            double sink = 0.0;
            auto chain = [&sink](double* samples, int count) { sink += samples[count - 1]; };

            // Feeding, one channel or both at once (which moves the histories
            // between their layouts), and clearing.
            testing_support::AllocationCounter counter;
            for (int block = 0; block < 300; ++block) {
                const int frames = block % 2 == 0 ? maxBlock : anySize(generator);
                const int channel = block % 4 < 2 ? 0 : 1;
                if (block % 5 == 0)
                    oversampler.Feed(channel, input.data(), frames);
                else if (block % 3 == 0)
                    oversampler.ProcessStereo(inputs, outputs, frames, chain);
                else
                    oversampler.Process(channel, input.data(), output.data(), frames, chain);
                if (block % 50 == 0)
                    oversampler.ClearHistory();
            }
            // A rebuild with the same quality, a new rate and block size.
            oversampler.SetSampleRate(96000.0);
            oversampler.SetMaxBlock(maxBlock / 2 + 1);
            oversampler.Rebuild();
            EXPECT_EQ(counter.Count(), 0u);
        }
    }
}

// --- Hostile input ---------------------------------------------------------

TEST(OversamplerSafetyTest, RefusedBlocksWriteZerosAndKeepTheStream) {
    constexpr int maxBlock = 256;
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, maxBlock);
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
    const double* nulls[] = {big.data(), nullptr};
    double* outs[] = {out.data(), out.data()};
    EXPECT_FALSE(oversampler.ProcessStereo(nulls, outs, 16, [](double*, int) {}));
    EXPECT_TRUE(oversampler.Process(0, big.data(), out.data(), 0, Identity{}));

    // None of the refusals advanced the stream: the output is the one a
    // fresh oversampler gives.
    const std::vector<double> noise = Noise(5000, 9);
    Oversampler fresh(kFactor, kRealTimeQuality, 48000.0, maxBlock);
    EXPECT_EQ(ProcessInBlocks(oversampler, noise, {maxBlock}, Identity{}),
              ProcessInBlocks(fresh, noise, {maxBlock}, Identity{}));
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
          Settings{0, 48000.0, 512}, Settings{3, 48000.0, 512}, Settings{8, 48000.0, 512},
          Settings{4, 48000.0, 0}, Settings{4, 48000.0, -1},
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

TEST(OversamplerSafetyTest, RebuildAndClearForgetHistory) {
    Oversampler oversampler(kFactor, kRealTimeQuality, 48000.0, 512);
    const std::vector<double> loud = Noise(512, 5);
    std::vector<double> out(512);
    const std::vector<double> silence(6000, 0.0);
    const auto silent = [](const std::vector<double>& v) {
        return std::all_of(v.begin(), v.end(), [](double s) { return s == 0.0; });
    };
    for (int i = 0; i < 4; ++i)
        oversampler.Process(0, loud.data(), out.data(), 512, Identity{});
    oversampler.SetMaxBlock(300);
    oversampler.Rebuild();
    EXPECT_EQ(oversampler.MaxBlock(), 300);
    EXPECT_TRUE(silent(ProcessInBlocks(oversampler, silence, {300, 17}, Identity{})));

    oversampler.Feed(0, loud.data(), 300);
    oversampler.ClearHistory();
    EXPECT_TRUE(silent(ProcessInBlocks(oversampler, silence, {300}, Identity{})));
}
