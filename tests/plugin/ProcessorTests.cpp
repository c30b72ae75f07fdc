#include "ProcessorTestSupport.h"

#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "plugin/AudioThread.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

using plugin::BusDirection;
using processor_testing::HostBuffers;
using processor_testing::RecordingProcessor;

constexpr BusDirection kIn = BusDirection::Input;
constexpr BusDirection kOut = BusDirection::Output;

std::vector<int32_t> V(std::initializer_list<int32_t> values) {
    return values;
}

// ---- Configuration queries ----

TEST(ProcessorConfigQueries, MonoAndStereoConfigurationsAnswerTheBridge) {
    RecordingProcessor p("1-1 2-2");
    int32_t index = -7;
    EXPECT_EQ(p.MostBusesInConfigs(kIn, index), 1);
    EXPECT_EQ(index, 1); // the tie goes to the later (stereo) configuration
    EXPECT_EQ(p.MostBusesInConfigs(kOut, index), 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(p.WidestBusChannels(kIn, 0), 2);
    EXPECT_EQ(p.WidestBusChannels(kOut, 0), 2);
    EXPECT_EQ(p.WidestBusChannels(kIn, 1), 0);
    EXPECT_EQ(p.FindIOConfigFor(V({1}), V({1})), 0);
    EXPECT_EQ(p.FindIOConfigFor(V({2}), V({2})), 1);
    EXPECT_EQ(p.FindIOConfigFor(V({1}), V({2})), -1);
    EXPECT_EQ(p.FindIOConfigFor(V({2, 2}), V({2})), -1);
    EXPECT_EQ(p.FindIOConfigFor(V({}), V({2})), -1);
    EXPECT_EQ(p.ChannelCount(kIn), 2);
    EXPECT_EQ(p.ChannelCount(kOut), 2);
}

TEST(ProcessorConfigQueries, MostBusesPrefersTheLargerCountThenTheLaterConfiguration) {
    RecordingProcessor p("2.1-1 1-1 1.1-2");
    int32_t index = -1;
    EXPECT_EQ(p.MostBusesInConfigs(kIn, index), 2);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(p.MostBusesInConfigs(kOut, index), 1);
    EXPECT_EQ(index, 2);

    RecordingProcessor q("1.1.1-1 1-1");
    EXPECT_EQ(q.MostBusesInConfigs(kIn, index), 3);
    EXPECT_EQ(index, 0);
}

TEST(ProcessorConfigQueries, WidestBusTakesEachPositionsMaximumUnlessFirstHasWildcard) {
    RecordingProcessor p("2.1-2 1.4-1 6-1");
    EXPECT_EQ(p.WidestBusChannels(kIn, 0), 6);
    EXPECT_EQ(p.WidestBusChannels(kIn, 1), 4);
    EXPECT_EQ(p.WidestBusChannels(kIn, 2), 0);
    EXPECT_EQ(p.WidestBusChannels(kOut, 0), 2);

    RecordingProcessor wild("*-2 2-2");
    EXPECT_EQ(wild.WidestBusChannels(kIn, 0), -1);
    EXPECT_EQ(wild.WidestBusChannels(kOut, 0), 2);
    // A wildcard outside configuration 0 does not poison the answer.
    RecordingProcessor late("2-2 *-2");
    EXPECT_EQ(late.WidestBusChannels(kIn, 0), 2);
    EXPECT_EQ(late.FindIOConfigFor(V({-64}), V({2})), -1);
}

TEST(ProcessorConfigQueries, NoConfigurationsGiveNeutralAnswers) {
    RecordingProcessor p("");
    int32_t index = 5;
    EXPECT_EQ(p.MostBusesInConfigs(kIn, index), 0);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(p.WidestBusChannels(kIn, 0), 0);
    EXPECT_EQ(p.FindIOConfigFor(V({}), V({})), -1);
    EXPECT_EQ(p.ChannelCount(kIn), 0);
    // Running a block with no channels at all is harmless.
    p.ResizeBlockBuffers(16);
    p.RunBlock64(16);
    p.PassThroughBlock64(16);
    EXPECT_EQ(p.renderCalls, 1);
}

TEST(ProcessorConfigQueries, BusNamesFollowDirectionAndBusCount) {
    RecordingProcessor p("1-1");
    EXPECT_EQ(p.DescribeBus(kOut, 0, 1), "Output");
    EXPECT_EQ(p.DescribeBus(kOut, 0, 2), "Output 0");
    EXPECT_EQ(p.DescribeBus(kOut, 1, 2), "Output 1");
    EXPECT_EQ(p.DescribeBus(kIn, 0, 1), "Input");
    EXPECT_EQ(p.DescribeBus(kIn, 0, 2), "Main");
    EXPECT_EQ(p.DescribeBus(kIn, 1, 2), "Aux");
    EXPECT_EQ(p.DescribeBus(kIn, 0, 3), "Input 0");
    EXPECT_EQ(p.DescribeBus(kIn, 1, 3), "Input 1");
    EXPECT_EQ(p.DescribeBus(kIn, 2, 3), "Input 2");
}

TEST(ProcessorConfigQueries, ConstructionCopiesConfigurationAndStartsAtStatedDefaults) {
    plugin::PlugConfig config = processor_testing::MakeConfig("1-1", 17);
    config.plugType = 2;
    config.midiIn = true;
    config.mpe = true;
    class Configured : public plugin::IPluginProcessor {
    public:
        explicit Configured(const plugin::PlugConfig& c) : IPluginProcessor(c) {}
        bool QueueMidiOut(const plugin::MidiMessage&) override { return true; }
    } p(config);
    EXPECT_EQ(p.PlugType(), 2);
    EXPECT_TRUE(p.DoesMidiIn());
    EXPECT_FALSE(p.DoesMidiOut());
    EXPECT_TRUE(p.DoesMPE());
    EXPECT_EQ(p.Latency(), 17);
    EXPECT_EQ(p.SampleRate(), 48000.0);
    EXPECT_EQ(p.BlockSize(), 0);
    EXPECT_EQ(p.TailLength(), 0);
    EXPECT_FALSE(p.IsBypassed());
    EXPECT_FALSE(p.IsRenderingOffline());
    EXPECT_EQ(p.CountConnectedChannels(kIn), 0);
    EXPECT_EQ(p.Transport().tempo, 120.0);
    EXPECT_EQ(p.Transport().samplePos, -1.0);
    EXPECT_EQ(p.Transport().numerator, 4);
    p.ChangeTailLength(plugin::IPluginProcessor::kInfiniteTail);
    EXPECT_EQ(p.TailLength(), 2147483647);
}

// ---- Channel wiring ----

TEST(ProcessorWiring, SixtyFourBitHostBuffersReachTheHookWithoutCopy) {
    RecordingProcessor p("2-2");
    p.ResizeBlockBuffers(64);
    HostBuffers<double> in(2, 64), out(2, 64);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);
    p.BindHostBuffers64(kIn, 0, 2, in.pointers.data());
    p.BindHostBuffers64(kOut, 0, 2, out.pointers.data());
    p.RunBlock64(64);

    EXPECT_EQ(p.seenInputs[0], in.pointers[0]);
    EXPECT_EQ(p.seenInputs[1], in.pointers[1]);
    EXPECT_EQ(p.seenOutputs[0], out.pointers[0]);
    EXPECT_EQ(p.seenOutputs[1], out.pointers[1]);
    EXPECT_EQ(p.lastFrames, 64);
    EXPECT_EQ(p.CountConnectedChannels(kIn), 2);
}

