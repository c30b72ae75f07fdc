// "Lumaro EQ.vst3" as a host scans, instantiates, describes, stores and
// restores it, through the real module.

#include "EqualizerModule.h"

#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"

#include <cmath>

namespace {

using namespace eq_module;

using Scanning = EqualizerModule;
using HostParameters = EqualizerModule;
using StateStream = EqualizerModule;
using Lifecycle = EqualizerModule;

// ---- Scanning ----

TEST_F(Scanning, FactoryAndClassRecords) {
    const PFactoryInfo& factory = module->FactoryInfo();
    EXPECT_STREQ(factory.vendor, "Corvane Audio");
    EXPECT_EQ(factory.flags, PFactoryInfo::kUnicode);
    ASSERT_EQ(module->Classes().size(), 1u);
    const vst3host::ClassInfo& info = module->Classes().front();
    EXPECT_EQ(std::memcmp(info.cid, kClassIdBytes, sizeof(TUID)), 0);
    EXPECT_EQ(info.category, "Audio Module Class");
    EXPECT_EQ(info.name, "Lumaro EQ");
    EXPECT_EQ(info.subCategories, "Fx|EQ");
    EXPECT_EQ(info.version, "4.0.6");
    EXPECT_EQ(info.sdkVersion, "VST 3.8.0");
    EXPECT_EQ(info.classFlags, 2u);
    EXPECT_EQ(info.cardinality, PClassInfo::kManyInstances);
    EXPECT_EQ(info.vendor, "");
}

TEST_F(Scanning, ClassIdTextIsThePlatformNeutralForm) {
    const FUID fuid = FUID::fromTUID(module->Classes().front().cid);
    char text[33] = {};
    fuid.toString(text);
    EXPECT_STREQ(text, "F2AEE70D00DE4F4E437661"
                       "6E326C3837");
}

TEST_F(Scanning, WrongClassIdIsRefused) {
    TUID wrong;
    ClassId(wrong);
    wrong[15] ^= 1;
    void* object = nullptr;
    EXPECT_NE(module->Factory()->createInstance(wrong, IComponent::iid, &object), kResultOk);
    EXPECT_EQ(object, nullptr);
}

TEST_F(Scanning, InstanceAnswersTheHostInterfaces) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    EXPECT_TRUE(instance->IsSingleComponent());
    FUnknownPtr<IProcessContextRequirements> requirements(instance->Component());
    ASSERT_TRUE(requirements);
    EXPECT_EQ(requirements->getProcessContextRequirements(), 0u);
    FUnknownPtr<IMidiMapping> mapping(instance->Component());
    EXPECT_TRUE(mapping);
    // The equalizer has an editor: its view is for X11 embedding only.
    IPtr<IPlugView> view = owned(instance->Controller()->createView(ViewType::kEditor));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    EXPECT_EQ(instance->Processor()->getTailSamples(), 0u);
    EXPECT_EQ(instance->Processor()->getLatencySamples(), 0u);
}

// ---- Parameters, units, programs ----

struct ExpectedParam {
    ParamID id;
    const char* title;
    const char* units;
    int32 stepCount;
    double defaultNormalized;
    int32 flags;
};

// From the plug-in's parameter table: ranges, defaults and kinds.
constexpr int32 kAuto = ParameterInfo::kCanAutomate;
constexpr int32 kList = ParameterInfo::kIsList;
const ExpectedParam kExpected[] = {
    {kPresetId, "Preset", "", 0, 0.0, ParameterInfo::kIsProgramChange},
    {kBypassId, "Bypass", "", 1, 0.0, kAuto | kList | ParameterInfo::kIsBypass},
    {0, "HPF", "", 5, 0.0, kAuto | kList},
    {1, "LoShelf Freq", "", 3, 0.0, kAuto | kList},
    {2, "LoShelf Level", "dB", 0, 0.5, kAuto},
    {3, "MF 1 Freq", "", 5, 0.4, kAuto | kList},
    {4, "MF Level 1", "dB", 0, 0.5, kAuto},
    {5, "MF 2 Freq", "", 6, 0.5, kAuto | kList},
    {6, "MF Level 2", "dB", 0, 0.5, kAuto},
    {7, "HiShelf Level", "dB", 0, 0.5, kAuto},
    {8, "Gain", "dB", 0, 20.0 / 30.0, kAuto},
    {9, "Oversampling", "", 1, 0.0, 0},
};

