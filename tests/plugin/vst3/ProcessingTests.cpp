#include "AllocationCounter.h"
#include "AllocationCounterSupported.h"
#include "TestGainModule.h"
#include "host/HostContext.h"
#include "host/PluginInstance.h"

#include <array>
#include <limits>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

constexpr int32 kFrames = 8;

class Processing : public ::testing::Test {
protected:
    void SetUp() override {
        module = test_gain::LoadModule();
        ASSERT_TRUE(module);
        context = owned(new vst3host::HostContext);
        instance = MakeRunning(kSample32);
        ASSERT_TRUE(instance);
    }

    std::unique_ptr<vst3host::PluginInstance> MakeRunning(int32 sampleSize) {
        TUID cid;
        test_gain::ExpectedClassId(cid);
        auto made = vst3host::PluginInstance::Create(*module, cid);
        if (!made || made->Initialize(context->Unknown()) != kResultOk)
            return nullptr;
        vst3host::ProcessConfig config;
        config.symbolicSampleSize = sampleSize;
        config.maxBlockFrames = kFrames;
        if (made->SetupProcessing(config) != kResultOk || made->SetActive(true) != kResultOk ||
            made->SetProcessing(true) != kResultOk)
            return nullptr;
        return made;
    }

    // Runs one 32-bit block of a ramp 0.25, 0.5, ... (exact in binary) and
    // returns the left output.
    std::array<float, kFrames> RunRamp(vst3host::PluginInstance& target,
                                       vst3host::ParameterChanges* changes = nullptr) {
        for (int32 i = 0; i < kFrames; ++i) {
            inLeft[i] = 0.25f * static_cast<float>(i + 1);
            inRight[i] = -inLeft[i];
        }
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        EXPECT_EQ(target.Process(inputs, 2, outputs, 2, kFrames, changes), kResultOk);
        return outLeft;
    }

    std::unique_ptr<vst3host::Module> module;
    IPtr<vst3host::HostContext> context;
    std::unique_ptr<vst3host::PluginInstance> instance;
    std::array<float, kFrames> inLeft{}, inRight{}, outLeft{}, outRight{};
};

} // namespace

TEST_F(Processing, SampleSizesOfferedAreAcceptedOthersRefused) {
    Vst::IAudioProcessor* processor = instance->Processor();
    EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
    vst3host::ProcessConfig config;
    config.symbolicSampleSize = 2;
    EXPECT_EQ(instance->SetupProcessing(config), kResultFalse);
}

TEST_F(Processing, ThirtyTwoBitBlockAppliesTheLastPointOfTheGainQueue) {
    vst3host::ParameterChanges changes;
    // Normalized 0.25 is a linear gain of 0.5; the earlier point is ignored.
    changes.Add(test_gain::kGainParamId, 0, 0.9);
    changes.Add(test_gain::kGainParamId, 5, 0.25);
    const auto out = RunRamp(*instance, &changes);
    for (int32 i = 0; i < kFrames; ++i) {
        EXPECT_EQ(out[i], 0.125f * static_cast<float>(i + 1)) << i;
        EXPECT_EQ(outRight[i], -0.125f * static_cast<float>(i + 1)) << i;
        // Processing out of place leaves the input alone.
        EXPECT_EQ(inLeft[i], 0.25f * static_cast<float>(i + 1)) << i;
    }
}

TEST_F(Processing, SixtyFourBitBlockUsesTheDoubleBuffers) {
    auto wide = MakeRunning(kSample64);
    ASSERT_TRUE(wide);
    vst3host::ParameterChanges changes;
    changes.Add(test_gain::kGainParamId, 0, 0.75); // linear 1.5
    std::array<double, kFrames> left{}, right{}, outL{}, outR{};
    for (int32 i = 0; i < kFrames; ++i) {
        left[i] = 0.5 * (i + 1);
        right[i] = 1.0 / 1024.0;
    }
    double* inputs[2] = {left.data(), right.data()};
    double* outputs[2] = {outL.data(), outR.data()};
    ASSERT_EQ(wide->Process(inputs, 2, outputs, 2, kFrames, &changes), kResultOk);
    for (int32 i = 0; i < kFrames; ++i) {
        EXPECT_EQ(outL[i], 0.75 * (i + 1)) << i;
        EXPECT_EQ(outR[i], 1.5 / 1024.0) << i;
    }
}

TEST_F(Processing, ZeroFrameBlockTouchesNothing) {
    vst3host::ParameterChanges changes;
    changes.Add(test_gain::kGainParamId, 0, 0.25);
    outLeft.fill(7.0f);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    ASSERT_EQ(instance->Process(inputs, 2, outputs, 2, 0, &changes), kResultOk);
    EXPECT_EQ(outLeft[0], 7.0f);
}

TEST_F(Processing, ProcessCallDoesNotAllocate) {
    LUMARO_SKIP_WITHOUT_ALLOCATION_COUNTER();
    vst3host::ParameterChanges changes;
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    testing_support::AllocationCounter counter;
    for (int block = 0; block < 50; ++block) {
        changes.Clear();
        changes.Add(test_gain::kGainParamId, block % kFrames, 0.01 * block);
        instance->Process(inputs, 2, outputs, 2, kFrames, &changes);
    }
    EXPECT_EQ(counter.Count(), 0u);
}

TEST_F(Processing, StateIsTheGainAsALittleEndianDoubleAndRoundTrips) {
    vst3host::ParameterChanges changes;
    changes.Add(test_gain::kGainParamId, 0, 0.25);
    RunRamp(*instance, &changes);

    std::vector<std::uint8_t> state;
    ASSERT_EQ(instance->GetState(state), kResultOk);
    // 0.25 = 2^-2: sign 0, biased exponent 1021 (0x3FD), mantissa 0.
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 0, 0, 0xD0, 0x3F};
    EXPECT_EQ(state, expected);

    auto restored = MakeRunning(kSample32);
    ASSERT_TRUE(restored);
    ASSERT_EQ(restored->SetState(state), kResultOk);
    EXPECT_EQ(restored->Controller()->getParamNormalized(test_gain::kGainParamId), 0.25);
    const auto out = RunRamp(*restored);
    EXPECT_EQ(out[3], 0.5f); // 1.0 input at gain 0.5
}

TEST_F(Processing, ShortOrInvalidStateIsRefusedAndChangesNothing) {
    const std::vector<std::uint8_t> tooShort = {0, 0, 0, 0};
    EXPECT_EQ(instance->SetState(tooShort), kResultFalse);
    EXPECT_EQ(instance->SetState({}), kResultFalse);
    // A quiet NaN: exponent all ones, top mantissa bit set.
    const std::vector<std::uint8_t> notANumber = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
    EXPECT_EQ(instance->SetState(notANumber), kResultFalse);
    const auto out = RunRamp(*instance);
    EXPECT_EQ(out[3], 1.0f); // still the default unity gain
}
