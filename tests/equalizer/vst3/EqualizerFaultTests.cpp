// Faults a host or a user met through the real module: a flush that carries
// the oversampling switch, stale audio and clicks at bypass, a NaN that
// silenced a channel for good, offline forcing undone by a parameter.

#include "EqualizerModule.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using namespace eq_module;

using Faults = EqualizerModule;

vst3host::ProcessConfig Config64(int32 processMode = kRealtime) {
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = kSample64;
    config.sampleRate = 48000.0;
    config.maxBlockFrames = 256;
    config.processMode = processMode;
    return config;
}

std::vector<double> Constant(std::size_t count, double value) {
    return std::vector<double>(count, value);
}

void Send(vst3host::PluginInstance& instance, ParamID id, double value) {
    vst3host::ParameterChanges changes;
    changes.Add(id, 0, value);
    ASSERT_EQ(instance.Process(static_cast<double* const*>(nullptr), 0, nullptr, 0, 0, &changes),
              kResultOk);
}

double MaxAbs(const std::vector<double>& samples) {
    double m = 0.0;
    for (double s : samples)
        m = std::max(m, std::fabs(s));
    return m;
}

double MaxStep(const std::vector<double>& samples) {
    double m = 0.0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        m = std::max(m, std::fabs(samples[i] - samples[i - 1]));
    return m;
}

TEST_F(Faults, AFlushCarryingTheSwitchIsReportedAtTheNextIdleTick) {
    auto instance = MakeRunning(Config64());
    ASSERT_TRUE(instance);
    Run64(*instance, Noise(512, 0.3, 1), {256});
    instance->Handler().Clear();
    Send(*instance, kOversampling, 1.0);
    context->RunLoop().AdvanceMs(20);
    EXPECT_EQ(instance->Handler().Count(vst3host::HandlerCall::Kind::RestartComponent), 1u);
    const uint32 latency = instance->Processor()->getLatencySamples();
    EXPECT_GT(latency, 0u);
    // The audio that follows fades into the oversampled path.
    const auto out = Run64(*instance, Constant(2048, 0.5), {256});
    EXPECT_NEAR(out.back(), 0.5 + 0.01 * std::sin(0.5), 1e-9);
}

TEST_F(Faults, BypassPlaysNoAudioFromBeforeTheSwitchEitherWay) {
    auto instance = MakeRunning(Config64());
    ASSERT_TRUE(instance);
    Send(*instance, kOversampling, 1.0);
    Run64(*instance, Constant(2048, 0.0), {256});
    context->RunLoop().AdvanceMs(40); // the latency reaches the host and the delay line
    ASSERT_GT(instance->Processor()->getLatencySamples(), 0u);

    // An earlier bypass of a loud passage...
    Send(*instance, kBypassId, 1.0);
    Run64(*instance, Constant(4096, 0.3), {256});
    Send(*instance, kBypassId, 0.0);
    // ...must not come back when bypass is engaged on a quiet one.
    Run64(*instance, Constant(40 * 256, 0.1), {256});
    Send(*instance, kBypassId, 1.0);
    const auto engaged = Run64(*instance, Constant(4096, 0.1), {256});
    EXPECT_LT(MaxAbs(engaged), 0.11);
    EXPECT_EQ(engaged.back(), 0.1); // the input itself, delayed

    // Processed audio from before a bypass must not come back at release.
    Send(*instance, kBypassId, 0.0);
    Run64(*instance, Constant(4096, 0.5), {256});
    Send(*instance, kBypassId, 1.0);
    Run64(*instance, Constant(21 * 256, 0.0), {256});
    Send(*instance, kBypassId, 0.0);
    const auto released = Run64(*instance, Constant(4096, 0.0), {256});
    EXPECT_EQ(MaxAbs(released), 0.0);
}