TEST(ProcessorWiring, UnconnectedChannelsUseTheirOwnScratchAndConsumeNoHostBuffer) {
    RecordingProcessor p("3-3");
    p.ResizeBlockBuffers(8);
    p.MarkChannelsConnected(kIn, 0, 3, true);
    p.MarkChannelsConnected(kIn, 1, 1, false);
    p.MarkChannelsConnected(kOut, 0, 3, true);
    EXPECT_EQ(p.CountConnectedChannels(kIn), 2);
    EXPECT_TRUE(p.IsChannelConnected(kIn, 0));
    EXPECT_FALSE(p.IsChannelConnected(kIn, 1));
    EXPECT_TRUE(p.IsChannelConnected(kIn, 2));
    EXPECT_FALSE(p.IsChannelConnected(kIn, 3));
    EXPECT_FALSE(p.IsChannelConnected(kIn, -1));

    HostBuffers<double> in(2, 8), out(3, 8);
    p.BindHostBuffers64(kIn, 0, 3, in.pointers.data());
    p.BindHostBuffers64(kOut, 0, 3, out.pointers.data());
    p.RunBlock64(8);

    // Channel 2 took the second host buffer because channel 1 was skipped.
    EXPECT_EQ(p.seenInputs[0], in.pointers[0]);
    EXPECT_EQ(p.seenInputs[2], in.pointers[1]);
    ASSERT_NE(p.seenInputs[1], nullptr);
    EXPECT_NE(p.seenInputs[1], in.pointers[0]);
    EXPECT_NE(p.seenInputs[1], in.pointers[1]);
}

