// The VST 3 binding driven in-process through its interfaces: identity and
// interfaces, buses, host-visible parameters, units and programs, state,
// channel context, host identification and the idle timer's run loop.

#include "BindingFixture.h"

#include "plugin/HostKind.h"
#include "plugin/vst3/HostParameters.h"
#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"

#include "pluginterfaces/vst/ivstchannelcontextinfo.h"
#include "pluginterfaces/vst/ivstmessage.h"
#include "pluginterfaces/vst/ivstmidicontrollers.h"
#include "pluginterfaces/vst/vstspeaker.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <new>
#include <optional>
#include <thread>

namespace {

using namespace binding_test;
using plugin::vst3::kBypassParamId;
using plugin::vst3::kPresetParamId;

// The test executable is its own module: the factory a host would get.
const TUID kTestClassId = INLINE_UID(0x11223344, 0x55667788, 0x99AABBCC, 0xDDEEFF00);

FUnknown* CreateTestPlugin(void*) {
    auto* instance = new (std::nothrow) TestPlugin();
    return instance != nullptr ? static_cast<IAudioProcessor*>(instance) : nullptr;
}

} // namespace

namespace plugin::vst3 {
PluginFactory* MakePluginFactory() {
    auto* factory = new PluginFactory(FactoryRecord{"Corvane Audio", "", ""});
    ClassRecord record;
    std::memcpy(record.cid, kTestClassId, sizeof(TUID));
    record.category = kVstAudioEffectClass;
    record.name = "Binding Test";
    record.subCategories = "Fx";
    record.create = CreateTestPlugin;
    factory->RegisterClass(record);
    return factory;
}
} // namespace plugin::vst3

namespace {

using BindingIdentity = BindingFixture;
using BindingBuses = BindingFixture;
using BindingParameters = BindingFixture;
using BindingState = BindingFixture;
using BindingHost = BindingFixture;

// ---- Identity and interfaces ----

TEST_F(BindingIdentity, EveryInterfaceLeadsToTheSameObject) {
    auto* object = static_cast<IAudioProcessor*>(plugin);
    EXPECT_EQ(Query<IMidiMapping>(object).get(), static_cast<IMidiMapping*>(plugin));
    EXPECT_EQ(Query<ChannelContext::IInfoListener>(object).get(),
              static_cast<ChannelContext::IInfoListener*>(plugin));
    EXPECT_EQ(Query<IProcessContextRequirements>(object).get(),
              static_cast<IProcessContextRequirements*>(plugin));
    EXPECT_TRUE(Query<IEditController2>(object));
    EXPECT_TRUE(Query<IConnectionPoint>(object));
    // From the secondary faces back to the component.
    auto mapping = Query<IMidiMapping>(object);
    EXPECT_EQ(Query<IComponent>(mapping).get(), component.get());
    EXPECT_EQ(Query<IAudioProcessor>(Query<ChannelContext::IInfoListener>(object)).get(),
              processor.get());
}

TEST_F(BindingIdentity, ReferencesAreCountedOnTheOneObject) {
    const uint32 before = plugin->addRef();
    {
        auto mapping = Query<IMidiMapping>(static_cast<IAudioProcessor*>(plugin));
        EXPECT_EQ(plugin->addRef(), before + 2);
        plugin->release();
    }
    EXPECT_EQ(plugin->release(), before - 1);
}

TEST_F(BindingIdentity, ClassNameAndBaseClassesAnswerTypeQueries) {
    EXPECT_STREQ(plugin->isA(), "IPluginVST3");
    EXPECT_TRUE(plugin->isTypeOf("IPluginVST3", false));
    EXPECT_TRUE(plugin->isTypeOf("SingleComponentEffect", true));
    EXPECT_TRUE(plugin->isTypeOf("EditControllerEx1", true));
    EXPECT_FALSE(plugin->isTypeOf("EditControllerEx1", false));
}

TEST_F(BindingIdentity, FixedAnswersOfTheComponent) {
    TUID cid{};
    EXPECT_EQ(component->getControllerClassId(cid), kNotImplemented);
    EXPECT_EQ(component->setIoMode(kSimple), kNotImplemented);
    EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultOk);
    EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultOk);
    EXPECT_EQ(processor->canProcessSampleSize(2), kResultFalse);
    EXPECT_EQ(Query<IProcessContextRequirements>(component)->getProcessContextRequirements(), 0u);
    EXPECT_EQ(processor->getTailSamples(), 0u);
    EXPECT_EQ(controller->createView(ViewType::kEditor), nullptr);
    // A second initialize of a live instance is refused.
    EXPECT_EQ(component->initialize(Unknown(context)), kResultFalse);
}

