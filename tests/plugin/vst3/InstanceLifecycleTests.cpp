#include "TestGainModule.h"
#include "host/HostContext.h"
#include "host/PluginInstance.h"

#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstunits.h"
#include "pluginterfaces/vst/vstspeaker.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

uint32 ReferencesOf(FUnknown* object) {
    object->addRef();
    return object->release();
}

class InstanceLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        module = test_gain::LoadModule();
        ASSERT_TRUE(module);
        context = owned(new vst3host::HostContext);
        test_gain::ExpectedClassId(cid);
    }

    std::unique_ptr<vst3host::PluginInstance> Make() {
        std::string error;
        auto instance = vst3host::PluginInstance::Create(*module, cid, &error);
        EXPECT_TRUE(instance) << error;
        return instance;
    }

    // Declared first so that instances are gone before the context, and the
    // context before the module is unloaded.
    std::unique_ptr<vst3host::Module> module;
    IPtr<vst3host::HostContext> context;
    TUID cid;
};

template <typename Interface> FUnknown* IdentityThrough(FUnknown* object) {
    FUnknownPtr<Interface> face(object);
    if (!face)
        return nullptr;
    FUnknown* identity = nullptr;
    face->queryInterface(FUnknown::iid, reinterpret_cast<void**>(&identity));
    if (identity)
        identity->release();
    return identity;
}

} // namespace

TEST_F(InstanceLifecycle, OneObjectAnswersEveryComponentAndControllerInterface) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    FUnknown* component = instance->Component();
    FUnknown* identity = IdentityThrough<IComponent>(component);
    ASSERT_NE(identity, nullptr);
    EXPECT_EQ(IdentityThrough<IAudioProcessor>(component), identity);
    EXPECT_EQ(IdentityThrough<IProcessContextRequirements>(component), identity);
    EXPECT_EQ(IdentityThrough<IEditController>(component), identity);
    EXPECT_EQ(IdentityThrough<IEditController2>(component), identity);
    EXPECT_EQ(IdentityThrough<IUnitInfo>(component), identity);
    EXPECT_EQ(IdentityThrough<IConnectionPoint>(component), identity);
    EXPECT_EQ(IdentityThrough<IPluginBase>(component), identity);

    FUnknownPtr<IProcessContextRequirements> requirements(component);
    EXPECT_EQ(requirements->getProcessContextRequirements(), 0u);
    EXPECT_FALSE(FUnknownPtr<IPluginFactory>(component));

    ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
    EXPECT_TRUE(instance->IsSingleComponent());
    EXPECT_EQ(instance->Controller(), FUnknownPtr<IEditController>(component).getInterface());
}

TEST_F(InstanceLifecycle, InitializeBuildsBusesAndParametersTerminateRemovesThem) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    IComponent* component = instance->Component();
    EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);

    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk) << "round " << round;
        ASSERT_EQ(component->getBusCount(kAudio, kInput), 1);
        ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
        EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);

        BusInfo info;
        ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, info), kResultOk);
        EXPECT_EQ(info.mediaType, kAudio);
        EXPECT_EQ(info.direction, kOutput);
        EXPECT_EQ(info.channelCount, 2);
        EXPECT_EQ(info.busType, kMain);
        EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
        EXPECT_EQ(std::u16string(info.name), u"Output");
        EXPECT_EQ(component->getBusInfo(kAudio, kOutput, 1, info), kInvalidArgument);
        EXPECT_EQ(component->getBusInfo(kAudio, kInput, -1, info), kInvalidArgument);

        ASSERT_EQ(instance->Controller()->getParameterCount(), 1);
        ParameterInfo parameter;
        ASSERT_EQ(instance->Controller()->getParameterInfo(0, parameter), kResultOk);
        EXPECT_EQ(parameter.id, test_gain::kGainParamId);
        EXPECT_EQ(std::u16string(parameter.title), u"Gain");

        // A second initialize without terminate is refused.
        EXPECT_EQ(component->initialize(context->Unknown()), kResultFalse);

        ASSERT_EQ(instance->Terminate(), kResultOk);
        EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);
        EXPECT_EQ(component->getBusCount(kAudio, kOutput), 0);
        EXPECT_EQ(FUnknownPtr<IEditController>(component)->getParameterCount(), 0);
    }
}

TEST_F(InstanceLifecycle, BusArrangementsAndActivationFollowTheBusLists) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
    Vst::IAudioProcessor* processor = instance->Processor();

    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(processor->getBusArrangement(kOutput, 0, arrangement), kResultTrue);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
    EXPECT_EQ(processor->getBusArrangement(kOutput, 1, arrangement), kInvalidArgument);

    SpeakerArrangement mono = SpeakerArr::kMono;
    SpeakerArrangement twoMono[2] = {SpeakerArr::kMono, SpeakerArr::kMono};
    // One output bus exists, so two are refused and nothing changes.
    EXPECT_EQ(processor->setBusArrangements(&mono, 1, twoMono, 2), kResultFalse);
    processor->getBusArrangement(kOutput, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);

    ASSERT_EQ(processor->setBusArrangements(&mono, 1, &mono, 1), kResultTrue);
    BusInfo info;
    ASSERT_EQ(instance->Component()->getBusInfo(kAudio, kInput, 0, info), kResultOk);
    EXPECT_EQ(info.channelCount, 1);

    EXPECT_EQ(instance->Component()->activateBus(kAudio, kInput, 0, false), kResultTrue);
    EXPECT_EQ(instance->Component()->activateBus(kAudio, kInput, 3, true), kInvalidArgument);
    EXPECT_EQ(instance->Component()->activateBus(kEvent, kInput, 0, true), kInvalidArgument);
}

TEST_F(InstanceLifecycle, IdleTimerRunsOnTheHostRunLoopBetweenInitializeAndTerminate) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    vst3host::FakeRunLoop& loop = context->RunLoop();
    ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
    ASSERT_EQ(loop.TimerCount(), 1u);
    EXPECT_EQ(loop.TimerIntervalMs(0), test_gain::kIdleTimerMs);

    // 100 ms of a 20 ms timer: five ticks, each reaching the host through the
    // component handler the host installed.
    EXPECT_EQ(loop.AdvanceMs(100), 5u);
    EXPECT_EQ(instance->Handler().Count(vst3host::HandlerCall::Kind::RestartComponent), 5u);
    EXPECT_EQ(instance->Handler().RestartFlags(), kParamValuesChanged);

    ASSERT_EQ(instance->Terminate(), kResultOk);
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.AdvanceMs(100), 0u);
}

TEST_F(InstanceLifecycle, AHundredInstancesComeAndGoWithoutKeepingHostReferences) {
    const uint32 contextReferences = ReferencesOf(context->Unknown());
    const uint32 factoryReferences = ReferencesOf(module->Factory());
    for (int i = 0; i < 100; ++i) {
        auto instance = Make();
        ASSERT_TRUE(instance);
        ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
        ASSERT_EQ(instance->SetupProcessing(vst3host::ProcessConfig{}), kResultOk);
        ASSERT_EQ(instance->SetActive(true), kResultOk);
        ASSERT_EQ(instance->SetProcessing(true), kResultOk);
        float left[4] = {1, 2, 3, 4};
        float right[4] = {-1, -2, -3, -4};
        float* channels[2] = {left, right};
        ASSERT_EQ(instance->Process(channels, 2, channels, 2, 4), kResultOk);
        EXPECT_EQ(left[3], 4.0f); // default gain is unity
    }
    EXPECT_EQ(ReferencesOf(context->Unknown()), contextReferences);
    EXPECT_EQ(ReferencesOf(module->Factory()), factoryReferences);
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
}
