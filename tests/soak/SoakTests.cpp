// Endurance: a long random session through "Lumaro EQ.vst3" at 44.1 and
// 96 kHz. Every parameter is automated at random points, block sizes are
// random, oversampling is switched, bypass toggled, and the plug-in is reset
// between realtime and offline rendering and between sample sizes. Checked
// throughout: the output stays finite and free of subnormal numbers, time per
// sample in silence stays near time per sample with signal (the symptom of
// denormal arithmetic), and the latency the plug-in reports is the delay
// measured in its output and in its bypass.
//
// The CI run covers LUMARO_SOAK_SECONDS (default 60, 10 under sanitizers) of
// audio per rate with a timing check on medians, which a loaded machine does
// not upset. LUMARO_SOAK_MINUTES=60 (`make soak`) runs the hour and also
// bounds every block's time by the median. LUMARO_SOAK_SEED repeats a run.

#include "EqualizerModule.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace eq_module;

struct SoakSettings {
    double secondsPerRate = 60.0;
    bool longRun = false;
    uint64_t seed = 20240611;
};

SoakSettings Settings() {
    SoakSettings s;
#if defined(LUMARO_SANITIZED)
    s.secondsPerRate = 10.0;
#endif
    if (const char* seconds = std::getenv("LUMARO_SOAK_SECONDS"))
        s.secondsPerRate = std::max(1.0, std::atof(seconds));
    if (const char* minutes = std::getenv("LUMARO_SOAK_MINUTES")) {
        s.secondsPerRate = std::max(1.0, 60.0 * std::atof(minutes));
        s.longRun = true;
    }
    if (const char* seed = std::getenv("LUMARO_SOAK_SEED"))
        s.seed = std::strtoull(seed, nullptr, 10);
    return s;
}

constexpr int32 kMaxBlock = 1024;
// Normalized positions of the neutral settings: HPF off, every gain 0 dB
// (levels span -20...+20 dB, the output gain -20...+10 dB).
constexpr double kLevelZeroDb = 0.5;
constexpr double kGainZeroDb = 2.0 / 3.0;
// Time-per-sample samples below this block size are dominated by the call
// itself, not by the arithmetic.
constexpr int32 kTimedMinFrames = 64;
constexpr int32 kSteadyMinFrames = 256;

