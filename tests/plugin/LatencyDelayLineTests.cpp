#include "ProcessorTestSupport.h"

#include "AllocationCounter.h"
#include "plugin/AudioThread.h"
#include "plugin/LatencyDelayLine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace {

using plugin::BusDirection;
using plugin::LatencyDelayLine;
using processor_testing::HostBuffers;
using processor_testing::RecordingProcessor;

constexpr BusDirection kIn = BusDirection::Input;
constexpr BusDirection kOut = BusDirection::Output;

// A ramp that is never zero, so a zero in the output can only be delay-line
// silence and any other value tells exactly how far it was delayed.
double Ramp(int64_t n, int channel) {
    return static_cast<double>(n + 1) * (channel + 1);
}

// Expected output of a pure delay by `delay` samples of the ramp.
double Delayed(int64_t n, int channel, int64_t delay) {
    return n < delay ? 0.0 : Ramp(n - delay, channel);
}

// ---- The delay line on its own ----

TEST(LatencyDelayLine, DelaysEveryChannelByItsLengthAcrossOddBlockSizes) {
    LatencyDelayLine line(2, 2, 37);
    EXPECT_EQ(line.Length(), 37);
    EXPECT_EQ(line.Capacity(), 37);

    int64_t n = 0;
    for (int frames : {1, 13, 64, 5, 512, 36, 37, 38}) {
        std::vector<double> a(frames), b(frames);
        for (int i = 0; i < frames; ++i) {
            a[i] = Ramp(n + i, 0);
            b[i] = Ramp(n + i, 1);
        }
        const double* in[2] = {a.data(), b.data()};
        std::vector<double> outA(frames), outB(frames);
        double* out[2] = {outA.data(), outB.data()};
        line.Process(in, out, 2, frames);
        for (int i = 0; i < frames; ++i) {
            ASSERT_EQ(outA[i], Delayed(n + i, 0, 37)) << n + i;
            ASSERT_EQ(outB[i], Delayed(n + i, 1, 37)) << n + i;
        }
        n += frames;
    }
}

TEST(LatencyDelayLine, WorksInPlace) {
    LatencyDelayLine line(1, 1, 3);
    std::vector<double> buffer = {1, 2, 3, 4, 5, 6, 7};
    double* io[1] = {buffer.data()};
    line.Process(io, io, 1, 7);
    EXPECT_EQ(buffer, (std::vector<double>{0, 0, 0, 1, 2, 3, 4}));
}