TEST(ProcessorWiring, NoChannelPointerIsNullEvenBeforeSetUp) {
    RecordingProcessor p("2-2");
    p.RunBlock64(0);
    ASSERT_EQ(p.renderCalls, 1);
    for (int j = 0; j < 2; ++j) {
        EXPECT_NE(p.seenInputs[j], nullptr);
        EXPECT_NE(p.seenOutputs[j], nullptr);
    }
}

TEST(ProcessorWiring, ThirtyTwoBitBlockWidensRendersAndNarrows) {
    RecordingProcessor p("2-2");
    p.useGain = true;
    p.gain = 0.5;
    p.ResizeBlockBuffers(32);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);
    HostBuffers<float> in(2, 32), out(2, 32);
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 32; ++i) {
            in.data[j][i] = 0.1f * static_cast<float>(i + 1) * (j == 0 ? 1.0f : -1.0f);
        }
    }
    p.BindHostBuffers32(kIn, 0, 2, in.pointers.data(), 32);
    p.BindHostBuffers32(kOut, 0, 2, out.pointers.data(), 32);
    p.RunBlock32(32);

    // Inputs were widened into scratch (not the host's floats).
    EXPECT_NE(static_cast<const void*>(p.seenInputs[0]), static_cast<const void*>(in.pointers[0]));
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 32; ++i) {
            const double widened = static_cast<double>(in.data[j][i]);
            ASSERT_EQ(out.data[j][i], static_cast<float>(0.5 * widened)) << j << ":" << i;
        }
    }
}

TEST(ProcessorWiring, ThirtyTwoBitOutputsThatAreUnconnectedStayUntouched) {
    RecordingProcessor p("2-2");
    p.ResizeBlockBuffers(16);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);
    p.MarkChannelsConnected(kOut, 1, 1, false);
    HostBuffers<float> in(2, 16), out(2, 16);
    std::fill(in.data[0].begin(), in.data[0].end(), 0.25f);
    std::fill(in.data[1].begin(), in.data[1].end(), 0.75f);
    std::fill(out.data[1].begin(), out.data[1].end(), 9.0f);
    p.BindHostBuffers32(kIn, 0, 2, in.pointers.data(), 16);
    p.BindHostBuffers32(kOut, 0, 2, out.pointers.data(), 16);
    p.RunBlock32(16);

    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(out.data[0][i], 0.25f);
        EXPECT_EQ(out.data[1][i], 9.0f);
    }
}

TEST(ProcessorWiring, NullHostBuffersReadAsSilenceAndAreNeverWritten) {
    RecordingProcessor p("2-2");
    p.ResizeBlockBuffers(16);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);

    // First fill the scratch with signal, to see that a null buffer silences it.
    HostBuffers<float> in(2, 16), out(2, 16);
    std::fill(in.data[1].begin(), in.data[1].end(), 0.5f);
    p.BindHostBuffers32(kIn, 0, 2, in.pointers.data(), 16);
    p.BindHostBuffers32(kOut, 0, 2, out.pointers.data(), 16);
    p.RunBlock32(16);
    ASSERT_EQ(out.data[1][3], 0.5f);

    float* mixed[2] = {out.pointers[0], nullptr};
    float* nullInputs[2] = {in.pointers[0], nullptr};
    p.BindHostBuffers32(kIn, 0, 2, nullInputs, 16);
    p.BindHostBuffers32(kOut, 0, 2, mixed, 16);
    p.RunBlock32(16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(p.seenInputs[1][i], 0.0);
    }

    // A null array, in both precisions, is just as harmless.
    p.BindHostBuffers32(kIn, 0, 2, nullptr, 16);
    p.BindHostBuffers32(kOut, 0, 2, nullptr, 16);
    p.RunBlock32(16);
    p.BindHostBuffers64(kIn, 0, 2, nullptr);
    p.BindHostBuffers64(kOut, 0, 2, nullptr);
    p.RunBlock64(16);
    EXPECT_EQ(p.seenInputs[0][0], 0.0);
    EXPECT_EQ(p.renderCalls, 4);
}

