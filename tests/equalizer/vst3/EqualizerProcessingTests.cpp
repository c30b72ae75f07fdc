// "Lumaro EQ.vst3" processing as a host drives it: set-up at the common
// rates, block cutting, flushes, bus layouts, automation, bypass, latency
// reports and offline rendering, all through the real module.

#include "EqualizerModule.h"

#include <cmath>

namespace {

using namespace eq_module;

using Processing = EqualizerModule;
using Automation = EqualizerModule;
using Latency = EqualizerModule;

vst3host::ProcessConfig Config64(double rate = 48000.0, int32 maxBlock = 512) {
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = kSample64;
    config.sampleRate = rate;
    config.maxBlockFrames = maxBlock;
    return config;
}

bool AllFinite(const std::vector<double>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](double s) { return std::isfinite(s); });
}

// The EQ with a few bands in use, through the controller.
void ShapeTheSound(vst3host::PluginInstance& instance) {
    IEditController* controller = instance.Controller();
    controller->setParamNormalized(kHpf, 0.6);
    controller->setParamNormalized(kLoShelfLevel, 0.8);
    controller->setParamNormalized(kMid1Freq, 0.2);
    controller->setParamNormalized(4, 0.3);
    controller->setParamNormalized(kHiShelfLevel, 0.65);
    controller->setParamNormalized(kGain, 0.5);
}

TEST_F(Processing, EveryCommonRateProcessesFiniteNonSilentAudio) {
    for (double rate : {44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0}) {
        auto instance = MakeRunning(Config64(rate, 512));
        ASSERT_TRUE(instance) << rate;
        ShapeTheSound(*instance);
        const auto output = Run64(*instance, Noise(4096, 0.5, 3), {512});
        EXPECT_TRUE(AllFinite(output)) << rate;
        double energy = 0.0;
        for (double s : output)
            energy += s * s;
        EXPECT_GT(energy, 1.0) << rate;
    }
}