TEST(LatencyDelayLine, ChannelsBeyondEitherCountAreLeftAlone) {
    LatencyDelayLine line(1, 2, 2); // one input channel, two outputs
    std::vector<double> in0 = {1, 2, 3}, out0(3, 9.0), out1(3, 9.0);
    const double* in[2] = {in0.data(), in0.data()};
    double* out[2] = {out0.data(), out1.data()};
    line.Process(in, out, 2, 3);
    EXPECT_EQ(out0, (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(out1, std::vector<double>(3, 9.0));
}

TEST(LatencyDelayLine, NewLengthRestartsFromSilenceAndStaysWithinCapacity) {
    LatencyDelayLine line(1, 1, 4);
    std::vector<double> buffer = {1, 2, 3, 4, 5, 6};
    double* io[1] = {buffer.data()};
    line.Process(io, io, 1, 6);

    EXPECT_EQ(line.SetLength(2), 2);
    buffer = {10, 20, 30, 40};
    line.Process(io, io, 1, 4);
    EXPECT_EQ(buffer, (std::vector<double>{0, 0, 10, 20}));

    EXPECT_EQ(line.SetLength(50), 4); // beyond the capacity
    EXPECT_EQ(line.SetLength(-3), 0);
    buffer = {7, 8};
    line.Process(io, io, 1, 2);
    EXPECT_EQ(buffer, (std::vector<double>{7, 8})); // length 0 leaves the signal alone

    EXPECT_TRUE(line.Reserve(50));
    EXPECT_EQ(line.Capacity(), 50);
    EXPECT_EQ(line.SetLength(50), 50);
    EXPECT_TRUE(line.Reserve(10)); // never shrinks
    EXPECT_EQ(line.Capacity(), 50);
}

// ---- Bypass through the processor ----

struct BypassRig {
    explicit BypassRig(int32_t latency, int32_t blockFrames = 512) : processor("2-2", latency) {
        processor.ResizeBlockBuffers(blockFrames);
        processor.MarkChannelsConnected(kIn, 0, 2, true);
        processor.MarkChannelsConnected(kOut, 0, 2, true);
    }

    // Runs one bypassed 64-bit block of the ramp, in place as many hosts do,
    // and returns the output.
    HostBuffers<double> Run(int frames) {
        HostBuffers<double> io(2, frames);
        for (int j = 0; j < 2; ++j) {
            for (int i = 0; i < frames; ++i) {
                io.data[j][i] = Ramp(position + i, j);
            }
        }
        processor.BindHostBuffers64(kIn, 0, 2, io.pointers.data());
        processor.BindHostBuffers64(kOut, 0, 2, io.pointers.data());
        processor.PassThroughBlock64(frames);
        position += frames;
        return io;
    }

    RecordingProcessor processor;
    int64_t position = 0;
};

TEST(ProcessorBypass, WithoutLatencyCopiesSampleForSampleAndZeroesExtraOutputs) {
    RecordingProcessor p("1-2");
    p.ResizeBlockBuffers(16);
    p.MarkChannelsConnected(kIn, 0, 1, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);
    HostBuffers<float> in(1, 16), out(2, 16);
    for (int i = 0; i < 16; ++i) {
        in.data[0][i] = 0.01f * static_cast<float>(i);
    }
    std::fill(out.data[1].begin(), out.data[1].end(), 3.0f);
    p.BindHostBuffers32(kIn, 0, 1, in.pointers.data(), 16);
    p.BindHostBuffers32(kOut, 0, 2, out.pointers.data(), 16);
    p.PassThroughBlock32(16);
    EXPECT_EQ(out.data[0], in.data[0]);
    EXPECT_EQ(out.data[1], std::vector<float>(16, 0.0f));
    EXPECT_EQ(p.renderCalls, 0);
}

TEST(ProcessorBypass, WithLatencyOutputIsTheInputDelayedByExactlyThatLatency) {
    BypassRig rig(100);
    ASSERT_TRUE(rig.processor.CreateLatencyDelayLine());
    int64_t start = 0;
    for (int frames : {1, 13, 64, 7, 512, 99}) {
        const HostBuffers<double> out = rig.Run(frames);
        for (int j = 0; j < 2; ++j) {
            for (int i = 0; i < frames; ++i) {
                ASSERT_EQ(out.data[j][i], Delayed(start + i, j, 100)) << start + i;
            }
        }
        start += frames;
    }
}

TEST(ProcessorBypass, LatencyChangedWhileStoppedAppliesAtOnceFromSilence) {
    BypassRig rig(0);
    ASSERT_TRUE(rig.processor.CreateLatencyDelayLine());
    rig.Run(50);
    rig.processor.ChangeLatency(300); // beyond the initial capacity: grows while stopped
    EXPECT_EQ(rig.processor.Latency(), 300);
    const int64_t changedAt = rig.position;
    const HostBuffers<double> out = rig.Run(400);
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(out.data[0][i], i < 300 ? 0.0 : Ramp(changedAt + i - 300, 0)) << i;
    }
}

TEST(ProcessorBypass, LatencyChangedWhileRunningAppliesAtTheNextBlockWithinTheReserve) {
    BypassRig rig(10);
    ASSERT_TRUE(rig.processor.CreateLatencyDelayLine());
    ASSERT_TRUE(rig.processor.ReserveLatency(64));
    rig.processor.SetProcessingRunning(true);
    rig.Run(32);

    rig.processor.ChangeLatency(20);
    const int64_t changedAt = rig.position;
    HostBuffers<double> out = rig.Run(48);
    for (int i = 0; i < 48; ++i) {
        const double expected = i < 20 ? 0.0 : Ramp(changedAt + i - 20, 0);
        ASSERT_EQ(out.data[0][i], expected) << i;
    }

    // Beyond the reserve: reported in full, delayed by the reserve.
    rig.processor.ChangeLatency(1000);
    EXPECT_EQ(rig.processor.Latency(), 1000);
    const int64_t limitedAt = rig.position;
    out = rig.Run(100);
    for (int i = 0; i < 100; ++i) {
        const double expected = i < 64 ? 0.0 : Ramp(limitedAt + i - 64, 0);
        ASSERT_EQ(out.data[0][i], expected) << i;
    }
}

TEST(ProcessorBypass, LatencyChangedOnTheAudioThreadIsHandedOverWithoutAllocating) {
    BypassRig rig(4);
    ASSERT_TRUE(rig.processor.CreateLatencyDelayLine());
    ASSERT_TRUE(rig.processor.ReserveLatency(16));
    rig.Run(8);
    {
        // Processing is not flagged as running, yet the audio thread must
        // not grow the line: the request is limited to the reserve.
        plugin::AudioThreadScope audio;
        testing_support::AllocationCounter counter;
        rig.processor.ChangeLatency(5000);
        EXPECT_EQ(counter.Count(), 0u);
    }
    EXPECT_EQ(rig.processor.Latency(), 5000);
    const int64_t changedAt = rig.position;
    const HostBuffers<double> out = rig.Run(32);
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(out.data[0][i], i < 16 ? 0.0 : Ramp(changedAt + i - 16, 0)) << i;
    }
}