TEST_F(HostParameters, TwelveParametersInOrderWithTheirDescriptions) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    IEditController* controller = instance->Controller();
    ASSERT_EQ(controller->getParameterCount(), 12);
    for (int32 i = 0; i < 12; ++i) {
        ParameterInfo info{};
        ASSERT_EQ(controller->getParameterInfo(i, info), kResultOk);
        const ExpectedParam& expected = kExpected[i];
        EXPECT_EQ(info.id, expected.id) << i;
        EXPECT_EQ(ToUtf8(info.title), expected.title) << i;
        EXPECT_EQ(ToUtf8(info.units), expected.units) << expected.title;
        EXPECT_EQ(info.stepCount, expected.stepCount) << expected.title;
        EXPECT_NEAR(info.defaultNormalizedValue, expected.defaultNormalized, 1e-12)
            << expected.title;
        EXPECT_EQ(info.flags, expected.flags) << expected.title;
        EXPECT_EQ(info.unitId, kRootUnitId);
        EXPECT_NEAR(controller->getParamNormalized(info.id), expected.defaultNormalized, 1e-12);
    }
}

TEST_F(HostParameters, DisplayTextsOfTheDefaultsAndListEntries) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    IEditController* controller = instance->Controller();
    const auto text = [controller](ParamID id, double normalized) {
        String128 string{};
        controller->getParamStringByValue(id, normalized, string);
        return ToUtf8(string);
    };
    EXPECT_EQ(text(0, 0.0), "Off");
    EXPECT_EQ(text(0, 0.6), "80 Hz");
    EXPECT_EQ(text(3, 0.4), "240 Hz");
    EXPECT_EQ(text(5, 0.5), "2500 Hz");
    EXPECT_EQ(text(5, 4.0 / 6.0), "3150 Hz");
    EXPECT_EQ(text(9, 0.0), "off");
    EXPECT_EQ(text(9, 1.0), "on");
    EXPECT_EQ(text(2, 0.5), "0.0");
    EXPECT_EQ(text(8, 1.0), "10.0");
    EXPECT_EQ(text(kBypassId, 0.0), "off");
    EXPECT_EQ(text(kBypassId, 1.0), "on");
}

TEST_F(HostParameters, ValuesRoundTripThroughTheirTexts) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    IEditController* controller = instance->Controller();
    for (int32 i = 0; i < 12; ++i) {
        ParameterInfo info{};
        controller->getParameterInfo(i, info);
        if (info.id == kPresetId)
            continue; // one preset: a single position
        // Continuous parameters: every 0.5 dB of their range (one decimal shown).
        const int32 steps = info.stepCount > 0 ? info.stepCount : (info.id == 8 ? 60 : 80);
        for (int32 s = 0; s <= steps; ++s) {
            const double normalized = static_cast<double>(s) / steps;
            String128 string{};
            ASSERT_EQ(controller->getParamStringByValue(info.id, normalized, string), kResultOk);
            ParamValue parsed = -1.0;
            ASSERT_EQ(controller->getParamValueByString(info.id, string, parsed), kResultOk);
            EXPECT_NEAR(parsed, normalized, 1e-9) << ToUtf8(info.title) << ": " << ToUtf8(string);
        }
    }
    // Plain values are the parameters' own units.
    EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(8, 0.5), -5.0);
    EXPECT_DOUBLE_EQ(controller->normalizedParamToPlain(5, 0.5), 3.0);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(8, 15.0), 1.0);
    EXPECT_DOUBLE_EQ(controller->plainParamToNormalized(kPresetId, 0.0), 0.0);
}