double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double Quantile(std::vector<double> values, double q) {
    if (values.empty())
        return 0.0;
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(q * (values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

// Nanoseconds per frame, split by oversampling (the cost differs several
// times) and by whether the input was silent.
struct BlockTimes {
    std::vector<double> signal[2];
    std::vector<double> silence[2];
    // Blocks of at least kSteadyMinFrames more than a second after a reset
    // or an oversampling switch, for the bound on every block's time.
    std::vector<double> steady[2];
};

class Session {
public:
    Session(vst3host::PluginInstance& instance, vst3host::HostContext& context, double rate,
            uint64_t seed)
        : instance(instance), context(context), rate(rate), random(seed) {
        for (int ch = 0; ch < 2; ++ch) {
            in64[ch].assign(kMaxBlock, 0.0);
            out64[ch].assign(kMaxBlock, 0.0);
            in32[ch].assign(kMaxBlock, 0.0f);
            out32[ch].assign(kMaxBlock, 0.0f);
        }
    }

    // [ui] Stops, sets up in a random mode and sample size, starts again.
    void Reset() {
        instance.SetProcessing(false);
        instance.SetActive(false);
        vst3host::ProcessConfig config;
        config.sampleRate = rate;
        config.maxBlockFrames = kMaxBlock;
        offline = Chance(0.3);
        config.processMode = offline ? kOffline : kRealtime;
        sampleSize = Chance(0.5) ? kSample64 : kSample32;
        config.symbolicSampleSize = sampleSize;
        ASSERT_EQ(instance.SetupProcessing(config), kResultOk);
        ASSERT_EQ(instance.SetActive(true), kResultOk);
        ASSERT_EQ(instance.SetProcessing(true), kResultOk);
        Note(std::string("reset ") + (offline ? "offline " : "realtime ") +
             (sampleSize == kSample64 ? "64" : "32") + ", latency " +
             std::to_string(instance.Processor()->getLatencySamples()));
        ++resets;
        framesSinceUpset = 0;
    }

    // A stretch of random automation over signal or silence.
    void RandomStretch(double seconds, bool silent, BlockTimes& times) {
        const double level = std::pow(10.0, Uniform(-3.0, 0.0));
        auto remaining = static_cast<int64_t>(seconds * rate);
        while (remaining > 0 && !::testing::Test::HasFatalFailure()) {
            changes.Clear();
            const auto frames = static_cast<int32>(
                std::min<int64_t>(remaining, Chance(0.05) ? 0 : UniformInt(1, kMaxBlock)));
            AutomateRandomly(frames);
            FillInput(frames, silent ? 0.0 : level);
            const double ns = ProcessTimed(frames);
            const int group = Oversampled() ? 1 : 0;
            if (frames >= kTimedMinFrames && !bypassed)
                (silent ? times.silence : times.signal)[group].push_back(ns / frames);
            if (frames >= kSteadyMinFrames && !bypassed && framesSinceUpset > rate)
                times.steady[group].push_back(ns / frames);
            framesSinceUpset += frames;
            remaining -= frames;
        }
    }

    // Neutral settings, then the delay of the processed output (the lag of
    // the cross-correlation peak with the input) and of the bypassed output
    // (exact copy) must both equal the latency the host was last told.
    void CheckLatency() {
        changes.Clear();
        changes.Add(kHpf, 0, 0.0);
        for (ParamID level : {ParamID{2}, ParamID{4}, ParamID{6}, ParamID{7}})
            changes.Add(level, 0, kLevelZeroDb);
        changes.Add(kGain, 0, kGainZeroDb);
        changes.Add(kBypassId, 0, 0.0);
        bypassed = false;
        Flush();
        // Let glides, a crossfade and the resampler FIFO settle, and the idle
        // timer report a latency change.
        RunNoise(8192, nullptr);
        const int64_t reported = instance.Processor()->getLatencySamples();

        constexpr int kMaxLag = 4096;
        constexpr int kProbe = 16384;
        std::vector<double> input, output;
        RunNoise(kProbe + kMaxLag, &input, &output);
        int bestLag = -1;
        double best = -1.0;
        for (int lag = 0; lag <= kMaxLag; ++lag) {
            double sum = 0.0;
            for (int i = 0; i < kProbe; ++i)
                sum += input[i] * output[i + lag];
            if (sum > best) {
                best = sum;
                bestLag = lag;
            }
        }
        EXPECT_NEAR(bestLag, reported, 1.0)
            << Trail() << "processed delay vs reported latency; reset " << resets
            << ", oversampled " << Oversampled();

        changes.Clear();
        changes.Add(kBypassId, 0, 1.0);
        Flush();
        RunNoise(static_cast<int>(reported) + 2048, &input, &output);
        // From the end of the 256-sample fade into bypass on.
        for (std::size_t i = 255; i < input.size(); ++i) {
            ASSERT_EQ(output[i], input[i - static_cast<std::size_t>(reported)])
                << "bypass delay vs reported latency " << reported << " at " << i;
        }
        changes.Clear();
        changes.Add(kBypassId, 0, 0.0);
        Flush();
        ++latencyChecks;
        maxLatency = std::max(maxLatency, reported);
    }

    bool Oversampled() const { return offline || oversampling; }

    int resets = 0;
    int latencyChecks = 0;
    int64_t maxLatency = 0;
    int64_t nonFinite = 0;
    int64_t subnormal = 0;

private:
    // The last few events, for the message of a failed latency check.
    void Note(const std::string& event) {
        trail[trailNext % kTrail] = event;
        ++trailNext;
    }
    std::string Trail() const {
        std::string text = "recent events:\n";
        for (std::size_t i = trailNext > kTrail ? trailNext - kTrail : 0; i < trailNext; ++i)
            text += "  " + trail[i % kTrail] + "\n";
        return text;
    }

    bool Chance(double p) { return std::bernoulli_distribution(p)(random); }
    double Uniform(double a, double b) {
        return std::uniform_real_distribution<double>(a, b)(random);
    }
    int32 UniformInt(int32 a, int32 b) {
        return std::uniform_int_distribution<int32>(a, b)(random);
    }

    void AutomateRandomly(int32 frames) {
        for (ParamID id = 0; id < static_cast<ParamID>(kParamCount); ++id) {
            if (id == kOversampling || !Chance(0.3))
                continue;
            const int points = UniformInt(1, 3);
            for (int p = 0; p < points; ++p)
                changes.Add(id, frames > 0 ? UniformInt(0, frames - 1) : 0, Uniform(0.0, 1.0));
        }
        if (Chance(0.01)) {
            oversampling = !oversampling;
            changes.Add(kOversampling, 0, oversampling ? 1.0 : 0.0);
            Note(std::string("oversampling ") + (oversampling ? "on" : "off") + " in a block of " +
                 std::to_string(frames));
            framesSinceUpset = 0;
        }
        if (Chance(0.005)) {
            bypassed = !bypassed;
            changes.Add(kBypassId, 0, bypassed ? 1.0 : 0.0);
            Note(std::string("bypass ") + (bypassed ? "on" : "off"));
        }
    }

    void FillInput(int32 frames, double level) {
        for (int ch = 0; ch < 2; ++ch) {
            for (int32 i = 0; i < frames; ++i) {
                const double s = level * Uniform(-1.0, 1.0);
                in64[ch][i] = s;
                in32[ch][i] = static_cast<float>(s);
            }
        }
    }

    double ProcessTimed(int32 frames) {
        double* in[] = {in64[0].data(), in64[1].data()};
        double* out[] = {out64[0].data(), out64[1].data()};
        float* in32p[] = {in32[0].data(), in32[1].data()};
        float* out32p[] = {out32[0].data(), out32[1].data()};
        const auto start = std::chrono::steady_clock::now();
        const tresult result = sampleSize == kSample64
                                   ? instance.Process(in, 2, out, 2, frames, &changes)
                                   : instance.Process(in32p, 2, out32p, 2, frames, &changes);
        const auto stop = std::chrono::steady_clock::now();
        EXPECT_EQ(result, kResultOk);
        CheckOutput(frames);
        AdvanceClock(frames);
        return std::chrono::duration<double, std::nano>(stop - start).count();
    }

    void CheckOutput(int32 frames) {
        for (int ch = 0; ch < 2; ++ch) {
            for (int32 i = 0; i < frames; ++i) {
                const double s = sampleSize == kSample64 ? out64[ch][i] : out32[ch][i];
                nonFinite += std::isfinite(s) ? 0 : 1;
                subnormal += std::fpclassify(s) == FP_SUBNORMAL ? 1 : 0;
            }
        }
    }

    // The fake run loop follows the audio clock, so the idle timer reports
    // latency changes as often as it would in a host playing in real time.
    void AdvanceClock(int32 frames) {
        pendingMs += 1000.0 * frames / rate;
        if (pendingMs >= 20.0) {
            const auto whole = static_cast<uint64_t>(pendingMs);
            context.RunLoop().AdvanceMs(whole);
            pendingMs -= static_cast<double>(whole);
        }
    }

    void Flush() {
        ProcessTimed(0);
        context.RunLoop().AdvanceMs(20);
    }

    // Noise through the current settings in blocks of 256; the left channel's
    // input and output are appended to the vectors given.
    void RunNoise(int frames, std::vector<double>* input, std::vector<double>* output = nullptr) {
        if (input != nullptr)
            input->clear();
        if (output != nullptr)
            output->clear();
        while (frames > 0 && !::testing::Test::HasFatalFailure()) {
            changes.Clear();
            const int32 block = std::min(frames, 256);
            FillInput(block, 0.5);
            ProcessTimed(block);
            for (int32 i = 0; i < block; ++i) {
                if (input != nullptr)
                    input->push_back(sampleSize == kSample64 ? in64[0][i] : in32[0][i]);
                if (output != nullptr)
                    output->push_back(sampleSize == kSample64 ? out64[0][i] : out32[0][i]);
            }
            frames -= block;
        }
        context.RunLoop().AdvanceMs(20);
    }

    vst3host::PluginInstance& instance;
    vst3host::HostContext& context;
    double rate;
    std::mt19937_64 random;
    vst3host::ParameterChanges changes;
    std::vector<double> in64[2], out64[2];
    std::vector<float> in32[2], out32[2];
    int32 sampleSize = kSample64;
    bool offline = false;
    bool oversampling = false;
    bool bypassed = false;
    double pendingMs = 0.0;
    int64_t framesSinceUpset = 0;
    static constexpr std::size_t kTrail = 8;
    std::string trail[kTrail];
    std::size_t trailNext = 0;
};

class Soak : public EqualizerModule, public ::testing::WithParamInterface<double> {};

TEST_P(Soak, RandomSessionStaysFiniteFastAndAligned) {
    const SoakSettings settings = Settings();
    const double rate = GetParam();
    auto instance = Make();
    ASSERT_TRUE(instance);
    Session session(*instance, *context, rate, settings.seed + static_cast<uint64_t>(rate));
    BlockTimes times;

    // Stretches of 0.2 to 2 s of signal or 0.8 to 8 s of silence; a reset or a
    // latency check every few seconds.
    std::mt19937_64 plan(settings.seed);
    double elapsed = 0.0;
    double sinceCheck = 1e9;
    session.Reset();
    while (elapsed < settings.secondsPerRate && !HasFatalFailure()) {
        if (sinceCheck > 3.0) {
            if (std::bernoulli_distribution(0.7)(plan))
                session.Reset();
            session.CheckLatency();
            sinceCheck = 0.0;
        }
        // Silence lasts longer: the slowest sections need seconds to decay
        // into the subnormal range.
        const bool silent = std::bernoulli_distribution(0.4)(plan);
        const double seconds =
            std::uniform_real_distribution<double>(0.2, 2.0)(plan) * (silent ? 4.0 : 1.0);
        session.RandomStretch(seconds, silent, times);
        elapsed += seconds;
        sinceCheck += seconds;
    }
    ASSERT_FALSE(HasFatalFailure()) << "seed " << settings.seed;

    EXPECT_EQ(session.nonFinite, 0) << "seed " << settings.seed;
    // The processor flushes denormals for each block; a subnormal in the
    // output means arithmetic ran on them.
    EXPECT_EQ(session.subnormal, 0) << "seed " << settings.seed;
    EXPECT_GE(session.latencyChecks, 1);

    std::printf("soak %.0f Hz: %.0f s of audio, %d resets, %d latency checks (up to %lld "
                "samples)\n",
                rate, elapsed, session.resets, session.latencyChecks,
                static_cast<long long>(session.maxLatency));
    for (int group = 0; group < 2; ++group) {
        const double signal = Median(times.signal[group]);
        const double silence = Median(times.silence[group]);
        std::printf("  %s: median ns/frame %.1f with signal (%zu blocks), %.1f in silence (%zu)\n",
                    group == 1 ? "oversampled" : "plain", signal, times.signal[group].size(),
                    silence, times.silence[group].size());
        if (times.signal[group].size() < 50 || times.silence[group].size() < 50)
            continue;
        // Denormal arithmetic costs tens of times the normal; medians
        // survive the odd preempted block on a busy machine.
        EXPECT_LT(silence, 3.0 * signal + 50.0)
            << "ns/frame in silence vs signal, oversampled " << group;
        if (settings.longRun) {
            // Meant for a quiet machine: one block in a thousand may be
            // preempted; arithmetic on subnormals would slow whole stretches
            // by tens of times.
            const double median = Median(times.steady[group]);
            std::printf(
                "  steady blocks: median %.1f, 99th percentile %.1f, 99.9th %.1f ns/frame\n",
                median, Quantile(times.steady[group], 0.99), Quantile(times.steady[group], 0.999));
            EXPECT_LT(Quantile(times.steady[group], 0.999), 50.0 * median)
                << "slowest blocks vs median, oversampled " << group;
        }
    }
}

// Found by the soak: switches made faster than the idle timer ticks must
// leave the latency of the last one reported, not of the first.
TEST_F(EqualizerModule, SwitchesBetweenIdleTicksReportTheLastLatency) {
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = kSample64;
    config.maxBlockFrames = 256;
    auto instance = MakeRunning(config);
    ASSERT_TRUE(instance);
    const auto noise = Noise(256, 0.3, 2);
    std::vector<double> left = noise, right = noise, outLeft(256), outRight(256);
    double* in[] = {left.data(), right.data()};
    double* out[] = {outLeft.data(), outRight.data()};
    const auto switchTo = [&](bool on) {
        vst3host::ParameterChanges changes;
        changes.Add(kOversampling, 0, on ? 1.0 : 0.0);
        instance->Process(in, 2, out, 2, 256, &changes);
    };

    switchTo(true);
    context->RunLoop().AdvanceMs(20);
    const uint32 oversampledLatency = instance->Processor()->getLatencySamples();
    ASSERT_GT(oversampledLatency, 0u);

    switchTo(false);
    switchTo(true);
    context->RunLoop().AdvanceMs(20);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), oversampledLatency);

    switchTo(false);
    switchTo(true);
    switchTo(false);
    context->RunLoop().AdvanceMs(20);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, Soak, ::testing::Values(44100.0, 96000.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                             return std::to_string(static_cast<int>(info.param)) + "Hz";
                         });

} // namespace