// ---- Buses ----

TEST_F(BindingBuses, DefaultsAreOneStereoMainBusEachWay) {
    ASSERT_EQ(component->getBusCount(kAudio, kInput), 1);
    ASSERT_EQ(component->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(component->getBusCount(kEvent, kOutput), 0);
    BusInfo info{};
    ASSERT_EQ(component->getBusInfo(kAudio, kInput, 0, info), kResultOk);
    EXPECT_EQ(ToUtf8(info.name), "Input");
    EXPECT_EQ(info.channelCount, 2);
    EXPECT_EQ(info.busType, kMain);
    EXPECT_EQ(info.flags, static_cast<uint32>(BusInfo::kDefaultActive));
    ASSERT_EQ(component->getBusInfo(kAudio, kOutput, 0, info), kResultOk);
    EXPECT_EQ(ToUtf8(info.name), "Output");
    SpeakerArrangement arrangement = 0;
    ASSERT_EQ(processor->getBusArrangement(kOutput, 0, arrangement), kResultOk);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
}

TEST_F(BindingBuses, MatchingRequestsRebuildTheBusesOthersLeaveThem) {
    SpeakerArrangement mono = SpeakerArr::kMono;
    SpeakerArrangement stereo = SpeakerArr::kStereo;
    SpeakerArrangement arrangement = 0;

    ASSERT_EQ(processor->setBusArrangements(&mono, 1, &mono, 1), kResultOk);
    processor->getBusArrangement(kInput, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kMono);
    processor->getBusArrangement(kOutput, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kMono);

    ASSERT_EQ(processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultOk);
    EXPECT_EQ(processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
    SpeakerArrangement surround = SpeakerArr::k51;
    EXPECT_EQ(processor->setBusArrangements(&surround, 1, &surround, 1), kResultFalse);
    SpeakerArrangement two[] = {SpeakerArr::kStereo, SpeakerArr::kStereo};
    EXPECT_EQ(processor->setBusArrangements(two, 2, two, 2), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(nullptr, 1, nullptr, 1), kResultFalse);
    EXPECT_EQ(processor->setBusArrangements(&stereo, -1, &stereo, 1), kResultFalse);
    processor->getBusArrangement(kOutput, 0, arrangement);
    EXPECT_EQ(arrangement, SpeakerArr::kStereo);
    EXPECT_EQ(component->getBusCount(kAudio, kOutput), 1);
}

TEST_F(BindingBuses, HostsThatMisreportLayoutsKeepTheDefaults) {
    for (const char* name : {"Ardour 8.4", "Mixbus32C"}) {
        Destroy();
        Create({name, true});
        SpeakerArrangement mono = SpeakerArr::kMono;
        SpeakerArrangement stereo = SpeakerArr::kStereo;
        EXPECT_EQ(processor->setBusArrangements(&mono, 1, &stereo, 1), kResultOk) << name;
        SpeakerArrangement arrangement = 0;
        processor->getBusArrangement(kInput, 0, arrangement);
        EXPECT_EQ(arrangement, SpeakerArr::kStereo) << name;
    }
}

TEST(BindingSpeakers, ArrangementsAreTheStandardLayoutsOfThatWidth) {
    const std::pair<int32_t, SpeakerArrangement> table[] = {
        {1, SpeakerArr::kMono},
        {2, SpeakerArr::kStereo},
        {3, SpeakerArr::k30Cine},
        {4, SpeakerArr::kAmbi1stOrderACN},
        {5, SpeakerArr::k50},
        {6, SpeakerArr::k51},
        {7, SpeakerArr::k70Cine},
        {8, SpeakerArr::k71CineSideFill},
        {9, SpeakerArr::kAmbi2cdOrderACN},
        {10, SpeakerArr::k71_2},
        {16, SpeakerArr::kAmbi3rdOrderACN},
    };
    for (const auto& [channels, expected] : table) {
        const SpeakerArrangement got = plugin::vst3::IPluginVST3::SpeakerArrangementFor(channels);
        EXPECT_EQ(got, expected) << channels;
        EXPECT_EQ(std::popcount(static_cast<uint64>(got)), channels);
    }
    for (int32_t channels : {0, -1, 11, 15, 17})
        EXPECT_EQ(plugin::vst3::IPluginVST3::SpeakerArrangementFor(channels), 0u) << channels;
}

// ---- Parameters, units, programs ----

TEST_F(BindingParameters, HostSeesPresetBypassThenTheParametersInOrder) {
    ASSERT_EQ(controller->getParameterCount(), 2 + kParamCount);
    ParameterInfo info{};
    ASSERT_EQ(controller->getParameterInfo(0, info), kResultOk);
    EXPECT_EQ(info.id, kPresetParamId);
    EXPECT_EQ(ToUtf8(info.title), "Preset");
    EXPECT_EQ(info.stepCount, kPresetCount - 1);
    EXPECT_EQ(info.flags, ParameterInfo::kIsProgramChange);

    ASSERT_EQ(controller->getParameterInfo(1, info), kResultOk);
    EXPECT_EQ(info.id, kBypassParamId);
    EXPECT_EQ(ToUtf8(info.title), "Bypass");
    EXPECT_EQ(info.flags,
              ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsBypass);
    EXPECT_EQ(info.stepCount, 1);

    struct Expected {
        const char* title;
        const char* units;
        int32 stepCount;
        double defaultNormalized;
        int32 flags;
    };
    const Expected expected[kParamCount] = {
        {"Gain", "dB", 0, 20.0 / 30.0, ParameterInfo::kCanAutomate},
        {"Mode", "", 5, 2.0 / 5.0, ParameterInfo::kCanAutomate | ParameterInfo::kIsList},
        {"Switch", "", 1, 0.0, 0},
        {"Drive", "%", 0, 0.5, ParameterInfo::kCanAutomate},
    };
    for (int32 i = 0; i < kParamCount; ++i) {
        ASSERT_EQ(controller->getParameterInfo(2 + i, info), kResultOk);
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
        EXPECT_EQ(ToUtf8(info.title), expected[i].title);
        EXPECT_EQ(ToUtf8(info.units), expected[i].units) << i;
        EXPECT_EQ(ToUtf8(info.shortTitle), "");
        EXPECT_EQ(info.stepCount, expected[i].stepCount) << i;
        EXPECT_NEAR(info.defaultNormalizedValue, expected[i].defaultNormalized, 1e-12) << i;
        EXPECT_EQ(info.flags, expected[i].flags) << i;
        EXPECT_NEAR(controller->getParamNormalized(info.id), expected[i].defaultNormalized, 1e-12);
    }
}

TEST_F(BindingParameters, UnitsAreTheRootAndOnePerGroup) {
    ASSERT_EQ(units->getUnitCount(), 2);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    EXPECT_EQ(ToUtf8(unit.name), "Root");
    EXPECT_EQ(unit.programListId, static_cast<ProgramListID>(kPresetParamId));
    ASSERT_EQ(units->getUnitInfo(1, unit), kResultOk);
    EXPECT_EQ(unit.id, 1);
    EXPECT_EQ(unit.parentUnitId, kRootUnitId);
    EXPECT_EQ(ToUtf8(unit.name), "Tone");

    ParameterInfo info{};
    controller->getParameterInfo(2 + kDrive, info);
    EXPECT_EQ(info.unitId, 1);
    controller->getParameterInfo(2 + kGain, info);
    EXPECT_EQ(info.unitId, kRootUnitId);
}

TEST_F(BindingParameters, ProgramListHoldsThePresets) {
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.id, static_cast<ProgramListID>(kPresetParamId));
    EXPECT_EQ(ToUtf8(list.name), "Factory Presets");
    EXPECT_EQ(list.programCount, kPresetCount);
    EXPECT_EQ(units->getProgramListInfo(1, list), kResultFalse);

    String128 name{};
    ASSERT_EQ(units->getProgramName(kPresetParamId, 1, name), kResultOk);
    EXPECT_EQ(ToUtf8(name), plugin->PresetName(1));
    ASSERT_EQ(units->getProgramName(kPresetParamId, 7, name), kResultOk);
    EXPECT_EQ(ToUtf8(name), "");
    EXPECT_EQ(units->getProgramName(5, 0, name), kResultFalse);
    EXPECT_EQ(units->hasProgramPitchNames(kPresetParamId, 0), kResultFalse);
}

TEST_F(BindingParameters, TextsRoundTripThroughEveryParameter) {
    for (int32 i = 0; i < kParamCount; ++i) {
        ParameterInfo info{};
        controller->getParameterInfo(2 + i, info);
        const int32 steps = info.stepCount > 0 ? info.stepCount : 20;
        for (int32 s = 0; s <= steps; ++s) {
            const double normalized = static_cast<double>(s) / steps;
            String128 text{};
            ASSERT_EQ(controller->getParamStringByValue(info.id, normalized, text), kResultOk);
            ParamValue parsed = -1.0;
            ASSERT_EQ(controller->getParamValueByString(info.id, text, parsed), kResultOk);
            EXPECT_NEAR(parsed, normalized, 1e-9) << ToUtf8(info.title) << " " << ToUtf8(text);
        }
    }
    String128 text{};
    controller->getParamStringByValue(kMode, 0.6, text); // index 3
    EXPECT_EQ(ToUtf8(text), "Mode D");
    controller->getParamStringByValue(kGain, 0.5, text); // -20 + 15
    EXPECT_EQ(ToUtf8(text), "-5.0");
    controller->getParamStringByValue(kBypassParamId, 0.0, text);
    EXPECT_EQ(ToUtf8(text), "off");
    controller->getParamStringByValue(kBypassParamId, 1.0, text);
    EXPECT_EQ(ToUtf8(text), "on");
}

TEST_F(BindingParameters, PlainValuesAreTheParametersOwnUnits) {
    EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kGain, 0.5), -5.0);
    EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kMode, 0.6), 3.0);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kGain, -5.0), 0.5);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kGain, 15.0), 1.0);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kDrive, -3.0), 0.0);
    EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(kPresetParamId, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kPresetParamId, 1.0), 1.0);

    // With a single preset every position selects it: no division by zero.
    plugin::vst3::IPluginVST3PresetParameter single(1);
    EXPECT_EQ(single.toNormalized(0.0), 0.0);
    EXPECT_EQ(single.toNormalized(3.0), 0.0);
    EXPECT_EQ(single.toPlain(1.0), 0.0);
    plugin::vst3::IPluginVST3PresetParameter five(5);
    EXPECT_DOUBLE_EQ(five.toPlain(0.6), 2.0); // round(4 * 0.6)
    EXPECT_DOUBLE_EQ(five.toNormalized(2.0), 0.5);
}

