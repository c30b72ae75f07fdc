// The processing bridge through IAudioProcessor: set-up, buffers of both
// sample sizes, parameter queues, bypass, transport, latency reports and the
// real-time rules of the process call.

#include "BindingFixture.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"

#include "plugin/vst3/HostParameters.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <thread>
#include <vector>

namespace {

using namespace binding_test;
using plugin::vst3::kBypassParamId;

using BindingSetUp = BindingFixture;
using BindingAudio = BindingFixture;
using BindingAutomation = BindingFixture;
using BindingTransport = BindingFixture;

// A deterministic test signal, different per channel.
template <typename Sample> std::vector<Sample> Ramp(int32 frames, double scale) {
    std::vector<Sample> samples(static_cast<std::size_t>(frames));
    for (int32 i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] = static_cast<Sample>(scale * std::sin(0.05 * i));
    return samples;
}

TEST_F(BindingSetUp, RefusesWhatItCannotProcess) {
    EXPECT_EQ(SetUp(2, 48000.0, 512), kResultFalse);
    EXPECT_EQ(SetUp(kSample32, 0.0, 512), kResultFalse);
    EXPECT_EQ(SetUp(kSample32, std::nan(""), 512), kResultFalse);
    EXPECT_EQ(SetUp(kSample32, 48000.0, -1), kResultFalse);
    EXPECT_EQ(plugin->resets.load(), 0);
    for (double rate : {44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0}) {
        ASSERT_EQ(SetUp(kSample64, rate, 1024), kResultOk);
        EXPECT_EQ(plugin->SampleRate(), rate);
        EXPECT_EQ(plugin->BlockSize(), 1024);
    }
    EXPECT_EQ(plugin->resets.load(), 6);
}

TEST_F(BindingSetUp, OfflineModeIsKnownWhenTheResetRuns) {
    ASSERT_EQ(SetUp(kSample32, 48000.0, 512, kOffline), kResultOk);
    EXPECT_TRUE(plugin->offlineAtLastReset.load());
    ASSERT_EQ(SetUp(kSample32, 48000.0, 512, kRealtime), kResultOk);
    EXPECT_FALSE(plugin->offlineAtLastReset.load());
}

TEST_F(BindingSetUp, StoppingProcessingResetsStartingDoesNot) {
    Start();
    const int32 afterStart = plugin->resets.load();
    ASSERT_EQ(processor->setProcessing(false), kResultOk);
    EXPECT_EQ(plugin->resets.load(), afterStart + 1);
    ASSERT_EQ(processor->setProcessing(true), kResultOk);
    EXPECT_EQ(plugin->resets.load(), afterStart + 1);
    ASSERT_EQ(component->setActive(false), kResultOk);
}

// Hosts may stop processing from their audio thread, which must not wait for
// an idle tick: the reset then comes with the next process call.
TEST_F(BindingSetUp, StoppingDuringAnIdleTickResetsAtTheNextProcessCall) {
    Start(kSample32, 48000.0, 64);
    const int32 before = plugin->resets.load();
    std::promise<void> held, stopped;
    std::thread tick([&] {
        const auto lock = plugin->LockOutIdleTick();
        held.set_value();
        stopped.get_future().wait();
    });
    held.get_future().wait();
    EXPECT_EQ(processor->setProcessing(false), kResultOk);
    EXPECT_EQ(processor->setProcessing(true), kResultOk);
    stopped.set_value();
    tick.join();
    EXPECT_EQ(plugin->resets.load(), before);
    std::vector<float> left(64, 0.5f), right(64, 0.5f), outLeft(64), outRight(64);
    float* in[] = {left.data(), right.data()};
    float* out[] = {outLeft.data(), outRight.data()};
    ASSERT_EQ(Process(in, out, 2, 64), kResultOk);
    EXPECT_EQ(plugin->resets.load(), before + 1);
    ASSERT_EQ(Process(in, out, 2, 64), kResultOk);
    EXPECT_EQ(plugin->resets.load(), before + 1);
}

TEST_F(BindingSetUp, LatencyChangesOnTheUiThreadAreReportedAtOnce) {
    plugin->ChangeLatency(300);
    EXPECT_EQ(processor->getLatencySamples(), 300u);
    ASSERT_EQ(handler->Count(vst3host::HandlerCall::Kind::RestartComponent), 1u);
    EXPECT_EQ(handler->RestartFlags(), kLatencyChanged);
}

TEST_F(BindingAudio, Float32AndFloat64OutputsMatchTheHandComputedResult) {
    for (int32 sampleSize : {kSample32, kSample64}) {
        Start(sampleSize, 48000.0, 256);
        for (int32 frames : {1, 13, 64, 255, 256, 7}) {
            if (sampleSize == kSample32) {
                auto left = Ramp<float>(frames, 0.5), right = Ramp<float>(frames, -0.25);
                const auto leftCopy = left, rightCopy = right;
                std::vector<float> outLeft(static_cast<std::size_t>(frames), 9.0f);
                std::vector<float> outRight(outLeft);
                float* in[] = {left.data(), right.data()};
                float* out[] = {outLeft.data(), outRight.data()};
                ASSERT_EQ(Process(in, out, 2, frames), kResultOk);
                EXPECT_EQ(left, leftCopy);
                EXPECT_EQ(right, rightCopy);
                for (int32 i = 0; i < frames; ++i) {
                    EXPECT_EQ(outLeft[i], 2.0f * leftCopy[i]);
                    EXPECT_EQ(outRight[i], 2.0f * rightCopy[i]);
                }
            } else {
                auto left = Ramp<double>(frames, 0.5), right = Ramp<double>(frames, -0.25);
                const auto leftCopy = left, rightCopy = right;
                std::vector<double> outLeft(static_cast<std::size_t>(frames), 9.0);
                std::vector<double> outRight(outLeft);
                double* in[] = {left.data(), right.data()};
                double* out[] = {outLeft.data(), outRight.data()};
                ASSERT_EQ(Process(in, out, 2, frames), kResultOk);
                EXPECT_EQ(left, leftCopy);
                for (int32 i = 0; i < frames; ++i)
                    EXPECT_EQ(outRight[i], 2.0 * rightCopy[i]);
            }
        }
        processor->setProcessing(false);
        component->setActive(false);
    }
}

TEST_F(BindingAudio, InPlaceProcessingWorks) {
    Start(kSample32);
    auto left = Ramp<float>(32, 0.5), right = Ramp<float>(32, 0.1);
    const auto leftCopy = left;
    float* io[] = {left.data(), right.data()};
    ASSERT_EQ(Process(io, io, 2, 32), kResultOk);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(left[i], 2.0f * leftCopy[i]);
}

TEST_F(BindingAudio, ContractBreakingCallsNeverCrashNorWriteStrayData) {
    Start(kSample32, 48000.0, 64);
    // More frames than set up: silence.
    std::vector<float> in(128, 0.5f), out(128, 9.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    ASSERT_EQ(Process(ins, outs, 2, 128), kResultOk);
    for (float sample : out)
        EXPECT_EQ(sample, 0.0f);

    // Null channel arrays and null channels: inputs read as silence.
    std::fill(out.begin(), out.end(), 9.0f);
    ASSERT_EQ(Process<float>(nullptr, outs, 2, 64), kResultOk);
    EXPECT_EQ(out[0], 0.0f);
    float* nullChannels[] = {nullptr, nullptr};
    ASSERT_EQ(Process(nullChannels, nullChannels, 2, 64), kResultOk);
    AudioBusBuffers noArrays[2] = {};
    noArrays[0].numChannels = 2;
    noArrays[1].numChannels = 2;
    ProcessData data{};
    data.symbolicSampleSize = kSample32;
    data.numSamples = 64;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &noArrays[0];
    data.outputs = &noArrays[1];
    EXPECT_EQ(processor->process(data), kResultOk);

    // A sample size other than the set-up's: buffers untouched.
    std::vector<double> wide(64, 1.0), wideOut(64, 9.0);
    double* wideIn[] = {wide.data(), wide.data()};
    double* wideOuts[] = {wideOut.data(), wideOut.data()};
    ASSERT_EQ(Process(wideIn, wideOuts, 2, 64), kResultOk);
    EXPECT_EQ(wideOut[0], 9.0);

    // More channels than the plug-in has: the extra ones are ignored.
    float* many[] = {in.data(), in.data(), in.data(), in.data()};
    float* manyOut[] = {out.data(), out.data(), out.data(), out.data()};
    EXPECT_EQ(Process(many, manyOut, 4, 64), kResultOk);
}

TEST_F(BindingAudio, ADeactivatedOutputBusIsLeftUntouched) {
    ASSERT_EQ(component->activateBus(kAudio, kOutput, 0, false), kResultOk);
    Start(kSample32);
    std::vector<float> in(32, 0.5f), out(32, 9.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    ASSERT_EQ(Process(ins, outs, 2, 32), kResultOk);
    EXPECT_EQ(plugin->renderCalls.load(), 1);
    for (float sample : out)
        EXPECT_EQ(sample, 9.0f);
}

TEST_F(BindingAudio, MonoProcessesOneChannel) {
    SpeakerArrangement mono = SpeakerArr::kMono;
    ASSERT_EQ(processor->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    Start(kSample64);
    auto in = Ramp<double>(40, 0.7);
    std::vector<double> out(40, 9.0);
    double* ins[] = {in.data()};
    double* outs[] = {out.data()};
    ASSERT_EQ(Process(ins, outs, 1, 40), kResultOk);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(out[i], 2.0 * in[i]);
}

TEST_F(BindingAudio, ProcessCallsDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    Start(kSample32, 48000.0, 512);
    vst3host::ParameterChanges changes;
    std::vector<float> in(512, 0.25f), out(512, 0.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    Process(ins, outs, 2, 512); // first call outside the count
    testing_support::AllocationCounter counter;
    for (int32 frames : {512, 1, 100, 511}) {
        changes.Clear();
        changes.Add(kGain, 0, 0.3);
        changes.Add(kBypassParamId, frames - 1, frames == 100 ? 1.0 : 0.0);
        Process(ins, outs, 2, frames, &changes);
    }
    Flush(&changes);
    EXPECT_EQ(counter.Count(), 0u);
}

TEST_F(BindingAutomation, OnlyTheLastPointOfEachQueueIsApplied) {
    Start();
    vst3host::ParameterChanges changes;
    changes.Add(kGain, 0, 0.1);
    changes.Add(kGain, 64, 0.5);
    changes.Add(kGain, 128, 0.9);
    changes.Add(777, 0, 0.5);                          // unknown: ignored
    changes.Add(plugin::vst3::kPresetParamId, 0, 1.0); // only through the controller
    std::vector<float> in(256, 0.0f), out(256, 0.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    ASSERT_EQ(Process(ins, outs, 2, 256, &changes), kResultOk);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kGain)->CurrentValue(), -20.0 + 0.9 * 30.0);
    EXPECT_EQ(plugin->hostChanges.load(), 1);
    EXPECT_EQ(plugin->lastHostIndex.load(), kGain);
    EXPECT_EQ(plugin->lastHostOffset.load(), 128);
    EXPECT_TRUE(plugin->hostChangeOnAudioThread.load());
    EXPECT_EQ(plugin->CurrentPresetIndex(), 0);
    // Changes through process are not copied into the controller's values.
    EXPECT_NEAR(controller->getParamNormalized(kGain), 20.0 / 30.0, 1e-12);
}

TEST_F(BindingAutomation, AFlushAppliesChangesAndTouchesNoBuffer) {
    // The render hook sees the flush with no frames, so that what the
    // changes set in motion (a plug-in's pending switch) is taken in.
    Start();
    vst3host::ParameterChanges changes;
    changes.Add(kDrive, 0, 0.25);
    ASSERT_EQ(Flush(&changes), kResultOk);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kDrive)->CurrentValue(), 25.0);
    EXPECT_EQ(plugin->renderCalls.load(), 1);

    std::vector<float> in(8, 1.0f), out(8, 9.0f);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {out.data(), out.data()};
    ASSERT_EQ(Process(ins, outs, 2, 0, &changes), kResultOk);
    EXPECT_EQ(out[0], 9.0f);
    EXPECT_EQ(plugin->renderCalls.load(), 2);
}

TEST_F(BindingAutomation, BypassAboveOneHalfPassesTheInputThrough) {
    Start(kSample64);
    vst3host::ParameterChanges changes;
    auto in = Ramp<double>(50, 0.3);
    std::vector<double> out(50, 0.0);
    double* ins[] = {in.data(), in.data()};
    double* outs[] = {out.data(), out.data()};

    changes.Add(kBypassParamId, 0, 0.5);
    Process(ins, outs, 2, 50, &changes);
    EXPECT_FALSE(plugin->IsBypassed());
    EXPECT_EQ(out[10], 2.0 * in[10]);

    changes.Clear();
    changes.Add(kBypassParamId, 0, 0.5000001);
    Process(ins, outs, 2, 50, &changes);
    EXPECT_TRUE(plugin->IsBypassed());
    EXPECT_EQ(ReadInt32(GetState(), 8 * kParamCount), 1);
    // A linear fade from the processed output (twice the input) to the
    // input over 256 samples, then the input alone.
    for (int i = 0; i < 50; ++i) {
        const double a = (i + 1) / 256.0;
        EXPECT_DOUBLE_EQ(out[i], (1.0 - a) * 2.0 * in[i] + a * in[i]) << i;
    }
    for (int block = 0; block < 6; ++block) // to sample 350, past the fade
        Process(ins, outs, 2, 50);
    EXPECT_EQ(out, in);
}

TEST_F(BindingAutomation, BypassedOutputIsDelayedByTheReportedLatency) {
    constexpr int32 kLatency = 37;
    plugin->ChangeLatency(kLatency);
    Start(kSample64, 48000.0, 128);
    vst3host::ParameterChanges changes;
    changes.Add(kBypassParamId, 0, 1.0);
    std::vector<double> all;
    std::vector<double> signal = Ramp<double>(300, 0.8);
    for (int32 start = 0; start < 300; start += 100) {
        std::vector<double> in(signal.begin() + start, signal.begin() + start + 100);
        std::vector<double> out(100, 9.0);
        double* ins[] = {in.data(), in.data()};
        double* outs[] = {out.data(), out.data()};
        Process(ins, outs, 2, 100, start == 0 ? &changes : nullptr);
        all.insert(all.end(), out.begin(), out.end());
    }
    ASSERT_EQ(processor->getLatencySamples(), static_cast<uint32>(kLatency));
    // Through the fade the processed output (twice the input) gives way to
    // the delayed input; after it, the delayed input alone.
    for (int32 i = 0; i < 300; ++i) {
        const double delayed = i < kLatency ? 0.0 : signal[i - kLatency];
        const double a = std::min(i + 1, 256) / 256.0;
        if (i + 1 < 256)
            EXPECT_DOUBLE_EQ(all[i], (1.0 - a) * 2.0 * signal[i] + a * delayed) << i;
        else
            EXPECT_EQ(all[i], delayed) << i;
    }
}

TEST_F(BindingTransport, ContextIsKeptUntilTheHostSendsANewOne) {
    Start();
    std::vector<float> buffer(16, 0.0f);
    float* io[] = {buffer.data(), buffer.data()};
    Process(io, io, 2, 16);
    EXPECT_EQ(plugin->Transport().tempo, 0.0);
    EXPECT_EQ(plugin->Transport().samplePos, -1.0);
    EXPECT_EQ(plugin->Transport().numerator, 0);
    EXPECT_EQ(plugin->Transport().denominator, 0);

    ProcessContext hostContext{};
    hostContext.state = ProcessContext::kPlaying | ProcessContext::kTempoValid;
    hostContext.tempo = 133.0;
    hostContext.projectTimeSamples = 4800;
    hostContext.projectTimeMusic = 2.5;
    hostContext.timeSigNumerator = 7;
    hostContext.timeSigDenominator = 8;
    Process(io, io, 2, 16, nullptr, &hostContext);
    EXPECT_EQ(plugin->Transport().tempo, 133.0);
    EXPECT_EQ(plugin->Transport().samplePos, -1.0); // music time not flagged valid
    EXPECT_EQ(plugin->Transport().ppqPos, 2.5);
    EXPECT_TRUE(plugin->Transport().transportRunning);
    EXPECT_FALSE(plugin->Transport().loopEnabled);

    hostContext.state |= ProcessContext::kProjectTimeMusicValid | ProcessContext::kCycleActive;
    Process(io, io, 2, 16, nullptr, &hostContext);
    EXPECT_EQ(plugin->Transport().samplePos, 4800.0);
    EXPECT_TRUE(plugin->Transport().loopEnabled);

    Process(io, io, 2, 16);
    EXPECT_EQ(plugin->Transport().tempo, 133.0);
    EXPECT_EQ(plugin->Transport().numerator, 7);
    EXPECT_EQ(plugin->Transport().denominator, 8);
}

} // namespace