TEST_F(Faults, BypassFadesBothWaysWithoutAClick) {
    // A sustained tone boosted by 10 dB: a hard switch to the dry tone near a
    // crest would step by two thirds of its amplitude. One continuous tone,
    // cut so that both switches fall a quarter period after a zero crossing.
    auto instance = MakeRunning(Config64());
    ASSERT_TRUE(instance);
    Send(*instance, kGain, 1.0);
    Send(*instance, kOversampling, 1.0);
    std::vector<double> tone(3 * 48000);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.25 * std::sin(2.0 * M_PI * 220.0 * static_cast<double>(i) / 48000.0);
    const auto part = [&tone](std::size_t from, std::size_t length) {
        return std::vector<double>(tone.begin() + static_cast<std::ptrdiff_t>(from),
                                   tone.begin() + static_cast<std::ptrdiff_t>(from + length));
    };
    std::size_t at = 24000 + 55; // 110 periods and a quarter
    const auto steady = Run64(*instance, part(0, at), {256});
    const double normalStep = MaxStep(std::vector<double>(steady.begin() + 4096, steady.end()));
    ASSERT_GT(MaxAbs(steady), 0.7); // the boost is on
    context->RunLoop().AdvanceMs(40);
    ASSERT_GT(instance->Processor()->getLatencySamples(), 0u);
    std::vector<double> before = steady;
    for (const double bypass : {1.0, 0.0}) {
        SCOPED_TRACE(bypass);
        Send(*instance, kBypassId, bypass);
        const auto after = Run64(*instance, part(at, 24000), {100, 256, 7});
        std::vector<double> across(before.end() - 64, before.end());
        across.insert(across.end(), after.begin(), after.end());
        EXPECT_LT(MaxStep(across), 1.05 * normalStep);
        before = after;
        at += 24000;
    }
}

TEST_F(Faults, ANonFiniteInputSampleSilencesNoChannelForGood) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const double oversampling : {0.0, 1.0}) {
        SCOPED_TRACE(oversampling);
        auto instance = MakeRunning(Config64());
        ASSERT_TRUE(instance);
        Send(*instance, kLoShelfLevel, 0.8);
        Send(*instance, kOversampling, oversampling);
        auto input = Noise(256, 0.5, 4);
        input[100] = nan;
        input[101] = std::numeric_limits<double>::infinity();
        Run64(*instance, input, {256});
        const auto after = Run64(*instance, Noise(20 * 256, 0.5, 5), {256});
        EXPECT_TRUE(
            std::all_of(after.begin(), after.end(), [](double s) { return std::isfinite(s); }));
        EXPECT_GT(MaxAbs(after), 0.1);
    }
}

TEST_F(Faults, OfflineRenderingStaysOversampledWhateverTheSwitchSays) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->SetupProcessing(Config64(kOffline)), kResultOk);
    ASSERT_EQ(instance->SetActive(true), kResultOk);
    ASSERT_EQ(instance->SetProcessing(true), kResultOk);
    const uint32 offlineLatency = instance->Processor()->getLatencySamples();
    ASSERT_GT(offlineLatency, 0u);
    // A host resending current values during an export, then the user's
    // change: neither turns the forcing off...
    for (const double value : {0.0, 1.0, 0.0}) {
        Send(*instance, kOversampling, value);
        Run64(*instance, Noise(512, 0.3, 2), {256});
        context->RunLoop().AdvanceMs(40);
        EXPECT_EQ(instance->Processor()->getLatencySamples(), offlineLatency);
    }
    const auto out = Run64(*instance, Constant(1024, 0.5), {256});
    EXPECT_NEAR(out.back(), 0.5 + 0.01 * std::sin(0.5), 1e-9);
    // ...but the last one is what real time gets back, and then on.
    ASSERT_EQ(instance->SetProcessing(false), kResultOk);
    ASSERT_EQ(instance->SetActive(false), kResultOk);
    ASSERT_EQ(instance->SetupProcessing(Config64()), kResultOk);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 0u);
}

} // namespace