TEST_F(BindingParameters, SettingFromTheHostReachesTheFramework) {
    ASSERT_EQ(controller->setParamNormalized(kGain, 0.25), kResultOk);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kGain)->CurrentValue(), -12.5);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kGain), 0.25);
    ASSERT_EQ(controller->setParamNormalized(kMode, 1.0), kResultOk);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kMode)->CurrentValue(), 5.0);
    // The controller path does not run the audio-side hook.
    EXPECT_EQ(plugin->hostChanges.load(), 0);

    EXPECT_EQ(controller->setParamNormalized(999, 0.5), kResultFalse);
    EXPECT_EQ(controller->getParamNormalized(999), 0.0);
    EXPECT_EQ(controller->setParamNormalized(kGain, std::nan("")), kResultFalse);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kGain)->CurrentValue(), -12.5);
    ASSERT_EQ(controller->setParamNormalized(kGain, 7.0), kResultOk);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kGain), 1.0);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kGain)->CurrentValue(), 10.0);

    // The bypass value is only stored; the processor's flag is the audio
    // side's.
    ASSERT_EQ(controller->setParamNormalized(kBypassParamId, 1.0), kResultOk);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kBypassParamId), 1.0);
    EXPECT_FALSE(plugin->IsBypassed());
}

TEST_F(BindingParameters, PresetParameterRecallsThePreset) {
    ASSERT_EQ(controller->setParamNormalized(kPresetParamId, 1.0), kResultOk);
    EXPECT_EQ(plugin->CurrentPresetIndex(), 1);
    ASSERT_EQ(controller->setParamNormalized(kPresetParamId, 0.2), kResultOk);
    EXPECT_EQ(plugin->CurrentPresetIndex(), 0);
}