TEST_F(HostParameters, OneRootUnitAndTheFactoryPresetList) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    auto units = Units(*instance);
    ASSERT_TRUE(units);
    ASSERT_EQ(units->getUnitCount(), 1);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    EXPECT_EQ(ToUtf8(unit.name), "Root");
    EXPECT_EQ(unit.id, kRootUnitId);
    EXPECT_EQ(unit.parentUnitId, kNoParentUnitId);
    ASSERT_EQ(units->getProgramListCount(), 1);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(ToUtf8(list.name), "Factory Presets");
    EXPECT_EQ(list.id, static_cast<ProgramListID>(kPresetId));
    EXPECT_EQ(list.programCount, 1);
    // Any position of the preset parameter recalls the one preset.
    EXPECT_EQ(instance->Controller()->setParamNormalized(kPresetId, 0.8), kResultOk);
}

// ---- State ----

TEST_F(StateStream, EightyFourBytesOfValuesAndTheBypassFlag) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(instance->GetState(bytes), kResultOk);
    ASSERT_EQ(bytes.size(), 84u);
    const double defaults[kParamCount] = {0, 0, 0, 2, 0, 3, 0, 0, 0, 0};
    for (int32 i = 0; i < kParamCount; ++i)
        EXPECT_EQ(ReadDouble(bytes, 8u * static_cast<std::size_t>(i)), defaults[i]) << i;
    EXPECT_EQ(ReadInt32(bytes, 80), 0);

    IEditController* controller = instance->Controller();
    controller->setParamNormalized(kGain, 0.5);          // -5 dB
    controller->setParamNormalized(kLoShelfLevel, 0.75); // +10 dB
    controller->setParamNormalized(kHpf, 0.6);           // index 3
    ASSERT_EQ(instance->GetState(bytes), kResultOk);
    EXPECT_EQ(ReadDouble(bytes, 8 * kGain), -5.0);
    EXPECT_EQ(ReadDouble(bytes, 8 * kLoShelfLevel), 10.0);
    EXPECT_EQ(ReadDouble(bytes, 8 * kHpf), 3.0);
}

TEST_F(StateStream, RoundTripIntoAnotherInstanceIncludingBypass) {
    auto source = MakeRunning();
    ASSERT_TRUE(source);
    vst3host::ParameterChanges changes;
    changes.Add(kBypassId, 0, 1.0);
    changes.Add(kHiShelfLevel, 0, 0.25); // -10 dB
    ASSERT_EQ(source->Process(static_cast<float* const*>(nullptr), 0, nullptr, 0, 0, &changes),
              kResultOk);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(source->GetState(bytes), kResultOk);
    ASSERT_EQ(bytes.size(), 84u);
    EXPECT_EQ(ReadDouble(bytes, 8 * kHiShelfLevel), -10.0);
    EXPECT_EQ(ReadInt32(bytes, 80), 1);

    auto target = Make();
    ASSERT_TRUE(target);
    ASSERT_EQ(target->SetState(bytes), kResultOk);
    EXPECT_EQ(target->Controller()->getParamNormalized(kBypassId), 1.0);
    EXPECT_DOUBLE_EQ(target->Controller()->getParamNormalized(kHiShelfLevel), 0.25);
    std::vector<uint8_t> again;
    target->GetState(again);
    // The processor's bypass follows the host's parameter during processing,
    // so only the values are expected to match before any process call.
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 80, again.begin()));
}

