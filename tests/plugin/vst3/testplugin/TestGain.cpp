// A minimal stereo gain effect built on the generic VST 3 pieces, used by the
// tests to drive them through a real module exactly as a host would.
#include "TestGainIds.h"

#include "plugin/vst3/ModuleEntry.h"
#include "plugin/vst3/PluginFactory.h"
#include "plugin/vst3/SingleComponentEffect.h"

#include "base/source/fobject.h"
#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ustring.h"
#include "pluginterfaces/gui/iplugview.h"
#include "pluginterfaces/vst/ivstparameterchanges.h"
#include "pluginterfaces/vst/ivstplugview.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace {

using namespace Steinberg;
using namespace Steinberg::Vst;

class TestGain;

// Forwards the host run loop's ticks to the effect.
class IdleTimer : public FObject, public Linux::ITimerHandler {
public:
    explicit IdleTimer(TestGain& owner) : owner(owner) {}
    void PLUGIN_API onTimer() override;

    OBJ_METHODS(IdleTimer, FObject)
    DEFINE_INTERFACES
    DEF_INTERFACE(Linux::ITimerHandler)
    END_DEFINE_INTERFACES(FObject)
    REFCOUNT_METHODS(FObject)

private:
    TestGain& owner;
};

class TestGain : public plugin::vst3::SingleComponentEffect {
public:
    tresult PLUGIN_API initialize(FUnknown* context) override {
        const tresult result = SingleComponentEffect::initialize(context);
        if (result != kResultOk)
            return result;
        addAudioInput(STR16("Input"), SpeakerArr::kStereo);
        addAudioOutput(STR16("Output"), SpeakerArr::kStereo);
        parameters.addParameter(STR16("Gain"), nullptr, 0, test_gain::kDefaultGainNormalized,
                                ParameterInfo::kCanAutomate, test_gain::kGainParamId);
        StartTimer(context);
        return kResultOk;
    }

    tresult PLUGIN_API terminate() override {
        StopTimer();
        return SingleComponentEffect::terminate();
    }

    tresult PLUGIN_API canProcessSampleSize(int32 size) override {
        return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
    }

    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }

    tresult PLUGIN_API process(ProcessData& data) override {
        ApplyParameterChanges(data.inputParameterChanges);
        if (data.numInputs < 1 || data.numOutputs < 1 || data.numSamples <= 0)
            return kResultOk;
        const double gain = test_gain::kGainRange * gainNormalized.load(std::memory_order_relaxed);
        const AudioBusBuffers& in = data.inputs[0];
        const AudioBusBuffers& out = data.outputs[0];
        const int32 channels = in.numChannels < out.numChannels ? in.numChannels : out.numChannels;
        for (int32 c = 0; c < channels; ++c) {
            if (data.symbolicSampleSize == kSample64) {
                for (int32 i = 0; i < data.numSamples; ++i)
                    out.channelBuffers64[c][i] = in.channelBuffers64[c][i] * gain;
            } else {
                const float gain32 = static_cast<float>(gain);
                for (int32 i = 0; i < data.numSamples; ++i)
                    out.channelBuffers32[c][i] = in.channelBuffers32[c][i] * gain32;
            }
        }
        return kResultOk;
    }

    // State: the gain's normalized value, 8 bytes of an IEEE double,
    // little-endian.
    tresult PLUGIN_API getState(IBStream* stream) override {
        if (!stream)
            return kInvalidArgument;
        const double value = gainNormalized.load();
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof(bits));
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        int32 written = 0;
        return stream->write(bytes, 8, &written) == kResultOk && written == 8 ? kResultOk
                                                                              : kResultFalse;
    }

    tresult PLUGIN_API setState(IBStream* stream) override {
        if (!stream)
            return kInvalidArgument;
        unsigned char bytes[8] = {};
        int32 read = 0;
        if (stream->read(bytes, 8, &read) != kResultOk || read != 8)
            return kResultFalse;
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
        double value = 0;
        std::memcpy(&value, &bits, sizeof(value));
        if (!(value >= 0.0 && value <= 1.0))
            return kResultFalse;
        gainNormalized.store(value);
        setParamNormalized(test_gain::kGainParamId, value);
        return kResultOk;
    }

    void OnIdle() {
        if (componentHandler)
            componentHandler->restartComponent(kParamValuesChanged);
    }

    ~TestGain() override { StopTimer(); }

private:
    void ApplyParameterChanges(IParameterChanges* changes) {
        if (!changes)
            return;
        const int32 count = changes->getParameterCount();
        for (int32 i = 0; i < count; ++i) {
            IParamValueQueue* queue = changes->getParameterData(i);
            if (!queue || queue->getParameterId() != test_gain::kGainParamId)
                continue;
            int32 offset = 0;
            ParamValue value = 0;
            if (queue->getPoint(queue->getPointCount() - 1, offset, value) == kResultOk)
                gainNormalized.store(value, std::memory_order_relaxed);
        }
    }

    // The run loop comes from the factory's host context when the host gave
    // one, else from the initialize context.
    void StartTimer(FUnknown* context) {
        FUnknown* source = context;
        if (auto* factory = plugin::vst3::LiveFactory(); factory && factory->HostContext())
            source = factory->HostContext();
        FUnknownPtr<Linux::IRunLoop> loop(source);
        if (!loop)
            return;
        timer = owned(new IdleTimer(*this));
        if (loop->registerTimer(timer, test_gain::kIdleTimerMs) == kResultOk)
            runLoop = loop;
        else
            timer = nullptr;
    }

    void StopTimer() {
        if (runLoop && timer)
            runLoop->unregisterTimer(timer);
        runLoop = nullptr;
        timer = nullptr;
    }

    std::atomic<double> gainNormalized{test_gain::kDefaultGainNormalized};
    IPtr<Linux::IRunLoop> runLoop;
    IPtr<IdleTimer> timer;
};

void PLUGIN_API IdleTimer::onTimer() {
    owner.OnIdle();
}

FUnknown* CreateTestGain(void*) {
    return static_cast<IAudioProcessor*>(new TestGain);
}

} // namespace

namespace plugin::vst3 {

PluginFactory* MakePluginFactory() {
    FactoryRecord factoryRecord;
    factoryRecord.vendor = test_gain::kVendor;
    factoryRecord.url = test_gain::kUrl;
    factoryRecord.email = test_gain::kEmail;
    factoryRecord.flags = PFactoryInfo::kUnicode;
    auto* factory = new PluginFactory(factoryRecord);

    ClassRecord record;
    const FUID cid(test_gain::kClassIdWords[0], test_gain::kClassIdWords[1],
                   test_gain::kClassIdWords[2], test_gain::kClassIdWords[3]);
    cid.toTUID(record.cid);
    record.cardinality = PClassInfo::kManyInstances;
    record.category = kVstAudioEffectClass;
    record.name = test_gain::kClassName;
    record.classFlags = test_gain::kClassFlags;
    record.subCategories = test_gain::kSubCategories;
    record.version = test_gain::kVersion;
    record.sdkVersion = test_gain::kSdkVersion;
    record.create = &CreateTestGain;
    factory->RegisterClass(record);
    return factory;
}

} // namespace plugin::vst3