TEST_F(BindingParameters, MidiControllersMapOnBusZeroChannelZeroOnly) {
    auto mapping = Query<IMidiMapping>(component);
    ParamID id = 0;
    ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, 7, id), kResultOk);
    EXPECT_EQ(id, 0x10009u);
    ASSERT_EQ(mapping->getMidiControllerAssignment(0, 0, ControllerNumbers::kPitchBend, id),
              kResultOk);
    EXPECT_EQ(id, 0x10002u + 129u);
    EXPECT_EQ(mapping->getMidiControllerAssignment(1, 0, 7, id), kResultFalse);
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 1, 7, id), kResultFalse);
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, -1, 7, id), kResultFalse);
    EXPECT_EQ(mapping->getMidiControllerAssignment(0, 0, 130, id), kResultFalse);
}

TEST_F(BindingParameters, EditorEditsReachTheHostAndTheController) {
    plugin->BeginParamEdit(kDrive);
    plugin->SetParamFromEditor(kDrive, 0.75);
    plugin->EndParamEdit(kDrive);
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kDrive)->CurrentValue(), 75.0);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kDrive), 0.75);
    const auto calls = handler->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, vst3host::HandlerCall::Kind::BeginEdit);
    EXPECT_EQ(calls[1].kind, vst3host::HandlerCall::Kind::PerformEdit);
    EXPECT_EQ(calls[1].id, static_cast<ParamID>(kDrive));
    EXPECT_DOUBLE_EQ(calls[1].normalized, 0.75);
    EXPECT_EQ(calls[2].kind, vst3host::HandlerCall::Kind::EndEdit);
}