TEST_F(Processing, OutputDoesNotDependOnHowTheHostCutsBlocks) {
    const auto input = Noise(6000, 0.8, 11);
    auto whole = MakeRunning(Config64(48000.0, 512));
    auto varied = MakeRunning(Config64(48000.0, 512));
    ASSERT_TRUE(whole && varied);
    ShapeTheSound(*whole);
    ShapeTheSound(*varied);
    const auto reference = Run64(*whole, input, {512});
    const auto cut = Run64(*varied, input, {1, 13, 512, 64, 2, 511, 100, 7, 256, 3});
    ASSERT_EQ(reference.size(), cut.size());
    for (std::size_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(reference[i], cut[i]) << i;
}

TEST_F(Processing, SilenceInGivesSilenceOut) {
    for (double oversampling : {0.0, 1.0}) {
        auto instance = Make();
        ASSERT_TRUE(instance);
        ShapeTheSound(*instance);
        instance->Controller()->setParamNormalized(kOversampling, oversampling);
        ASSERT_EQ(instance->SetupProcessing(Config64()), kResultOk);
        instance->SetActive(true);
        instance->SetProcessing(true);
        const auto output = Run64(*instance, std::vector<double>(3000, 0.0), {256, 77});
        for (double s : output)
            ASSERT_EQ(s, 0.0) << "oversampling " << oversampling;
    }
}

TEST_F(Processing, InputsAreNeverWrittenOutOfPlace) {
    for (int32 sampleSize : {kSample32, kSample64}) {
        vst3host::ProcessConfig config = Config64();
        config.symbolicSampleSize = sampleSize;
        auto instance = MakeRunning(config);
        ASSERT_TRUE(instance);
        ShapeTheSound(*instance);
        const auto signal = Noise(512, 0.9, 5);
        std::vector<float> left32(signal.begin(), signal.end()), right32 = left32;
        std::vector<double> left64 = signal, right64 = signal;
        std::vector<float> out32(512), out32b(512);
        std::vector<double> out64(512), out64b(512);
        if (sampleSize == kSample32) {
            float* in[] = {left32.data(), right32.data()};
            float* out[] = {out32.data(), out32b.data()};
            instance->Process(in, 2, out, 2, 512);
            EXPECT_EQ(left32, std::vector<float>(signal.begin(), signal.end()));
            EXPECT_EQ(right32, left32);
        } else {
            double* in[] = {left64.data(), right64.data()};
            double* out[] = {out64.data(), out64b.data()};
            instance->Process(in, 2, out, 2, 512);
            EXPECT_EQ(left64, signal);
            EXPECT_EQ(right64, signal);
        }
    }
}

TEST_F(Processing, ThirtyTwoBitMatchesSixtyFourBitUpToTheConversions) {
    auto wide = MakeRunning(Config64());
    vst3host::ProcessConfig config32 = Config64();
    config32.symbolicSampleSize = kSample32;
    auto narrow = MakeRunning(config32);
    ASSERT_TRUE(wide && narrow);
    ShapeTheSound(*wide);
    ShapeTheSound(*narrow);
    const auto noise = Noise(2048, 0.7, 9);
    // The 64-bit host gets exactly the values a 32-bit input can carry.
    std::vector<float> input32(noise.begin(), noise.end());
    const std::vector<double> input64(input32.begin(), input32.end());
    const auto expected = Run64(*wide, input64, {256});
    for (std::size_t start = 0; start < input32.size(); start += 256) {
        std::vector<float> left(input32.begin() + static_cast<std::ptrdiff_t>(start),
                                input32.begin() + static_cast<std::ptrdiff_t>(start + 256));
        std::vector<float> right = left, outLeft(256), outRight(256);
        float* in[] = {left.data(), right.data()};
        float* out[] = {outLeft.data(), outRight.data()};
        narrow->Process(in, 2, out, 2, 256);
        for (std::size_t i = 0; i < 256; ++i)
            ASSERT_EQ(outLeft[i], static_cast<float>(expected[start + i])) << start + i;
    }
}

TEST_F(Processing, MonoAndStereoLayoutsOnlyInPairs) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    IAudioProcessor* processor = instance->Processor();
    SpeakerArrangement mono = SpeakerArr::kMono;
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    EXPECT_EQ(processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
    ASSERT_EQ(processor->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    SpeakerArrangement arrangement = 0;
    processor->getBusArrangement(kOutput, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kMono);

    ASSERT_EQ(instance->SetupProcessing(Config64()), kResultOk);
    instance->SetActive(true);
    instance->SetProcessing(true);
    auto signal = Noise(300, 0.5, 2);
    std::vector<double> out(300, 9.0);
    double* in[] = {signal.data()};
    double* outs[] = {out.data()};
    ASSERT_EQ(instance->Process(in, 1, outs, 1, 300), kResultOk);
    EXPECT_TRUE(AllFinite(out));
    EXPECT_NE(out[100], 9.0);
}

TEST_F(Automation, AFlushAppliesTheLastPointAndTouchesNoBuffer) {
    auto instance = MakeRunning(Config64());
    ASSERT_TRUE(instance);
    vst3host::ParameterChanges changes;
    changes.Add(kGain, 0, 0.1);
    changes.Add(kGain, 64, 0.5);
    changes.Add(kGain, 128, 0.9);
    changes.Add(kLoShelfLevel, 3, 0.0);
    ASSERT_EQ(instance->Process(static_cast<double* const*>(nullptr), 0, nullptr, 0, 0, &changes),
              kResultOk);
    std::vector<uint8_t> bytes;
    instance->GetState(bytes);
    EXPECT_DOUBLE_EQ(ReadDouble(bytes, 8 * kGain), -20.0 + 0.9 * 30.0);
    EXPECT_EQ(ReadDouble(bytes, 8 * kLoShelfLevel), -20.0);
    // The controller's own value is the host's business, not the audio's.
    EXPECT_NEAR(instance->Controller()->getParamNormalized(kGain), 20.0 / 30.0, 1e-12);
}

TEST_F(Automation, FlatChainFollowsItsClosedFormAndTheLastGainPoint) {
    // With every band flat the chain is y = (|gainDb| / 60 + 0.01) sin(x) +
    // exp(gainDb * ln(10) / 20) x for |x| <= 1.
    const auto expected = [](double x, double gainDb) {
        return (std::fabs(gainDb) / 60.0 + 0.01) * std::sin(x) +
               x * std::exp(gainDb * 0.1151292546497);
    };
    auto instance = MakeRunning(Config64());
    ASSERT_TRUE(instance);
    const auto input = Noise(256, 0.9, 4);
    std::vector<double> left = input, right = input, outLeft(256), outRight(256);
    double* in[] = {left.data(), right.data()};
    double* out[] = {outLeft.data(), outRight.data()};
    instance->Process(in, 2, out, 2, 256);
    for (std::size_t i = 0; i < 256; ++i)
        ASSERT_NEAR(outLeft[i], expected(input[i], 0.0), 1e-12) << i;

    vst3host::ParameterChanges changes;
    changes.Add(kGain, 0, 1.0);
    changes.Add(kGain, 255, 0.0); // only this point applies: -20 dB
    instance->Process(in, 2, out, 2, 256, &changes);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_NEAR(outLeft[i], expected(input[i], -20.0), 1e-12) << i;
        ASSERT_EQ(outRight[i], outLeft[i]) << i;
    }
}

TEST_F(Latency, BypassedOutputIsTheInputDelayedByTheReportedLatency) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    instance->Controller()->setParamNormalized(kOversampling, 1.0);
    ASSERT_EQ(instance->SetupProcessing(Config64(48000.0, 256)), kResultOk);
    const auto latency = static_cast<std::size_t>(instance->Processor()->getLatencySamples());
    ASSERT_GT(latency, 0u);
    instance->SetActive(true);
    instance->SetProcessing(true);

    vst3host::ParameterChanges changes;
    changes.Add(kBypassId, 0, 1.0);
    ASSERT_EQ(instance->Process(static_cast<double* const*>(nullptr), 0, nullptr, 0, 0, &changes),
              kResultOk);
    const auto input = Noise(3000, 0.5, 8);
    const auto output = Run64(*instance, input, {256, 100, 31});
    // After the 256-sample fade into bypass.
    for (std::size_t i = 255; i < input.size(); ++i)
        ASSERT_EQ(output[i], i < latency ? 0.0 : input[i - latency]) << i;
}