TEST_F(StateStream, DamagedStreamsNeverLeaveBadValues) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    std::vector<uint8_t> good;
    for (double value : {1.0, 2.0, -7.5, 4.0, 3.0, 6.0, 12.0, -1.0, 5.5, 0.0})
        AppendDouble(good, value);
    AppendInt32(good, 0);

    std::vector<std::vector<uint8_t>> streams;
    streams.emplace_back();                                // empty
    streams.emplace_back(good.begin(), good.begin() + 40); // truncated
    streams.emplace_back(good.begin(), good.begin() + 82); // flag cut
    std::vector<uint8_t> oversized = good;
    oversized.resize(100000, 0x5A);
    streams.push_back(oversized);
    std::vector<uint8_t> poison;
    for (double value :
         {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e308, -1e308, 99.0, std::nan(""), 0.5, 1e-310, 7.0})
        AppendDouble(poison, value);
    AppendInt32(poison, -5);
    streams.push_back(poison);
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::vector<uint8_t> garbage;
        for (double v : Noise(seed % 13 + 1, 1e6, seed))
            AppendDouble(garbage, v);
        garbage.resize(garbage.size() + seed % 5, 0xFF);
        streams.push_back(garbage);
    }

    for (const auto& stream : streams) {
        instance->SetState(stream);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(instance->GetState(bytes), kResultOk);
        ASSERT_EQ(bytes.size(), 84u);
        for (int32 i = 0; i < 12; ++i) {
            ParameterInfo info{};
            instance->Controller()->getParameterInfo(i, info);
            const double normalized = instance->Controller()->getParamNormalized(info.id);
            EXPECT_TRUE(normalized >= 0.0 && normalized <= 1.0) << ToUtf8(info.title);
            if (info.id < static_cast<ParamID>(kParamCount)) {
                const double value = ReadDouble(bytes, 8u * info.id);
                const double plain = instance->Controller()->normalizedParamToPlain(info.id, 0.0);
                const double top = instance->Controller()->normalizedParamToPlain(info.id, 1.0);
                EXPECT_TRUE(std::isfinite(value) && value >= plain && value <= top)
                    << ToUtf8(info.title) << " " << value;
            }
        }
    }
    // The good stream, whole, restores exactly.
    ASSERT_EQ(instance->SetState(good), kResultOk);
    std::vector<uint8_t> bytes;
    instance->GetState(bytes);
    EXPECT_TRUE(std::equal(good.begin(), good.begin() + 80, bytes.begin()));
    EXPECT_EQ(instance->SetState(std::vector<uint8_t>(good.begin(), good.begin() + 40)),
              kResultFalse);
}

// ---- Lifecycle ----

TEST_F(Lifecycle, InitializeTerminateInitializeAgain) {
    auto instance = Make();
    ASSERT_TRUE(instance);
    ASSERT_EQ(instance->Terminate(), kResultOk);
    ASSERT_EQ(instance->Initialize(context->Unknown()), kResultOk);
    EXPECT_EQ(instance->Controller()->getParameterCount(), 12);
    EXPECT_EQ(instance->Component()->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(context->RunLoop().TimerCount(), 1u);
    ASSERT_EQ(instance->Terminate(), kResultOk);
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
}

TEST_F(Lifecycle, ActivationAndProcessingInEveryOrderTheSdkAllows) {
    std::vector<float> buffer(64, 0.25f);
    float* io[] = {buffer.data(), buffer.data()};
    const auto process = [&](vst3host::PluginInstance& instance) {
        return instance.Process(io, 2, io, 2, 64);
    };
    auto instance = Make();
    ASSERT_TRUE(instance);
    vst3host::ProcessConfig config;
    // set up, activate, process on, process, off, deactivate: twice
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
        ASSERT_EQ(instance->SetActive(true), kResultOk);
        ASSERT_EQ(instance->SetProcessing(true), kResultOk);
        EXPECT_EQ(process(*instance), kResultOk);
        ASSERT_EQ(instance->SetProcessing(false), kResultOk);
        ASSERT_EQ(instance->SetActive(false), kResultOk);
    }
    // Activation without processing, repeated stops, a new set-up while
    // inactive, then deactivation without a stop.
    ASSERT_EQ(instance->SetActive(true), kResultOk);
    ASSERT_EQ(instance->SetActive(false), kResultOk);
    ASSERT_EQ(instance->SetProcessing(false), kResultOk);
    config.sampleRate = 96000.0;
    ASSERT_EQ(instance->SetupProcessing(config), kResultOk);
    ASSERT_EQ(instance->SetActive(true), kResultOk);
    ASSERT_EQ(instance->SetProcessing(true), kResultOk);
    EXPECT_EQ(process(*instance), kResultOk);
    ASSERT_EQ(instance->SetActive(false), kResultOk);
    for (float sample : buffer)
        EXPECT_TRUE(std::isfinite(sample));
    // The destructor terminates a still-initialized instance.
}

TEST_F(Lifecycle, AHundredInstancesComeAndGo) {
    for (int i = 0; i < 100; ++i) {
        auto instance = i % 2 == 0 ? MakeRunning() : Make();
        ASSERT_TRUE(instance) << i;
    }
    EXPECT_EQ(context->RunLoop().TimerCount(), 0u);
}

} // namespace