// ---- State ----

TEST_F(BindingState, StreamIsTheValuesThenTheBypassFlag) {
    controller->setParamNormalized(kGain, 0.25);
    controller->setParamNormalized(kMode, 0.2);
    const std::vector<uint8_t> bytes = GetState();
    ASSERT_EQ(bytes.size(), 8u * kParamCount + 4u);
    EXPECT_EQ(ReadDouble(bytes, 0), -12.5);
    EXPECT_EQ(ReadDouble(bytes, 8), 1.0);
    EXPECT_EQ(ReadDouble(bytes, 16), 0.0);
    EXPECT_EQ(ReadDouble(bytes, 24), 50.0);
    EXPECT_EQ(ReadInt32(bytes, 32), 0);
}

TEST_F(BindingState, RestoringSetsParametersAndTheHostBypass) {
    std::vector<uint8_t> bytes;
    for (double value : {6.5, 4.0, 1.0, 20.0})
        AppendDouble(bytes, value);
    AppendInt32(bytes, 1);
    ASSERT_EQ(SetState(bytes), kResultOk);
    EXPECT_EQ(plugin->ParamAt(kGain)->CurrentValue(), 6.5);
    EXPECT_EQ(plugin->ParamAt(kMode)->CurrentValue(), 4.0);
    EXPECT_EQ(plugin->ParamAt(kSwitch)->CurrentValue(), 1.0);
    EXPECT_EQ(plugin->ParamAt(kDrive)->CurrentValue(), 20.0);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kGain), 26.5 / 30.0);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kDrive), 0.2);
    EXPECT_EQ(controller->getParamNormalized(kBypassParamId), 1.0);
    // The processor's own flag follows the bypass parameter during
    // processing, not the state.
    EXPECT_FALSE(plugin->IsBypassed());

    bytes.back() = 0;
    bytes[bytes.size() - 4] = 0;
    ASSERT_EQ(SetState(bytes), kResultOk);
    EXPECT_EQ(controller->getParamNormalized(kBypassParamId), 0.0);
    // Round trip through the plug-in's own writer.
    EXPECT_EQ(GetState(), bytes);
}