TEST(ProcessorBypass, NoDelayLineWithoutInputChannels) {
    RecordingProcessor p("0-2", 50);
    EXPECT_FALSE(p.CreateLatencyDelayLine());
    EXPECT_FALSE(p.ReserveLatency(100));
    p.ChangeLatency(60);
    EXPECT_EQ(p.Latency(), 60);
}

// The UI thread changes the latency while the audio thread runs bypassed
// blocks. Every output sample must be silence or the ramp delayed by one of
// the latencies asked for, and once the changes stop the output settles on
// the last one.
TEST(ProcessorBypassThreaded, LatencyChangesDuringBypassedBlocksHandOverCleanly) {
    constexpr int kBlock = 64;
    const std::vector<int32_t> latencies = {0, 7, 31, 64, 128, 3, 200, 255, 1, 90};
    BypassRig rig(latencies[0], kBlock);
    ASSERT_TRUE(rig.processor.CreateLatencyDelayLine());
    ASSERT_TRUE(rig.processor.ReserveLatency(256));
    rig.processor.SetProcessingRunning(true);

    std::atomic<bool> uiDone{false};
    std::atomic<bool> failed{false};
    std::set<int64_t> allowed(latencies.begin(), latencies.end());

    std::thread audio([&] {
        int64_t lastDelay = -1;
        int settledBlocks = 0;
        // Run until the UI has finished and the output has settled on the
        // final latency for a good while.
        // The block cap only turns a broken hand-over into a failure instead
        // of a hang.
        for (int64_t blocks = 0; settledBlocks < 20; ++blocks) {
            if (blocks > 2'000'000) {
                failed.store(true);
                break;
            }
            const int64_t start = rig.position;
            const HostBuffers<double> out = rig.Run(kBlock);
            for (int i = 0; i < kBlock; ++i) {
                const double y = out.data[0][i];
                if (y == 0.0) {
                    continue;
                }
                const int64_t delay = start + i + 1 - static_cast<int64_t>(y);
                if (!allowed.count(delay) || out.data[1][i] != 2.0 * y) {
                    failed.store(true);
                }
                lastDelay = delay;
            }
            if (uiDone.load() && lastDelay == latencies.back()) {
                ++settledBlocks;
            }
        }
    });

    for (int round = 0; round < 200; ++round) {
        rig.processor.ChangeLatency(latencies[static_cast<size_t>(round) % latencies.size()]);
        std::this_thread::yield();
    }
    rig.processor.ChangeLatency(latencies.back());
    uiDone.store(true);
    audio.join();
    EXPECT_FALSE(failed.load());
}

} // namespace
