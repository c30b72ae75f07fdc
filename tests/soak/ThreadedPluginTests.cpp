// The equalizer's real threads at once. The audio thread processes without
// pause, with automation, oversampling switches and bypass toggles, while the
// UI thread restores and saves state, edits through the controller, reads the
// latency and runs the idle timer that reports the audio thread's latency
// changes. And, in a host that offers no run loop, the idle timer ticks on a
// thread of its own against the UI thread's set-up, state and reset calls
// and against the instance's release. Built with ThreadSanitizer (label
// "threads") this proves the hand-overs race-free; in every build the output
// stays finite, the end state is the last one restored with the audio
// thread's own changes, and the latency a host reads is the set-up's.

#include "EqualizerModule.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

using namespace eq_module;

using ThreadedPlugin = EqualizerModule;

constexpr int32 kBlock = 256;
#if defined(LUMARO_TSAN)
constexpr int kUiRounds = 60;
#else
constexpr int kUiRounds = 400;
#endif

std::vector<uint8_t> StateWith(double level, double gain, bool oversampling) {
    std::vector<uint8_t> bytes;
    const double values[kParamCount] = {2, 1,         level, 3,    -level,
                                        4, level / 2, -3.0,  gain, oversampling ? 1.0 : 0.0};
    for (double v : values)
        AppendDouble(bytes, v);
    AppendInt32(bytes, 0);
    return bytes;
}

TEST_F(ThreadedPlugin, UiCallsRaceFreeAgainstProcessing) {
    auto instance = MakeRunning([] {
        vst3host::ProcessConfig config;
        config.symbolicSampleSize = kSample64;
        config.maxBlockFrames = kBlock;
        return config;
    }());
    ASSERT_TRUE(instance);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> nonFinite{0};
    std::thread audio([&] {
        const auto noise = Noise(kBlock, 0.5, 4);
        std::vector<double> left = noise, right = noise, outLeft(kBlock), outRight(kBlock);
        double* in[] = {left.data(), right.data()};
        double* out[] = {outLeft.data(), outRight.data()};
        vst3host::ParameterChanges changes;
        for (long b = 0; !stop.load(); ++b) {
            changes.Clear();
            changes.Add(kGain, 0, 0.3 + 0.4 * std::fabs(std::sin(0.01 * b)));
            if (b % 37 == 0)
                changes.Add(kOversampling, 0, (b / 37) % 2 == 0 ? 1.0 : 0.0);
            if (b % 53 == 0)
                changes.Add(kBypassId, 0, (b / 53) % 2 == 0 ? 1.0 : 0.0);
            instance->Process(in, 2, out, 2, kBlock, &changes);
            for (int i = 0; i < kBlock; ++i)
                nonFinite += std::isfinite(outLeft[i]) && std::isfinite(outRight[i]) ? 0 : 1;
            blocks.fetch_add(1);
        }
        // Leave processing with bypass and oversampling off.
        changes.Clear();
        changes.Add(kOversampling, 0, 0.0);
        changes.Add(kBypassId, 0, 0.0);
        instance->Process(in, 2, out, 2, kBlock, &changes);
    });

    std::vector<uint8_t> lastRestored;
    std::vector<uint8_t> saved;
    double lastEditPosition = 0.0;
    for (int round = 0; round < kUiRounds; ++round) {
        lastRestored = StateWith(-10.0 + 0.05 * round, -5.0 + 0.01 * round, round % 3 == 0);
        ASSERT_EQ(instance->SetState(lastRestored), kResultOk);
        ASSERT_EQ(instance->GetState(saved), kResultOk);
        lastEditPosition = 0.001 * round;
        instance->Controller()->setParamNormalized(kLoShelfLevel, lastEditPosition);
        instance->Processor()->getLatencySamples();
        context->RunLoop().AdvanceMs(20);
        // Let the audio thread run a few blocks between UI rounds.
        const long target = blocks.load() + 2;
        while (blocks.load() < target) {
            std::this_thread::yield();
        }
    }
    stop = true;
    audio.join();
    context->RunLoop().AdvanceMs(20);

    EXPECT_EQ(nonFinite.load(), 0);
    // The last state restored is the state saved, except the controller's
    // edit made after it (a -20...+20 dB level at its position) and what the
    // audio thread automates: the gain, and the oversampling switch and bypass
    // it left off.
    ASSERT_EQ(instance->GetState(saved), kResultOk);
    ASSERT_EQ(saved.size(), lastRestored.size());
    for (int i = 0; i < kParamCount; ++i) {
        double expected = ReadDouble(lastRestored, 8 * i);
        if (i == static_cast<int>(kGain))
            continue;
        if (i == static_cast<int>(kOversampling))
            expected = 0.0;
        if (i == static_cast<int>(kLoShelfLevel))
            expected = -20.0 + 40.0 * lastEditPosition;
        EXPECT_NEAR(ReadDouble(saved, 8 * i), expected, 1e-12) << i;
    }
    EXPECT_EQ(ReadInt32(saved, 8 * kParamCount), 0);
}

// Long enough for the idle timer (20 ms) to have ticked at least once.
constexpr auto kTickDue = std::chrono::milliseconds(25);
#if defined(LUMARO_TSAN)
constexpr int kSetUpRounds = 10;
#else
constexpr int kSetUpRounds = 20;
#endif