TEST_F(BindingState, DamagedStreamsAreRefusedOrLimitedNeverPoisonous) {
    std::vector<uint8_t> good;
    for (double value : {-3.0, 2.0, 0.0, 40.0})
        AppendDouble(good, value);
    AppendInt32(good, 0);

    EXPECT_EQ(SetState({}), kResultFalse);
    EXPECT_EQ(SetState(std::vector<uint8_t>(good.begin(), good.begin() + 13)), kResultFalse);
    // All values but no flag: the values stay restored, the call fails.
    EXPECT_EQ(SetState(std::vector<uint8_t>(good.begin(), good.begin() + 32)), kResultFalse);
    EXPECT_EQ(plugin->ParamAt(kDrive)->CurrentValue(), 40.0);
    EXPECT_DOUBLE_EQ(controller->getParamNormalized(kDrive), 0.4);

    std::vector<uint8_t> oversized = good;
    oversized.resize(good.size() + 5000, 0xAB);
    EXPECT_EQ(SetState(oversized), kResultOk);

    std::vector<uint8_t> poison;
    for (double value : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300})
        AppendDouble(poison, value);
    AppendInt32(poison, 77);
    EXPECT_EQ(SetState(poison), kResultOk);
    for (int32 i = 0; i < kParamCount; ++i) {
        const plugin::IParam& param = *plugin->ParamAt(i);
        EXPECT_TRUE(std::isfinite(param.CurrentValue())) << i;
        EXPECT_GE(param.CurrentValue(), param.Min()) << i;
        EXPECT_LE(param.CurrentValue(), param.Max()) << i;
        const double normalized = controller->getParamNormalized(static_cast<ParamID>(i));
        EXPECT_TRUE(normalized >= 0.0 && normalized <= 1.0) << i;
    }
    EXPECT_EQ(plugin->ParamAt(kGain)->CurrentValue(), -3.0); // a NaN leaves the value
    EXPECT_EQ(controller->getParamNormalized(kBypassParamId), 1.0);

    for (int seed = 1; seed <= 50; ++seed) {
        std::vector<uint8_t> garbage(static_cast<std::size_t>(seed * 7));
        uint32_t x = static_cast<uint32_t>(seed) * 2654435761u;
        for (uint8_t& b : garbage) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            b = static_cast<uint8_t>(x);
        }
        SetState(garbage);
        for (int32 i = 0; i < kParamCount; ++i) {
            const double value = plugin->ParamAt(i)->CurrentValue();
            EXPECT_TRUE(std::isfinite(value) && value >= plugin->ParamAt(i)->Min() &&
                        value <= plugin->ParamAt(i)->Max());
        }
    }
    EXPECT_EQ(component->setState(nullptr), kResultFalse);
    EXPECT_EQ(component->getState(nullptr), kResultFalse);
}

TEST_F(BindingState, ControllerStateCallsChangeNothing) {
    auto* stream = new MemoryStream;
    EXPECT_EQ(controller->setComponentState(stream), kResultOk);
    stream->release();
    EXPECT_DOUBLE_EQ(plugin->ParamAt(kGain)->CurrentValue(), 0.0);
}

// ---- Host, channel context, lifecycle ----

TEST_F(BindingHost, InitializeIdentifiesTheHostOnceAndAnnouncesEveryParameter) {
    EXPECT_EQ(plugin->HostName(), "Lumaro Test Host");
    EXPECT_EQ(plugin->IdentifiedHostKind(), plugin::HostKind::Unknown);
    EXPECT_EQ(plugin->hostKnownCalls.load(), 1);
    EXPECT_EQ(plugin->resetAnnouncements.load(), kParamCount);

    Destroy();
    Create({"Cubase Pro 13", true});
    EXPECT_EQ(plugin->IdentifiedHostKind(), plugin::HostKind::Cubase);
    component->terminate();
    auto other = owned(new vst3host::HostContext({"REAPER", true}));
    ASSERT_EQ(component->initialize(Unknown(other)), kResultOk);
    EXPECT_EQ(plugin->IdentifiedHostKind(), plugin::HostKind::Cubase); // once per instance
    EXPECT_EQ(plugin->hostKnownCalls.load(), 2);
    EXPECT_EQ(controller->getParameterCount(), 2 + kParamCount); // rebuilt, not doubled
    EXPECT_EQ(units->getUnitCount(), 2);
    component->terminate();
    component->initialize(Unknown(context));
}

TEST_F(BindingHost, TerminateRemovesBusesParametersAndUnits) {
    ASSERT_EQ(component->terminate(), kResultOk);
    EXPECT_EQ(controller->getParameterCount(), 0);
    EXPECT_EQ(units->getUnitCount(), 0);
    EXPECT_EQ(units->getProgramListCount(), 1); // answered from the presets
    EXPECT_EQ(component->getBusCount(kAudio, kInput), 0);
    ASSERT_EQ(component->initialize(Unknown(context)), kResultOk);
    EXPECT_EQ(component->getBusCount(kAudio, kInput), 1);
}

