// The equalizer's two real threads at once: the audio thread processes
// without pause, with automation, oversampling switches and bypass toggles,
// while the UI thread restores and saves state, edits through the controller,
// reads the latency and runs the idle timer that reports the audio thread's
// latency changes. Built with ThreadSanitizer (label "threads") this proves
// the hand-overs race-free; in every build the output stays finite and the
// end state is the last one restored, with the audio thread's own changes.

#include "EqualizerModule.h"

#include <atomic>
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

} // namespace