TEST(ProcessorWiring, RangesBeyondTheSlotsAreClampedOrIgnored) {
    RecordingProcessor p("2-2");
    p.ResizeBlockBuffers(8);
    p.MarkChannelsConnected(kIn, 0, 100, true);
    EXPECT_EQ(p.CountConnectedChannels(kIn), 2);
    p.MarkChannelsConnected(kIn, -1, 5, false);
    p.MarkChannelsConnected(kIn, 2, 1, false);
    p.MarkChannelsConnected(kIn, 1, -3, false);
    EXPECT_EQ(p.CountConnectedChannels(kIn), 2);

    // A host claiming six channels passes six buffers; two are used.
    HostBuffers<double> in(6, 8), out(6, 8);
    p.MarkChannelsConnected(kOut, 0, 6, true);
    p.BindHostBuffers64(kIn, 0, 6, in.pointers.data());
    p.BindHostBuffers64(kOut, 0, 6, out.pointers.data());
    p.BindHostBuffers64(kIn, 7, 2, in.pointers.data());
    p.RunBlock64(8);
    EXPECT_EQ(p.seenInputs[1], in.pointers[1]);
    EXPECT_EQ(p.seenOutputs[1], out.pointers[1]);
}

TEST(ProcessorWiring, BlockLongerThanTheBlockSizeYieldsSilenceNotOverrun) {
    RecordingProcessor p("2-2");
    p.ResizeBlockBuffers(32);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 2, true);
    HostBuffers<float> in32(2, 100), out32(2, 100);
    std::fill(in32.data[0].begin(), in32.data[0].end(), 1.0f);
    std::fill(out32.data[0].begin(), out32.data[0].end(), 7.0f);
    p.BindHostBuffers32(kIn, 0, 2, in32.pointers.data(), 100);
    p.BindHostBuffers32(kOut, 0, 2, out32.pointers.data(), 100);
    p.RunBlock32(100);
    EXPECT_EQ(p.renderCalls, 0);
    EXPECT_EQ(out32.data[0], std::vector<float>(100, 0.0f));

    HostBuffers<double> in64(2, 100), out64(2, 100);
    std::fill(out64.data[1].begin(), out64.data[1].end(), 7.0);
    p.BindHostBuffers64(kIn, 0, 2, in64.pointers.data());
    p.BindHostBuffers64(kOut, 0, 2, out64.pointers.data());
    p.PassThroughBlock64(100);
    EXPECT_EQ(out64.data[1], std::vector<double>(100, 0.0));
    EXPECT_EQ(p.renderCalls, 0);
}

TEST(ProcessorWiring, ResizeChangesCapacityAndSameSizeKeepsBuffers) {
    RecordingProcessor p("1-1");
    p.ResizeBlockBuffers(256);
    EXPECT_EQ(p.BlockSize(), 256);
    p.RunBlock64(0);
    const double* before = p.seenInputs[0];
    p.ResizeBlockBuffers(256);
    p.RunBlock64(0);
    EXPECT_EQ(p.seenInputs[0], before);

    p.ResizeBlockBuffers(-5);
    EXPECT_EQ(p.BlockSize(), 0);
    p.ResizeBlockBuffers(plugin::IPluginProcessor::kMaxBlockFrames + 1);
    EXPECT_EQ(p.BlockSize(), plugin::IPluginProcessor::kMaxBlockFrames);
}

TEST(ProcessorWiring, ZeroScratchClearsWhatAnUnconnectedChannelReads) {
    RecordingProcessor p("1-1");
    p.ResizeBlockBuffers(4);
    p.MarkChannelsConnected(kIn, 0, 1, true);
    p.MarkChannelsConnected(kOut, 0, 1, true);
    HostBuffers<float> in(1, 4), out(1, 4);
    std::fill(in.data[0].begin(), in.data[0].end(), 0.5f);
    p.BindHostBuffers32(kIn, 0, 1, in.pointers.data(), 4);
    p.BindHostBuffers32(kOut, 0, 1, out.pointers.data(), 4);
    p.RunBlock32(4);

    p.MarkChannelsConnected(kIn, 0, 1, false);
    p.RunBlock32(4);
    EXPECT_EQ(p.seenInputs[0][2], 0.5); // the stale widened samples
    p.ZeroScratchBuffers();
    p.RunBlock32(4);
    EXPECT_EQ(p.seenInputs[0][2], 0.0);
}

TEST(ProcessorWiring, BlocksRunInsideAnAudioThreadScope) {
    struct Probe : RecordingProcessor {
        using RecordingProcessor::RecordingProcessor;
        void RenderBlock(const double* const*, double* const*, int32_t) override {
            sawAudioThread = plugin::IsAudioThread();
        }
        bool sawAudioThread = false;
    } p("1-1");
    p.ResizeBlockBuffers(8);
    EXPECT_FALSE(plugin::IsAudioThread());
    p.RunBlock64(8);
    EXPECT_TRUE(p.sawAudioThread);
    p.sawAudioThread = false;
    p.RunBlock32(8);
    EXPECT_TRUE(p.sawAudioThread);
    EXPECT_FALSE(plugin::IsAudioThread());
}