TEST_F(Latency, OversamplingSwitchIsReportedFromTheIdleTimer) {
    auto instance = MakeRunning(Config64(48000.0, 256));
    ASSERT_TRUE(instance);
    auto& handler = instance->Handler();
    handler.Clear();
    ASSERT_EQ(instance->Processor()->getLatencySamples(), 0u);
    const auto input = Noise(256, 0.3, 1);

    vst3host::ParameterChanges on;
    on.Add(kOversampling, 0, 1.0);
    std::vector<double> left = input, right = input, outLeft(256), outRight(256);
    double* in[] = {left.data(), right.data()};
    double* out[] = {outLeft.data(), outRight.data()};
    instance->Process(in, 2, out, 2, 256, &on);
    // Nothing is reported from the audio thread.
    EXPECT_EQ(handler.Count(vst3host::HandlerCall::Kind::RestartComponent), 0u);
    context->RunLoop().AdvanceMs(20);
    ASSERT_EQ(handler.Count(vst3host::HandlerCall::Kind::RestartComponent), 1u);
    EXPECT_EQ(handler.RestartFlags(), kLatencyChanged);
    const uint32 latency = instance->Processor()->getLatencySamples();
    EXPECT_GT(latency, 0u);
    EXPECT_LT(latency, 48000u);

    vst3host::ParameterChanges off;
    off.Add(kOversampling, 0, 0.0);
    instance->Process(in, 2, out, 2, 256, &off);
    context->RunLoop().AdvanceMs(20);
    EXPECT_EQ(handler.Count(vst3host::HandlerCall::Kind::RestartComponent), 2u);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 0u);
    EXPECT_TRUE(AllFinite(std::vector<double>(outLeft.begin(), outLeft.end())));
}

TEST_F(Latency, BypassAfterASwitchDuringProcessingUsesTheNewLatency) {
    auto instance = MakeRunning(Config64(44100.0, 128));
    ASSERT_TRUE(instance);
    vst3host::ParameterChanges on;
    on.Add(kOversampling, 0, 1.0);
    Run64(*instance, Noise(128, 0.2, 6), {128});
    ASSERT_EQ(instance->Process(static_cast<double* const*>(nullptr), 0, nullptr, 0, 0, &on),
              kResultOk);
    Run64(*instance, Noise(128, 0.2, 7), {128}); // the switch happens in this block
    context->RunLoop().AdvanceMs(20);
    const auto latency = static_cast<std::size_t>(instance->Processor()->getLatencySamples());
    ASSERT_GT(latency, 0u);

    vst3host::ParameterChanges bypass;
    bypass.Add(kBypassId, 0, 1.0);
    instance->Process(static_cast<double* const*>(nullptr), 0, nullptr, 0, 0, &bypass);
    const auto input = Noise(latency + 1000, 0.5, 12);
    const auto output = Run64(*instance, input, {128, 57});
    // After the 256-sample fade the output is the bypassed input, delayed by
    // exactly the reported latency.
    for (std::size_t i = 255; i < input.size(); ++i)
        ASSERT_EQ(output[i], input[i - latency]) << i;
}

TEST_F(Latency, OfflineRenderingForcesOversamplingAtSetUp) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    vst3host::ProcessConfig offline = Config64();
    offline.processMode = kOffline;
    ASSERT_EQ(instance->SetupProcessing(offline), kResultOk);
    const uint32 offlineLatency = instance->Processor()->getLatencySamples();
    EXPECT_GT(offlineLatency, 0u);
    EXPECT_GE(instance->Handler().Count(vst3host::HandlerCall::Kind::RestartComponent), 1u);

    ASSERT_EQ(instance->SetupProcessing(Config64()), kResultOk);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 0u);
    // The switch itself was not changed by the forcing.
    EXPECT_EQ(instance->Controller()->getParamNormalized(kOversampling), 0.0);
}

} // namespace