TEST_F(BindingHost, IdleTimerRunsOnTheHostRunLoopUntilTerminate) {
    vst3host::FakeRunLoop& loop = context->RunLoop();
    ASSERT_EQ(loop.TimerCount(), 1u);
    EXPECT_EQ(loop.TimerIntervalMs(0), 20u);
    ASSERT_NE(plugin->IdleRunLoop(), nullptr);

    // A latency change made on the audio thread is reported by the tick.
    Start();
    plugin->RequestLatencyFromAudioThread(64);
    std::vector<float> left(16, 0.0f), right(16, 0.0f);
    float* io[] = {left.data(), right.data()};
    Process(io, io, 2, 16);
    EXPECT_EQ(handler->Count(vst3host::HandlerCall::Kind::RestartComponent), 0u);
    loop.AdvanceMs(20);
    EXPECT_EQ(handler->RestartFlags(), kLatencyChanged);
    EXPECT_EQ(processor->getLatencySamples(), 64u);

    component->terminate();
    EXPECT_EQ(loop.TimerCount(), 0u);
    component->initialize(Unknown(context));
    EXPECT_EQ(loop.TimerCount(), 1u);
}

TEST_F(BindingHost, WithoutARunLoopTheTimerKeepsItsOwnThread) {
    Destroy();
    Create({"No Loop Host", false});
    EXPECT_EQ(plugin->IdleRunLoop(), nullptr);
    ASSERT_NE(plugin->IdleTimer(), nullptr);
    EXPECT_TRUE(plugin->IdleTimer()->IsRunning());
    EXPECT_FALSE(plugin->IdleTimer()->IsOnRunLoop());
}

IPtr<Linux::IRunLoop> RunLoopOf(vst3host::HostContext& frame) {
    return plugin::vst3::RunLoopTimer::FindRunLoop(Unknown(&frame));
}