IPtr<vst3host::HostContext> HostWithoutRunLoop() {
    return owned(new vst3host::HostContext({"Host Without Run Loop", false}));
}

// Realtime rounds switch oversampling while processing, which leaves a
// latency change for the timer's thread to report; offline rounds then set
// up again at once. The latency the offline set-up reported must still be
// the host's reading after the ticks that follow: a tick must neither run
// inside the set-up nor report a change the set-up has superseded.
TEST_F(ThreadedPlugin, IdleTicksOnTheirOwnThreadStayOutOfSetUpStateAndReset) {
    context = HostWithoutRunLoop();
    auto instance = Make();
    ASSERT_TRUE(instance);
    IAudioProcessor* processor = instance->Processor();
    auto spareHandler = owned(new vst3host::RecordingComponentHandler);

    const auto noise = Noise(kBlock, 0.5, 9);
    std::vector<double> left = noise, right = noise, outLeft(kBlock), outRight(kBlock);
    double* in[] = {left.data(), right.data()};
    double* out[] = {outLeft.data(), outRight.data()};
    vst3host::ParameterChanges changes;
    std::vector<uint8_t> saved;

    for (int round = 0; round < kSetUpRounds; ++round) {
        const bool offline = round % 2 == 1;
        ASSERT_EQ(instance->SetState(StateWith(-6.0 + round % 7, -2.0, round % 4 == 0)), kResultOk);
        vst3host::ProcessConfig config;
        config.symbolicSampleSize = kSample64;
        config.maxBlockFrames = kBlock;
        config.processMode = offline ? kOffline : kRealtime;
        ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
        const uint32 setUpLatency = processor->getLatencySamples();
        ASSERT_EQ(instance->SetActive(true), kResultOk);
        ASSERT_EQ(instance->SetProcessing(true), kResultOk);
        for (int block = 0; block < 6; ++block) {
            changes.Clear();
            if (!offline && block % 2 == 0)
                changes.Add(kOversampling, 0, (block / 2 + round) % 2 == 0 ? 1.0 : 0.0);
            ASSERT_EQ(instance->Process(in, 2, out, 2, kBlock, &changes), kResultOk);
        }
        if (round % 5 == 0) {
            // Hosts may hand over another handler at any time.
            IComponentHandler* next = round % 10 == 0
                                          ? static_cast<IComponentHandler*>(spareHandler)
                                          : &instance->Handler();
            instance->Controller()->setComponentHandler(next);
        }
        if (offline) {
            std::this_thread::sleep_for(kTickDue);
            EXPECT_EQ(processor->getLatencySamples(), setUpLatency) << "round " << round;
            EXPECT_GT(setUpLatency, 0u); // offline rendering always oversamples
        }
        ASSERT_EQ(instance->SetProcessing(false), kResultOk);
        ASSERT_EQ(instance->SetActive(false), kResultOk);
        ASSERT_EQ(instance->GetState(saved), kResultOk);
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 7));
    }
    for (float s : {static_cast<float>(outLeft.front()), static_cast<float>(outRight.back())})
        EXPECT_TRUE(std::isfinite(s));
}

// A scanner creates an instance, maybe initialises and sets it up, and
// releases it without terminate, while the timer's thread may be about to
// tick with a latency report waiting. No tick may reach the instance once its
// release has begun, nothing may call the host afterwards, and the handler
// the host gave must be released with it.
TEST_F(ThreadedPlugin, ReleasedWithoutTerminateWhileTicksAreDue) {
    context = HostWithoutRunLoop();
    constexpr int kInstances = 30;
    auto handler = owned(new vst3host::RecordingComponentHandler);
    std::vector<double> left(kBlock, 0.25), right(kBlock, -0.25), outLeft(kBlock), outRight(kBlock);
    double* in[] = {left.data(), right.data()};
    double* out[] = {outLeft.data(), outRight.data()};
    vst3host::ParameterChanges changes;
    changes.Add(kOversampling, 0, 1.0);

    for (int i = 0; i < kInstances; ++i) {
        TUID cid;
        ClassId(cid);
        std::string error;
        auto instance = vst3host::PluginInstance::Create(*module, cid, &error);
        ASSERT_TRUE(instance) << error;
        if (i % 3 != 0) {
            ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
            instance->Controller()->setComponentHandler(handler);
            vst3host::ProcessConfig config;
            config.symbolicSampleSize = kSample64;
            config.maxBlockFrames = kBlock;
            ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
            ASSERT_EQ(instance->SetActive(true), kResultOk);
            ASSERT_EQ(instance->SetProcessing(true), kResultOk);
            // The switch leaves its latency for the next tick to report.
            ASSERT_EQ(instance->Process(in, 2, out, 2, kBlock, &changes), kResultOk);
        }
        // Released at every point of the timer's period, a tick just due.
        std::this_thread::sleep_for(std::chrono::milliseconds(15 + i % 7));
        instance->ReleaseWithoutTeardown();
    }
    const std::size_t callsAtLastRelease = handler->Calls().size();
    std::this_thread::sleep_for(2 * kTickDue);
    EXPECT_EQ(handler->Calls().size(), callsAtLastRelease);
    handler->addRef();
    EXPECT_EQ(handler->release(), 1u) << "a released instance kept the host's handler";
}

} // namespace