// ---- Default hooks ----

TEST(ProcessorDefaultHooks, RenderBlockCopiesMatchingChannelsAndZeroesTheRest) {
    RecordingProcessor p("2-3");
    p.ResizeBlockBuffers(8);
    p.MarkChannelsConnected(kIn, 0, 2, true);
    p.MarkChannelsConnected(kOut, 0, 3, true);
    HostBuffers<double> in(2, 8), out(3, 8);
    for (int i = 0; i < 8; ++i) {
        in.data[0][i] = i + 1;
        in.data[1][i] = -(i + 1);
    }
    for (auto& channel : out.data) {
        std::fill(channel.begin(), channel.end(), 5.0);
    }
    p.BindHostBuffers64(kIn, 0, 2, in.pointers.data());
    p.BindHostBuffers64(kOut, 0, 3, out.pointers.data());
    p.RunBlock64(8);

    EXPECT_EQ(out.data[0], in.data[0]);
    EXPECT_EQ(out.data[1], in.data[1]);
    EXPECT_EQ(out.data[2], std::vector<double>(8, 0.0));
}

TEST(ProcessorDefaultHooks, MidiMessagesForwardToTheOutQueue) {
    RecordingProcessor p("1-1");
    p.HandleMidiMessage({12, 0x90, 60, 100});
    EXPECT_EQ(p.queueCalls, 1);
    EXPECT_EQ(p.lastQueued.sampleOffset, 12);
    EXPECT_EQ(p.lastQueued.data1, 60);
    EXPECT_FALSE(p.QueueSysExOut(plugin::SysExBlock{}));
}

TEST(ProcessorDefaultHooks, BatchQueuesEveryMessageAndAndsTheResults) {
    RecordingProcessor p("1-1");
    EXPECT_TRUE(p.QueueMidiOutBatch({}));
    EXPECT_EQ(p.queueCalls, 0);

    const std::array<plugin::MidiMessage, 3> messages = {
        plugin::MidiMessage{0, 0x90, 1, 1}, {1, 0x90, 2, 2}, {2, 0x80, 3, 0}};
    EXPECT_TRUE(p.QueueMidiOutBatch(messages));
    EXPECT_EQ(p.queueCalls, 3);
    EXPECT_EQ(p.lastQueued.data1, 3);

    p.acceptMidi = false;
    EXPECT_FALSE(p.QueueMidiOutBatch(messages));
    EXPECT_EQ(p.queueCalls, 6); // a refusal does not cut the batch short
}

// ---- Real-time behaviour ----

TEST(ProcessorRealTime, BindingRunningAndPassThroughDoNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    RecordingProcessor p("2-2", 37);
    p.ResizeBlockBuffers(128);
    ASSERT_TRUE(p.CreateLatencyDelayLine());
    ASSERT_TRUE(p.ReserveLatency(500));
    p.SetProcessingRunning(true);
    HostBuffers<float> in32(2, 128), out32(2, 128);
    HostBuffers<double> in64(2, 128), out64(2, 128);

    testing_support::AllocationCounter counter;
    for (int block = 0; block < 4; ++block) {
        p.MarkChannelsConnected(kIn, 0, 2, true);
        p.MarkChannelsConnected(kOut, 0, 2, true);
        p.BindHostBuffers32(kIn, 0, 2, in32.pointers.data(), 128);
        p.BindHostBuffers32(kOut, 0, 2, out32.pointers.data(), 128);
        p.RunBlock32(128);
        p.BindHostBuffers32(kIn, 0, 2, in32.pointers.data(), 128);
        p.BindHostBuffers32(kOut, 0, 2, out32.pointers.data(), 128);
        p.PassThroughBlock32(128);
        p.BindHostBuffers64(kIn, 0, 2, in64.pointers.data());
        p.BindHostBuffers64(kOut, 0, 2, out64.pointers.data());
        p.RunBlock64(128);
        p.ChangeLatency(400 - block); // handed over, applied by the next pass-through
        p.BindHostBuffers64(kIn, 0, 2, in64.pointers.data());
        p.BindHostBuffers64(kOut, 0, 2, out64.pointers.data());
        p.PassThroughBlock64(128);
        p.MarkChannelsConnected(kIn, 1, 1, false);
        p.ZeroScratchBuffers();
    }
    EXPECT_EQ(counter.Count(), 0u);
}

} // namespace