// The latest restartComponent, waited for up to a second (the timer's own
// thread reports within a period).
std::optional<vst3host::HandlerCall> AwaitRestart(vst3host::RecordingComponentHandler& handler) {
    using Kind = vst3host::HandlerCall::Kind;
    for (int waited = 0; waited < 1000; waited += 5) {
        if (handler.Count(Kind::RestartComponent) > 0) {
            const auto calls = handler.Calls();
            return *std::find_if(calls.rbegin(), calls.rend(), [](const auto& call) {
                return call.kind == Kind::RestartComponent;
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

// Most hosts offer a run loop only to an open editor's frame: while one is
// attached the timer ticks there, so latency reports come from the UI
// thread; once it is removed they come from the timer's own thread again.
TEST_F(BindingHost, AnAttachedEditorsRunLoopCarriesTheTimerUntilRemoved) {
    Destroy();
    Create({"No Loop Host", false});
    auto frame = owned(new vst3host::HostContext);
    vst3host::FakeRunLoop& frameLoop = frame->RunLoop();
    Start();

    plugin->OfferEditorRunLoop(RunLoopOf(*frame));
    plugin->OfferEditorRunLoop(RunLoopOf(*frame)); // attached again: nothing changes
    ASSERT_EQ(frameLoop.TimerCount(), 1u);
    EXPECT_EQ(frameLoop.TimerIntervalMs(0), 20u);
    ASSERT_NE(plugin->IdleRunLoop(), nullptr);
    EXPECT_EQ(plugin->IdleRunLoop()->RunLoop(), RunLoopOf(*frame).get());

    std::vector<float> left(16, 0.0f), right(16, 0.0f);
    float* io[] = {left.data(), right.data()};
    plugin->RequestLatencyFromAudioThread(64);
    Process(io, io, 2, 16);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(handler->Count(vst3host::HandlerCall::Kind::RestartComponent), 0u)
        << "the timer's own thread ticked while the editor's run loop had it";
    frameLoop.AdvanceMs(20);
    auto restart = AwaitRestart(*handler);
    ASSERT_TRUE(restart);
    EXPECT_EQ(restart->thread, std::this_thread::get_id());
    EXPECT_EQ(processor->getLatencySamples(), 64u);

    plugin->WithdrawEditorRunLoop();
    plugin->WithdrawEditorRunLoop();
    EXPECT_EQ(frameLoop.TimerCount(), 0u);
    EXPECT_EQ(plugin->IdleRunLoop(), nullptr);
    handler->Clear();
    plugin->RequestLatencyFromAudioThread(32);
    Process(io, io, 2, 16);
    restart = AwaitRestart(*handler);
    ASSERT_TRUE(restart) << "no tick after the editor's run loop went";
    EXPECT_NE(restart->thread, std::this_thread::get_id());
    EXPECT_EQ(processor->getLatencySamples(), 32u);
}

// The host context's run loop, lasting from initialize to terminate, is
// preferred to an editor's; an editor still attached takes over when a
// later initialize offers none.
TEST_F(BindingHost, TheHostContextsRunLoopIsPreferredToTheEditors) {
    vst3host::FakeRunLoop& hostLoop = context->RunLoop();
    auto frame = owned(new vst3host::HostContext);
    plugin->OfferEditorRunLoop(RunLoopOf(*frame));
    EXPECT_EQ(hostLoop.TimerCount(), 1u);
    EXPECT_EQ(frame->RunLoop().TimerCount(), 0u);

    component->terminate();
    EXPECT_EQ(hostLoop.TimerCount(), 0u);
    EXPECT_EQ(frame->RunLoop().TimerCount(), 0u);
    auto bare = owned(new vst3host::HostContext({"Bare", false}));
    ASSERT_EQ(component->initialize(Unknown(bare)), kResultOk);
    EXPECT_EQ(frame->RunLoop().TimerCount(), 1u);

    plugin->WithdrawEditorRunLoop();
    EXPECT_EQ(frame->RunLoop().TimerCount(), 0u);
    ASSERT_NE(plugin->IdleTimer(), nullptr);
    EXPECT_TRUE(plugin->IdleTimer()->IsRunning());
    EXPECT_FALSE(plugin->IdleTimer()->IsOnRunLoop());
}

TEST(BindingFactory, RunLoopOfTheFactoryContextServesFromConstruction) {
    IPtr<IPluginFactory> factory = owned(GetPluginFactory());
    ASSERT_TRUE(factory);
    auto factory3 = Query<IPluginFactory3>(factory);
    auto hostContext = owned(new vst3host::HostContext());
    ASSERT_EQ(factory3->setHostContext(Unknown(hostContext)), kResultOk);

    IComponent* component = nullptr;
    ASSERT_EQ(factory->createInstance(kTestClassId, IComponent::iid,
                                      reinterpret_cast<void**>(&component)),
              kResultOk);
    EXPECT_EQ(hostContext->RunLoop().TimerCount(), 1u);
    auto bare = owned(new vst3host::HostContext({"Bare", false}));
    ASSERT_EQ(component->initialize(Unknown(bare)), kResultOk);
    EXPECT_EQ(hostContext->RunLoop().TimerCount(), 1u);
    component->terminate();
    component->release();
    EXPECT_EQ(hostContext->RunLoop().TimerCount(), 0u);

    void* wrong = nullptr;
    const TUID otherId = INLINE_UID(1, 2, 3, 4);
    EXPECT_NE(factory->createInstance(otherId, IComponent::iid, &wrong), kResultOk);
    EXPECT_EQ(wrong, nullptr);
    factory3->setHostContext(nullptr);
}

TEST_F(BindingHost, ChannelContextFillsTheTrackInformation) {
    auto listener = Query<ChannelContext::IInfoListener>(component);
    EXPECT_EQ(listener->setChannelContextInfos(nullptr), kResultFalse);

    auto* list = new HostAttributeList;
    const char16_t name[] = u"Dr\u00fcms";
    list->setInt(ChannelContext::kChannelNameLengthKey, 5);
    list->setString(ChannelContext::kChannelNameKey, reinterpret_cast<const TChar*>(name));
    list->setInt(ChannelContext::kChannelColorKey, 0xFF102030);
    list->setInt(ChannelContext::kChannelIndexKey, 7);
    ASSERT_EQ(listener->setChannelContextInfos(list), kResultOk);
    list->release();

    std::string text;
    plugin->TrackName(text);
    EXPECT_EQ(text, "Dr\xC3\xBCms");
    EXPECT_EQ(plugin->TrackIndex(), 7);
    int32_t red = 0, green = 0, blue = 0;
    plugin->TrackColour(red, green, blue);
    EXPECT_EQ(red, 0x10);
    EXPECT_EQ(green, 0x20);
    EXPECT_EQ(blue, 0x30);

    auto* colourOnly = new HostAttributeList;
    colourOnly->setInt(ChannelContext::kChannelColorKey, 0x00FF0000);
    ASSERT_EQ(listener->setChannelContextInfos(colourOnly), kResultOk);
    colourOnly->release();
    plugin->TrackName(text);
    EXPECT_EQ(text, "Dr\xC3\xBCms");
    plugin->TrackColour(red, green, blue);
    EXPECT_EQ(red, 0xFF);
    EXPECT_EQ(blue, 0);
}

} // namespace
